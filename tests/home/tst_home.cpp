// The home screen as drawn: the user's colour scheme and accent colour, the layout each device
// idiom gets, each section in light and dark, the news sheet, the account fetch, and the
// once-a-second clock, which must neither rebuild anything nor ask the service for anything.
// Pictures go to the artefact folder.
#include "CalendarExport.h"
#include "HomeScene.h"
#include "NewsScreenModel.h"
#include "ScheduleScreenModel.h"
#include "SystemColors.h"

#include <QQmlProperty>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(OrvelBox_TimetablePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_HomePlugin)

using home::Shown;

namespace {
// Takes every key press it is sent, as the web engine does for a page that has the keyboard.
class KeySink : public QQuickItem {
  public:
    explicit KeySink(QQuickItem* parent) : QQuickItem(parent) { setFlag(ItemIsFocusScope); }

  protected:
    bool event(QEvent* e) override {
        if (e->type() != QEvent::KeyPress && e->type() != QEvent::KeyRelease)
            return QQuickItem::event(e);
        e->accept();
        return true;
    }
};

const char* const sectionNames[] = {"timetableSection", "newsSection", "menuSection"};

// Lets pictures arrive and short animations end, then leaves a copy in the artefacts.
QImage picture(Shown& s, const QString& name) {
    if (!s.picturesArrived())
        qWarning("Some pictures were still loading");
    QTest::qWait(300);
    const QImage image = s.scene->grab();
    image.save(artifactDir() + QLatin1Char('/') + name + QStringLiteral(".png"));
    return image;
}
} // namespace

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
    // Answers every week request with the lessons of `lines` (day|time|subject|room|teacher).
    void scriptWeek(std::initializer_list<const char*> lines) {
        QJsonArray week;
        for (const char* l : lines) {
            const QStringList f = QString::fromUtf8(l).split(u'|');
            week.append(QJsonObject{{"day", f[0]},
                                    {"time", f[1]},
                                    {"subject", f[2]},
                                    {"classroom", f[3]},
                                    {"teacher", f[4]}});
        }
        app.server->setFault(
            QStringLiteral("GET"), QStringLiteral("/api/schedule/week"),
            fault::answer(200, QJsonDocument(QJsonObject{{"schedule", week}}).toJson()));
    }
    // The shown timetable's week again with its clock at Wednesday 5 March 2025, 11:00.
    static bool atWednesdayEleven(Shown& s) {
        if (!loaded<ScheduleScreenModel>(s, QStringLiteral("timetableSection")))
            return false;
        auto* timetable = s.modelOf<ScheduleScreenModel>(QStringLiteral("timetableSection"));
        timetable->setClock([] { return QDateTime(QDate(2025, 3, 5), QTime(11, 0)); });
        QSignalSpy finished(timetable, &ScheduleScreenModel::loadFinished);
        timetable->reloadWeek();
        return finished.wait(10000);
    }
    Shown showStyled(const QString& scheme, const QString& idiom, const QString& accent = "blue",
                     QSize size = {}) {
        QVariantMap settings = app.root->preferences()->settings();
        settings.insert(QStringLiteral("settings__theme"), scheme);
        settings.insert(QStringLiteral("settings__accent_color"), *SystemColors::named(accent));
        settings.insert(QStringLiteral("settings__accent_color_string"), accent);
        app.root->preferences()->setSettings(settings);
        if (size.isEmpty())
            size = idiom == u"phone" ? QSize(390, 780) : QSize(1000, 700);
        return show(idiom, size);
    }
    // Shows section `index` and waits until its content is there.
    static bool open(Shown& s, int index) {
        s.press(Qt::Key_1 + index, Qt::ControlModifier);
        const QString name = QString::fromLatin1(sectionNames[index]);
        if (!QTest::qWaitFor([&] { return s.visibleItem(name) != nullptr; }, 5000))
            return false;
        return QTest::qWaitFor(
            [&] {
                if (index == 1)
                    return !s.modelOf<NewsScreenModel>(name)->isLoading();
                if (index == 2)
                    return !s.model()->meInformationLoading();
                const QObject* t = s.modelOf<QObject>(name);
                const QString state = t->property("screenState").toString();
                return (state == u"lessons" || state == u"rest") &&
                       !t->property("isSheduleLoading").toBool();
            },
            10000);
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
        QTest::newRow("other case") << QVariant("Dark") << "";
        QTest::newRow("number") << QVariant(2) << "";
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

    // The week view on a wide window in light and dark, on Wednesday 5 March 2025 at 11:00 with
    // a lesson running; in light also the export's message over it.
    void weekView_data() {
        QTest::addColumn<QString>("scheme");
        QTest::newRow("light") << QStringLiteral("light");
        QTest::newRow("dark") << QStringLiteral("dark");
    }
    void weekView() {
        QFETCH(QString, scheme);
        scriptWeek({"Понедельник|08:30-09:50|Математический анализ (Лек)|3-214|Орлова А. В.",
                    "Понедельник|10:00-11:20|Иностранный язык (ПЗ)|4-410|Миронова Е. С.",
                    "Вторник|10:00-11:20|Программирование (Лаб)|2-301|Ким Д. Р.",
                    "Среда|08:30-09:50|Математический анализ (Лек)|3-214|Орлова А. В.",
                    "Среда|10:00-11:20|Физика (Пр)|1-105|Белов С. Н.",
                    "Среда|11:40-13:00|Программирование (Лаб)|2-301|Ким Д. Р.",
                    "Пятница|13:30-14:50|История (Зач)|1-201|Соколова Т. И.",
                    "Суббота|08:30-09:50|Физика (Лек)|1-105|Белов С. Н."});
        QSettings().remove(QStringLiteral("timetable/weekView"));
        Shown s = showStyled(scheme, QStringLiteral("pad"), "blue", {1280, 720});
        QVERIFY(s.scene);
        QVERIFY(atWednesdayEleven(s));
        QQuickItem* choice = s.visibleItem(QStringLiteral("weekChoice"));
        QVERIFY(choice);
        QTest::mouseClick(
            &s.scene->window(), Qt::LeftButton, {},
            choice->mapToScene(QPointF(choice->width() / 2, choice->height() / 2)).toPoint());
        QVERIFY(QTest::qWaitFor([&] { return s.visibleItem(QStringLiteral("weekColumn5")); }));
        QCOMPARE(itemsNamed(s.visibleItem(QStringLiteral("weekColumn2")),
                            QStringLiteral("compactLesson"))
                     .size(),
                 3);
        QVERIFY(s.visibleItem(QStringLiteral("weekColumnRest"))); // Thursday
        picture(s, QStringLiteral("week-") + scheme);
        if (scheme == u"light") {
            auto* exporter = s.visibleItem(QStringLiteral("weekTools"))
                                 ->property("exporter")
                                 .value<CalendarExport*>();
            QTemporaryDir dir;
            QVERIFY(exporter->save(dir.filePath(QStringLiteral("ИВТ-21 03.03.25.ics"))));
            QVERIFY(QTest::qWaitFor([&] { return s.visibleItem(QStringLiteral("exportNotice")); }));
            picture(s, QStringLiteral("export-message"));
        }
    }

    // The now/next banner over the day's list with a fixed clock and week, light and dark and
    // on a phone; what it says is what a screen reader hears.
    void nowNextBanner_data() {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("idiom");
        QTest::newRow("light") << QStringLiteral("light") << QStringLiteral("pad");
        QTest::newRow("dark") << QStringLiteral("dark") << QStringLiteral("pad");
        QTest::newRow("phone") << QStringLiteral("light") << QStringLiteral("phone");
    }
    void nowNextBanner() {
        QFETCH(QString, scheme);
        QFETCH(QString, idiom);
        scriptWeek({"Среда|08:30-09:50|Математический анализ (Лек)|3-214|Орлова А. В.",
                    "Среда|10:00-11:20|Физика (Пр)|1-105|Белов С. Н.",
                    "Среда|11:40-13:00|Программирование (Лаб)|2-301|Ким Д. Р."});
        Shown s = showStyled(scheme, idiom);
        QVERIFY(s.scene);
        QVERIFY(atWednesdayEleven(s));
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
        picture(s, QStringLiteral("nownext-") + QLatin1String(QTest::currentDataTag()));
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
        if (status)
            app.server->setFault(QStringLiteral("GET"), QStringLiteral("/api/users/me"),
                                 fault::answer(status));
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

    void sections_data() {
        QTest::addColumn<int>("section");
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("idiom");
        for (int section = 0; section < 3; ++section) {
            QTest::addRow("%s light pad", sectionNames[section]) << section << "light"
                                                                 << "pad";
            QTest::addRow("%s dark phone", sectionNames[section]) << section << "dark"
                                                                  << "phone";
        }
    }
    void sections() {
        QFETCH(int, section);
        QFETCH(QString, scheme);
        QFETCH(QString, idiom);
        Shown s = showStyled(scheme, idiom);
        QVERIFY(s.scene);
        QVERIFY(open(s, section));
        const QImage image = picture(
            s, QStringLiteral("home-%1-%2-%3")
                   .arg(QString::fromLatin1(sectionNames[section]).chopped(int(qstrlen("Section"))),
                        scheme, idiom));
        // The scheme reaches the whole window, and the selected section is marked in blue.
        QVERIFY(pixelsNear(image, *SystemColors::named(u"systemBackground", scheme == u"dark"), 4) >
                image.width() * 20);
        QVERIFY(pixelsNear(image, *SystemColors::named(u"blue"), 6) > 40);
    }

    // A card opens its page in a sheet, by mouse or by Return; Escape (even while the page has
    // the keyboard) and the close button dismiss it, and the web view goes with the sheet.
    void cardOpensItsPage_data() {
        QTest::addColumn<QString>("idiom");
        QTest::addColumn<bool>("byKey");
        QTest::newRow("pad, keyboard") << "pad" << true;
        QTest::newRow("phone, mouse") << "phone" << false;
    }
    void cardOpensItsPage() {
        QFETCH(QString, idiom);
        QFETCH(bool, byKey);
        Shown s = showStyled(QStringLiteral("dark"), idiom, QStringLiteral("orange"));
        QVERIFY(s.scene);
        QVERIFY(open(s, 1));
        auto* news = s.modelOf<NewsScreenModel>(QStringLiteral("newsSection"));
        QObject* sheet =
            s.visibleItem(QStringLiteral("newsSection"))->property("sheet").value<QObject*>();
        auto page = [&] { return sheet->property("page").value<QQuickItem*>(); };
        QVERIFY(!page());
        QQuickItem* list = s.visibleItem(QStringLiteral("newsList"));
        if (byKey)
            s.press(Qt::Key_Return);
        else
            QTest::mouseClick(&s.scene->window(), Qt::LeftButton, {},
                              list->mapToScene(QPointF(list->width() / 2, 220)).toPoint());
        QTRY_VERIFY(sheet->property("opened").toBool());
        const News first = news->news().first();
        QCOMPARE(news->selectedNews().id, first.id);
        QVERIFY(page());
        QCOMPARE(page()->property("url").toUrl(), first.pageUrl());
        QCOMPARE(page()->property("view").value<QObject*>()->property("url").toUrl(),
                 first.pageUrl());
        picture(s, QStringLiteral("home-news-page-") + idiom);

        if (byKey) {
            KeySink sink(page());
            sink.forceActiveFocus();
            s.press(Qt::Key_Escape);
        } else {
            QQuickItem* close = s.visibleItem(QStringLiteral("sheetClose"));
            QTest::mouseClick(&s.scene->window(), Qt::LeftButton, {},
                              close->mapToScene(QPointF(15, 15)).toPoint());
        }
        QTRY_VERIFY(!sheet->property("visible").toBool());
        QVERIFY(!news->hasSelection());
        QVERIFY(!page());
    }
};

QTEST_MAIN(TestHome)
#include "tst_home.moc"
