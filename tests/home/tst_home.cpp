// The home screen as drawn: scheme and accent, the now/next banner, the menu's wait for the
// account and the session cards' revoke question.
#include "DevicescreenModel.h"
#include "HomeScene.h"
#include "Preferences.h"
#include "ScheduleScreenModel.h"
#include "SystemColors.h"

#include <QQmlProperty>
#include <QSettings>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(OrvelBox_TimetablePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_HomePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_AppPlugin)

using home::Shown;

class TestHome : public QObject {
    Q_OBJECT
    SignedInWindow app;
    std::unique_ptr<OrvelApi> phone; // the same account on a second device

    Shown show() { return home::show(app, QStringLiteral("pad"), {960, 680}); }
    int gets(const char* path) const { return app.server->count("GET", QString::fromLatin1(path)); }

  private slots:
    void initTestCase() {
        QVERIFY(home::start(app));
        phone = app.signInElsewhere(QStringLiteral("Pixel 8"), QStringLiteral("android"));
        QVERIFY(phone);
    }
    void cleanupTestCase() {
        phone.reset();
        app.stop();
    }
    void init() {
        app.server->clearFaults();
        app.server->clearLog();
    }

    // Only "dark" and "light" set the scheme, and leaving home (signing out) gives it back to
    // the system; the accent is blue for a missing or malformed one.
    void styleFromPreferences_data() {
        QTest::addColumn<QVariant>("theme"); // invalid: no entry
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QVariant>("accent");
        QTest::addColumn<QString>("shownAccent"); // palette name
        const QVariant pink = *SystemColors::named(u"pink");
        QTest::newRow("dark") << QVariant("dark") << "dark" << pink << "pink";
        QTest::newRow("light, no accent") << QVariant("light") << "light" << QVariant() << "blue";
        QTest::newRow("system, accent as a name")
            << QVariant("system") << "" << QVariant("pink") << "blue";
        QTest::newRow("other case") << QVariant("Dark") << "" << pink << "pink";
        QTest::newRow("missing") << QVariant() << "" << pink << "pink";
        QTest::newRow("empty") << QVariant("") << "" << pink << "pink";
        QTest::newRow("number") << QVariant(1) << "" << pink << "pink";
    }
    void styleFromPreferences() {
        QFETCH(QVariant, theme);
        QFETCH(QVariant, accent);
        QFETCH(QString, scheme);
        QFETCH(QString, shownAccent);
        QVariantMap settings = app.root->preferences()->settings();
        settings.remove(QStringLiteral("settings__theme"));
        settings.remove(QStringLiteral("settings__accent_color"));
        if (theme.isValid())
            settings.insert(QStringLiteral("settings__theme"), theme);
        if (accent.isValid())
            settings.insert(QStringLiteral("settings__accent_color"), accent);
        app.root->preferences()->setSettings(settings);
        Shown s = show();
        QVERIFY(s.scene);
        QCOMPARE(s.model()->preferredScheme(), scheme);
        QCOMPARE(s.scene->root()->property("scheme").toString(), scheme);
        QCOMPARE(s.model()->accentColor(), *SystemColors::named(shownAccent));
        s.scene->root()->setProperty("showing", false);
        QCOMPARE(s.scene->root()->property("scheme").toString(), QString());
    }

    // The device decides the layout, never the window. Ticks at a hundred times the speed leave
    // the chosen section as it was and ask the service nothing.
    void layoutAndTicks() {
        for (const bool phone : {true, false}) {
            Shown s = home::show(app, phone ? "phone" : "pad",
                                 phone ? QSize(1200, 700) : QSize(360, 640));
            QVERIFY(s.scene && s.openSection(1));
            QCOMPARE(s.visibleItem(QStringLiteral("tabView")) != nullptr, phone);
            QCOMPARE(s.visibleItem(QStringLiteral("sectionBar")) != nullptr, !phone);
            QQuickItem* news = s.visibleItem(QStringLiteral("newsSection"));
            qsizetype requests = -1; // once the section's pictures have come
            while (requests != app.server->requests().size()) {
                requests = app.server->requests().size();
                QTest::qWait(300);
            }
            s.model()->setTickInterval(10);
            QSignalSpy ticks(s.model(), &GlobalHomeModel::ticked);
            QTRY_VERIFY(ticks.count() >= 20);
            QVERIFY(!s.visibleItem(QStringLiteral("timetableSection")));
            QCOMPARE(s.visibleItem(QStringLiteral("newsSection")), news);
            QCOMPARE(app.server->requests().size(), requests);
        }
    }

    // The now/next banner on Wednesday 5 March 2025 at 11:00, as a screen reader hears it.
    void nowNextBanner() {
        const QStringList wednesday{"08:30-09:50|Математический анализ (Лек)|3-214|Орлова А. В.",
                                    "10:00-11:20|Физика (Пр)|1-105|Белов С. Н.",
                                    "11:40-13:00|Программирование (Лаб)|2-301|Ким Д. Р."};
        QJsonArray week;
        for (const QString& l : wednesday) {
            const QStringList f = l.split(u'|');
            week.append(QJsonObject{{"day", "Среда"},
                                    {"time", f[0]},
                                    {"subject", f[1]},
                                    {"classroom", f[2]},
                                    {"teacher", f[3]}});
        }
        app.fault("GET", "/api/schedule/week",
                  fault::answer(200, QJsonDocument(QJsonObject{{"schedule", week}}).toJson()));
        QSettings().remove(QStringLiteral("timetable/weekView")); // the day, as the first frame
        Shown s = show();
        QVERIFY(s.scene);
        ScheduleScreenModel* timetable = nullptr;
        QTRY_VERIFY(
            (timetable = s.modelOf<ScheduleScreenModel>(QStringLiteral("timetableSection"))));
        QSignalSpy finished(timetable, &ScheduleScreenModel::loadFinished);
        QVERIFY(finished.wait(10000));
        timetable->setClock([] { return QDateTime(QDate(2025, 3, 5), QTime(11, 0)); });
        timetable->reloadWeek();
        QVERIFY(finished.wait(10000));
        const auto spoken = [&](const char* name) {
            QQuickItem* item = s.visibleItem(QString::fromLatin1(name));
            return item ? QQmlProperty(item, QStringLiteral("Accessible.name"), qmlContext(item))
                              .read()
                              .toString()
                        : QString();
        };
        QCOMPARE(spoken("nowLesson"), QStringLiteral("Сейчас, Физика (Пр), 1-105, до 11:20"));
        QCOMPARE(spoken("nextLesson"),
                 QStringLiteral("Далее, Программирование, 2-301, через 40 минут"));

        // A start with this week kept draws the banner and the cards where home does, first.
        QmlScene first({960, 680});
        QVERIFY(first.load("import OrvelBox.App\nFirstFrame {}\n",
                           {{"co", QVariant::fromValue<QObject*>(app.root->co())},
                            {"preferences", QVariant::fromValue<QObject*>(app.root->preferences())}}));
        auto* kept = first.root()->property("model").value<ScheduleScreenModel*>();
        QSignalSpy shown(kept, &ScheduleScreenModel::loadFinished);
        kept->setClock(timetable->clock());
        kept->reloadWeek();
        QVERIFY(shown.wait(10000));
        QTest::qWait(200); // home's day buttons fade their colours
        const int top = int(s.visibleItem(QStringLiteral("nowNextBanner"))->mapToScene({}).y()) - 60;
        const QRect below(0, top, 960, 560 - top); // the days, the banner and the cards
        QCOMPARE(first.window().grabWindow().copy(below),
                 s.scene->window().grabWindow().copy(below));
    }

    // Without the account the menu keeps waiting rather than show an empty profile; coming back
    // from a pushed screen fetches it again, and stays on the menu.
    void menuWaitsForTheAccount() {
        app.fault("GET", "/api/users/me", fault::answer(500));
        Shown s = show();
        QVERIFY(s.scene);
        s.press(Qt::Key_3, Qt::ControlModifier);
        QTRY_VERIFY(gets("/api/users/me") > 0);
        QTest::qWait(100);
        QVERIFY(s.model()->meInformationLoading());
        QVERIFY(s.visibleItem(QStringLiteral("menuLoading")));

        app.server->clearFaults();
        const int fetches = gets("/api/users/me");
        QMetaObject::invokeMethod(s.navigation(), "push",
                                  Q_ARG(QVariant, QVariant::fromValue(new QQuickItem)),
                                  Q_ARG(QVariant, QVariantMap()));
        QTRY_VERIFY(!s.model()->active());
        QMetaObject::invokeMethod(s.navigation(), "pop");
        QTRY_COMPARE(gets("/api/users/me"), fetches + 1);
        QTRY_VERIFY(!s.model()->meInformationLoading());
        QCOMPARE(s.model()->selectedUI(), 2);
    }

    // A session card asks before anything is sent, by the Delete key or its menu's "Выйти"; this
    // device's own card asks to sign out instead. Declining sends nothing.
    void revokeFromTheCard_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("escape"); // or the cancel button
        QTest::newRow("Delete key, Escape") << "key" << true;
        QTest::newRow("context menu, cancelled") << "menu" << false;
        QTest::newRow("own card, cancelled") << "own" << false;
    }
    void revokeFromTheCard() {
        QFETCH(QString, way);
        QFETCH(bool, escape);
        Shown s = show();
        QVERIFY(s.scene && s.openSection(2));
        QVERIFY(s.click(s.visibleItem(QStringLiteral("devicesRow"))));
        QQuickItem* page = s.arrived(QStringLiteral("Устройства"));
        QVERIFY(page);
        auto* model = page->property("model").value<DevicescreenModel*>();
        QTRY_VERIFY(!model->myDeviceLoading() && !model->allDevicesLoading());
        qint64 id = model->myDevice().id;
        for (const session& d : model->allDevices())
            if (d.device_name == u"Pixel 8" && way != u"own")
                id = d.id;
        QQuickItem* card = s.visibleItem(QStringLiteral("session-%1").arg(id));
        QVERIFY(card);

        if (way == u"key") {
            card->forceActiveFocus(Qt::TabFocusReason);
            s.press(Qt::Key_Delete);
        } else if (way == u"menu") {
            QVERIFY(s.click(card, Qt::RightButton));
            QQuickItem* item = nullptr;
            QTRY_VERIFY((item = s.visibleItem(QStringLiteral("revokeItem"))) &&
                        item->opacity() == 1.0);
            QVERIFY(s.click(item));
        } else {
            QVERIFY(s.click(itemNamed(card, QStringLiteral("revokeButton"))));
        }
        QObject* dialog =
            page->property(way == u"own" ? "confirmation" : "revokeConfirmation").value<QObject*>();
        QTRY_VERIFY(dialog->property("opened").toBool());
        if (way == u"own") {
            QCOMPARE(dialog->property("message").toString(),
                     QStringLiteral("Вы действительно хотите выйти из аккаунта?"));
        } else {
            QCOMPARE(dialog->property("title").toString(), QStringLiteral("Завершить сеанс?"));
            QCOMPARE(dialog->property("message").toString(),
                     QStringLiteral("Устройство «Pixel 8» будет отключено от аккаунта."));
        }
        if (escape)
            s.press(Qt::Key_Escape);
        else
            QVERIFY(s.click(s.visibleItem(QStringLiteral("cancelButton"))));
        QTRY_VERIFY(!dialog->property("visible").toBool());
        QTest::qWait(200);
        QCOMPARE(app.posts("/api/users/sessions/revoke"), 0);
        QCOMPARE(app.co()->appState(), CO::appStates::home);
        QCOMPARE(model->allDevices().size(), 2);
    }
};

QTEST_MAIN(TestHome)
#include "tst_home.moc"
