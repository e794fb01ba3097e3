// The home screen as drawn: the user's colour scheme and accent colour, the layout each device
// idiom gets, switching sections, the account fetch, and the once-a-second clock, which must
// neither rebuild anything nor ask the service for anything.
#include "BuildConfig.h"
#include "HomeScene.h"
#include "NewsScreenModel.h"
#include "ScheduleScreenModel.h"
#include "SystemColors.h"

#include <QTimeZone>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(OrvelBox_TimetablePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_HomePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_AppPlugin)

using home::Shown;

class TestHome : public QObject {
    Q_OBJECT
    SignedInWindow app;

    Shown show(const QString& idiom = QStringLiteral("pad"), QSize size = {960, 680}) {
        return home::show(app, idiom, size);
    }
    // The loaded preferences with `key` set to `value`, or without it for an invalid value.
    void setPreference(const QString& key, const QVariant& value) {
        QVariantMap settings = app.root->preferences()->settings();
        if (value.isValid())
            settings.insert(key, value);
        else
            settings.remove(key);
        app.root->preferences()->setSettings(settings);
    }
    int gets(const char* path) const { return app.server->count("GET", QString::fromLatin1(path)); }
    // Waits until the shown section's model reports a finished load.
    template <class Model> static bool loaded(Shown& s, const QString& screen) {
        Model* m = nullptr;
        if (!QTest::qWaitFor([&] { return (m = s.modelOf<Model>(screen)) != nullptr; }, 5000))
            return false;
        QSignalSpy finished(m, &Model::loadFinished);
        return finished.wait(10000);
    }

  private slots:
    void initTestCase() { QVERIFY(home::start(app)); }
    void cleanupTestCase() { app.stop(); }
    void init() {
        app.server->clearFaults();
        app.server->clearLog();
    }

    void colourScheme_data() {
        QTest::addColumn<QVariant>("theme"); // invalid: no entry
        QTest::addColumn<QString>("scheme");
        QTest::newRow("dark") << QVariant("dark") << "dark";
        QTest::newRow("light") << QVariant("light") << "light";
        QTest::newRow("system") << QVariant("system") << "";
        QTest::newRow("empty text") << QVariant("") << "";
        QTest::newRow("other case") << QVariant("Dark") << "";
        QTest::newRow("number") << QVariant(2) << "";
        QTest::newRow("boolean") << QVariant(true) << "";
        QTest::newRow("missing") << QVariant() << "";
    }
    void colourScheme() {
        QFETCH(QVariant, theme);
        QFETCH(QString, scheme);
        setPreference(QStringLiteral("settings__theme"), theme);
        Shown s = show();
        QVERIFY(s.scene);
        QCOMPARE(s.model()->preferredScheme(), scheme);
        QCOMPARE(s.scene->root()->property("scheme").toString(), scheme);
        // Leaving home (signing out) gives the screens after it the system's scheme again.
        s.scene->root()->setProperty("showing", false);
        QCOMPARE(s.scene->root()->property("scheme").toString(), QString());
    }

    void themeChangeAppliesAtOnce() {
        Shown s = show();
        QVERIFY(s.scene);
        app.root->preferences()->setSetting(QStringLiteral("settings__theme"),
                                            QStringLiteral("dark"));
        QCOMPARE(s.scene->root()->property("scheme").toString(), QStringLiteral("dark"));
        app.root->preferences()->setSetting(QStringLiteral("settings__theme"),
                                            QStringLiteral("light"));
        QCOMPARE(s.scene->root()->property("scheme").toString(), QStringLiteral("light"));
    }

    // The accent colour fills the selected bar button; blue stands in for a missing or
    // malformed entry.
    void accentColour_data() {
        QTest::addColumn<QVariant>("accent");
        QTest::addColumn<QString>("expected"); // palette name
        QTest::newRow("colour") << QVariant(*SystemColors::named(u"pink")) << "pink";
        QTest::newRow("missing") << QVariant() << "blue";
        QTest::newRow("name instead of a colour") << QVariant("pink") << "blue";
    }
    void accentColour() {
        QFETCH(QVariant, accent);
        QFETCH(QString, expected);
        setPreference(QStringLiteral("settings__theme"), QStringLiteral("light"));
        setPreference(QStringLiteral("settings__accent_color"), accent);
        Shown s = show();
        QVERIFY(s.scene);
        const QColor colour = *SystemColors::named(expected);
        QCOMPARE(s.model()->accentColor(), colour);
        QTRY_VERIFY(s.item(QStringLiteral("sectionBar")));
        QQuickItem* bar = s.item(QStringLiteral("sectionBar"));
        const QImage picture = s.scene->grab().copy(
            bar->mapRectToScene(QRectF(0, 0, bar->width(), bar->height())).toRect());
        QVERIFY(pixelsNear(picture, colour, 6) > 1500);
    }

    // The device decides, never the window: a narrow desktop window keeps the bar, a wide
    // phone window keeps the tabs.
    void layoutFollowsTheIdiom_data() {
        QTest::addColumn<QString>("idiom");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("tabs");
        QTest::newRow("desktop, narrow window") << "pad" << QSize(360, 640) << false;
        QTest::newRow("desktop, wide window") << "pad" << QSize(1200, 700) << false;
        QTest::newRow("phone, narrow window") << "phone" << QSize(390, 780) << true;
        QTest::newRow("phone, wide window") << "phone" << QSize(1200, 700) << true;
    }
    void layoutFollowsTheIdiom() {
        QFETCH(QString, idiom);
        QFETCH(QSize, size);
        QFETCH(bool, tabs);
        Shown s = show(idiom, size);
        QVERIFY(s.scene);
        QCOMPARE(s.visibleItem(QStringLiteral("tabView")) != nullptr, tabs);
        QCOMPARE(s.visibleItem(QStringLiteral("sectionBar")) != nullptr, !tabs);
        QVERIFY(s.visibleItem(QStringLiteral("timetableSection")));
    }

    void sectionsByBarAndKeys() {
        Shown s = show();
        QVERIFY(s.scene);
        QCOMPARE(s.model()->selectedUI(), 0);
        // The bar's second button.
        QQuickItem* bar = s.item(QStringLiteral("sectionBar"));
        QTest::mouseClick(&s.scene->window(), Qt::LeftButton, {},
                          bar->mapToScene(QPointF(bar->width() / 2, bar->height() / 2)).toPoint());
        QCOMPARE(s.model()->selectedUI(), 1);
        QTRY_VERIFY(s.visibleItem(QStringLiteral("newsSection")));
        QVERIFY(!s.visibleItem(QStringLiteral("timetableSection")));
        s.press(Qt::Key_3, Qt::ControlModifier);
        QCOMPARE(s.model()->selectedUI(), 2);
        QTRY_VERIFY(s.visibleItem(QStringLiteral("menuSection")));
        s.press(Qt::Key_1, Qt::ControlModifier);
        QCOMPARE(s.model()->selectedUI(), 0);
        QTRY_VERIFY(s.visibleItem(QStringLiteral("timetableSection")));
        // The shown section has the keyboard.
        QVERIFY(loaded<ScheduleScreenModel>(s, QStringLiteral("timetableSection")));
        s.press(Qt::Key_Left);
        QCOMPARE(s.modelOf<ScheduleScreenModel>(QStringLiteral("timetableSection"))->weekOffset(),
                 -1);
    }

    // The tab view keeps its own selection and makes each screen once.
    void tabsKeepTheirScreens() {
        Shown s = show(QStringLiteral("phone"), {390, 780});
        QVERIFY(s.scene);
        QQuickItem* tabView = s.item(QStringLiteral("tabView"));
        QVERIFY(!s.item(QStringLiteral("newsSection")));
        s.press(Qt::Key_2, Qt::ControlModifier);
        QCOMPARE(tabView->property("currentIndex").toInt(), 1);
        QCOMPARE(s.model()->selectedUI(), 0);
        QTRY_VERIFY(s.visibleItem(QStringLiteral("newsSection")));
        QQuickItem* news = s.item(QStringLiteral("newsSection"));
        s.press(Qt::Key_1, Qt::ControlModifier);
        QTRY_VERIFY(!news->isVisible());
        s.press(Qt::Key_2, Qt::ControlModifier);
        QCOMPARE(s.visibleItem(QStringLiteral("newsSection")), news);
    }

    // Ten seconds of clock at a hundred times the speed: the section and its screen stay as
    // they were, the timetable follows the clock, and the service hears nothing.
    void ticksOnlyReadTheClock() {
        qputenv("TZ", "Europe/Berlin");
        tzset();
        Shown s = show();
        QVERIFY(s.scene);
        QVERIFY(loaded<ScheduleScreenModel>(s, QStringLiteral("timetableSection")));
        auto* timetable = s.modelOf<ScheduleScreenModel>(QStringLiteral("timetableSection"));
        QDateTime now(QDate(2025, 3, 5), QTime(23, 59, 58), QTimeZone("Europe/Berlin"));
        timetable->setClock([&now] { return now; });
        QCOMPARE(timetable->dayDates().value(2), QStringLiteral("05.03"));
        QQuickItem* screen = s.visibleItem(QStringLiteral("timetableSection"));
        QTRY_VERIFY(s.model()->meInformationLoading() == false);

        const auto before = app.server->requests().size();
        s.model()->setTickInterval(10);
        QSignalSpy ticks(s.model(), &GlobalHomeModel::ticked);
        // The next Monday arrives during the ticks.
        now = now.addDays(5);
        QTRY_VERIFY(ticks.count() >= 10);
        QCOMPARE(timetable->weekFirstDate(), QStringLiteral("10.03"));
        QCOMPARE(s.visibleItem(QStringLiteral("timetableSection")), screen);
        QCOMPARE(s.model()->selectedUI(), 0);

        s.press(Qt::Key_2, Qt::ControlModifier);
        QVERIFY(loaded<NewsScreenModel>(s, QStringLiteral("newsSection")));
        QVERIFY(s.picturesArrived());
        const auto shown = app.server->requests().size();
        QVERIFY(shown > before);
        QQuickItem* news = s.visibleItem(QStringLiteral("newsSection"));
        QTest::qWait(300); // the section's fade-ins
        QSignalSpy frames(&s.scene->window(), &QQuickWindow::frameSwapped);
        ticks.clear();
        QTRY_VERIFY(ticks.count() >= 10);
        // Nothing on screen depends on the clock here, so nothing is drawn again.
        QCOMPARE(frames.count(), 0);
        QCOMPARE(s.model()->selectedUI(), 1);
        QCOMPARE(s.visibleItem(QStringLiteral("newsSection")), news);
        QCOMPARE(app.server->requests().size(), shown);
    }

    void accountFetch_data() {
        QTest::addColumn<int>("status"); // scripted answer; 0: the service's own
        QTest::addColumn<bool>("arrives");
        QTest::newRow("answered") << 0 << true;
        QTest::newRow("service error") << 500 << false;
    }
    void accountFetch() {
        QFETCH(int, status);
        QFETCH(bool, arrives);
        if (status) {
            standin::Fault f;
            f.status = status;
            app.server->setFault(QStringLiteral("GET"), QStringLiteral("/api/users/me"), f);
        }
        LogCapture log;
        Shown s = show();
        QVERIFY(s.scene);
        QSignalSpy finished(s.model(), &GlobalHomeModel::accountFinished);
        QVERIFY(finished.count() || finished.wait(10000));
        QCOMPARE(s.model()->meInformationLoading(), !arrives);
        const QVariantMap user = s.model()->meInformation().value(QStringLiteral("user")).toMap();
        if (arrives) {
            QCOMPARE(user.value(QStringLiteral("username")).toString(), app.login);
        } else {
            QCOMPARE(s.model()->meInformation(), (QVariantMap{{QString(), QString()}}));
            QVERIFY(log.contains(QStringLiteral("HTTP Error: 500")));
        }

        // The menu opens either way, and gets what the home screen holds.
        s.press(Qt::Key_3, Qt::ControlModifier);
        QTRY_VERIFY(s.visibleItem(QStringLiteral("menuSection")));
        QCOMPARE(s.visibleItem(QStringLiteral("menuSection"))->property("meInfoLoading").toBool(),
                 !arrives);

        // Coming back from a pushed screen fetches the account again.
        const int fetches = gets("/api/users/me");
        QQuickItem* nav = s.item(QStringLiteral("homeNavigation"));
        QMetaObject::invokeMethod(nav, "push", Q_ARG(QVariant, QVariant::fromValue(new QQuickItem)),
                                  Q_ARG(QVariant, QVariantMap()));
        QTRY_VERIFY(!s.model()->active());
        QMetaObject::invokeMethod(nav, "pop");
        QTRY_COMPARE(gets("/api/users/me"), fetches + 1);
        QCOMPARE(s.model()->selectedUI(), 2);
    }

    // The root view, built as the application builds it, shows this screen once the stored
    // session is confirmed and the preferences are loaded. It talks to the configured service
    // address, so a stand-in takes that port for the test.
    void rootViewShowsHome() {
        const QUrl service(QString::fromUtf8(BuildConfig::apiBaseUrl));
        if (service.host() != u"127.0.0.1" || service.port() <= 0)
            QSKIP("The build's service is not on this machine");
        standin::Options options;
        options.port = quint16(service.port());
        standin::Server configured(options);
        if (!configured.listen())
            QSKIP("The configured service port is taken");
        TokenStore tokens; // the user's token file, in the test-mode configuration folder
        QString refresh;
        tokens.write(QString::fromLatin1(TokenStore::accessKey),
                     configured.issueTokens(QStringLiteral("student"), &refresh));
        tokens.write(QString::fromLatin1(TokenStore::refreshKey), refresh);

        QmlScene scene({960, 680});
        QVERIFY(scene.load("import OrvelBox.App\nCoordinator {}"));
        GlobalHomeModel* model = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((model = scene.root()->findChild<GlobalHomeModel*>()) &&
                                     !model->meInformationLoading(),
                                 10000);
        QCOMPARE(model->preferences()->theme(), QStringLiteral("system"));
        // Through the root view's loaders, the keyboard reaches the timetable.
        QTRY_VERIFY(scene.window().activeFocusItem());
        QCOMPARE(scene.window().activeFocusItem()->objectName(),
                 QStringLiteral("timetableSection"));
        tokens.remove(QString::fromLatin1(TokenStore::accessKey));
        tokens.remove(QString::fromLatin1(TokenStore::refreshKey));
    }
};

QTEST_MAIN(TestHome)
#include "tst_home.moc"
