// One person's way through the application, from a first start to handing the machine to a
// colleague, in the real window against the stand-in: every step by key or mouse, every
// screen checked by what it shows and by what reached the service. Pictures of each step go to
// the artefacts; the event loop's longest stall is measured over the whole journey.
#include "CoordinatorModel.h"
#include "DevicescreenModel.h"
#include "Faults.h"
#include "GlobalHomeModel.h"
#include "Journey.h"
#include "NewsScreenModel.h"
#include "Preferences.h"
#include "QmlScene.h"
#include "ScheduleScreenModel.h"
#include "SystemColors.h"
#include "TestSupport.h"
#include "WeekStore.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QSignalSpy>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(OrvelBox_ControlsPlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_CorePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_TimetablePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_HomePlugin)

class TestJourney : public Journey {
    Q_OBJECT

    GlobalHomeModel* home() const { return app.home(); }
    ScheduleScreenModel* timetable() const { return app.timetable(); }
    QQuickItem* navigation() const { return app.navigation(); }
    QQuickItem* arrived(const QString& expectedTitle) const { return app.arrived(expectedTitle); }
    void signIn(const QString& login) {
        QVERIFY(app.fillSignIn(login));
        app.picture(QStringLiteral("login-filled"));
        app.press(Qt::Key_Return);
        QVERIFY(app.waitForScreen(QStringLiteral("home")));
        QTRY_VERIFY(home() && !home()->meInformationLoading());
        QVERIFY(app.timetableSettled());
    }

    // The bar's buttons share its width evenly.
    void clickSection(int index) {
        QQuickItem* bar = app.visibleItem(QStringLiteral("sectionBar"));
        app.clickAt(bar, QPointF(bar->width() * (2 * index + 1) / 6, bar->height() / 2));
    }
    void back() { QVERIFY(app.back()); }
    QString stored(const QString& login, const char* key) { return app.stored(login, key); }
    QTemporaryDir keptWeeks; // this machine's week store from the relaunch on
    // What reached the service since the log was cleared, as "METHOD path?query"; the first
    // `ordered` in order, the rest sorted (parallel loads may arrive either way round). Photos
    // only with `photos`: whether one is fetched again depends on what the cache kept.
    QStringList sent(bool photos = true, int ordered = 3) {
        QStringList out;
        for (const standin::LoggedRequest& r : app.server().requests())
            if (photos || r.path.startsWith(u"/api/"))
                out << r.method + u' ' + r.path + u'?' + r.rawQuery;
        std::sort(out.begin() + std::min<qsizetype>(ordered, out.size()), out.end());
        return out;
    }
    QStringList coldStart;
    // The window's first frame, before anything was asked: the kept week drawn while home is
    // made, with the background and a day's button (whose colour changes animate) already in
    // the scheme's colours. Also the first frame on a day with lessons, for comparing below.
    QImage firstFrameIn(bool dark, const QString& step, QImage* lessons = nullptr) {
        QQuickItem* first = app.item(QStringLiteral("firstFrame"));
        auto* week = first ? first->property("model").value<ScheduleScreenModel*>() : nullptr;
        if (!week)
            return {};
        [&] { QCOMPARE(week->freshness(), QStringLiteral("Обновление…")); }();
        const QImage image = app.window()->grabWindow();
        image.save(QDir(artifactDir()).filePath(QStringLiteral("%1.png").arg(step)));
        [&] {
            QCOMPARE(image.pixelColor(image.width() - 3, image.height() / 2).rgb(),
                     SystemColors::named(u"systemBackground", dark)->rgb());
            QQuickItem* day = app.visibleItem(
                QStringLiteral("firstFrameDay%1").arg((week->selectedDay() + 1) % 6));
            QVERIFY(day);
            const QPoint at = day->mapToScene({day->width() / 2, 2}).toPoint();
            QCOMPARE(image.pixelColor(at).rgb(),
                     SystemColors::named(u"systemGray5", dark)->rgb());
        }();
        if (lessons) {
            week->setSelectedDay(dayWithLessons(week));
            *lessons = app.window()->grabWindow();
            lessons->save(QDir(artifactDir()).filePath(QStringLiteral("%1-lessons.png").arg(step)));
        }
        return image;
    }
    static int dayWithLessons(ScheduleScreenModel* week) {
        const QVariantList counts = week->inDay();
        for (int day = 0; day < counts.size(); ++day)
            if (counts.at(day).toInt() > 0)
                return day;
        return 0;
    }
    // Home, once made, draws what the first frame drew: the swap is not seen.
    static void sameDrawing(const QImage& first, const QImage& home, const QString& what) {
        QCOMPARE(home.size(), first.size());
        qsizetype differ = 0;
        for (int y = 0; y < first.height(); ++y)
            for (int x = 0; x < first.width(); ++x) {
                const QColor a = first.pixelColor(x, y), b = home.pixelColor(x, y);
                differ += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green())
                              + std::abs(a.blue() - b.blue()) > 24;
            }
        QVERIFY2(differ <= first.width() * first.height() / 2000,
                 qPrintable(QStringLiteral("%1: %2 pixels differ").arg(what).arg(differ)));
    }

  public:
    TestJourney() : Journey(QStringLiteral("student")) {}

  private slots:
    void initTestCase() { QVERIFY(app.start()); }

    void firstStartAsksToSignIn() {
        app.stalls().setStep(QStringLiteral("first start"));
        QVERIFY(app.waitForScreen(QStringLiteral("login")));
        QVERIFY(app.waitForVisible(QStringLiteral("loginField")));
        QVERIFY(app.storedAccess().isEmpty());
        app.picture(QStringLiteral("login"));
    }

    void signInWithoutWorkMode() {
        app.stalls().setStep(QStringLiteral("sign in"));
        signIn(QStringLiteral("student"));
        QVERIFY(!app.storedAccess().isEmpty());
        QVERIFY(!app.storedRefresh().isEmpty());
        QCOMPARE(timetable()->property("screenState").toString(), QStringLiteral("modeRequired"));
        QVERIFY(app.visibleItem(QStringLiteral("modePrompt")));
        app.picture(QStringLiteral("mode-required"));

        // The prompt's button leads to the work-mode screen by mouse, and by keyboard: it
        // holds the keyboard whenever the prompt shows.
        QQuickItem* button = app.visibleItem(QStringLiteral("modeButton"));
        QVERIFY(button);
        app.click(button);
        QVERIFY(arrived(QStringLiteral("Режим работы")));
        back();
        QTRY_VERIFY(button->hasActiveFocus());
        app.press(Qt::Key_Space);
        QVERIFY(arrived(QStringLiteral("Режим работы")));
        back();
    }

    void chooseWorkModeFromTheMenu() {
        app.stalls().setStep(QStringLiteral("work mode"));
        clickSection(2);
        QQuickItem* row = app.waitForVisible(QStringLiteral("workModeRow"));
        QVERIFY(row);
        app.click(row);
        QQuickItem* page = arrived(QStringLiteral("Режим работы"));
        QVERIFY(page);
        QObject* model = page->property("model").value<QObject*>();
        QTRY_VERIFY(!model->property("isLoading").toBool());
        app.click(app.visibleItem(QStringLiteral("studentTile")));

        // The second faculty by mouse, its groups' sheet by keyboard.
        const QString faculty = standin::Server::facultyNames().at(1);
        QPointer<QObject> sheet = app.openPicker(QStringLiteral("facultyPicker"));
        QVERIFY(sheet);
        app.picture(QStringLiteral("faculty-sheet"));
        QQuickItem* option = app.shownOption(faculty);
        QVERIFY(option);
        app.click(option);
        QTRY_VERIFY(!sheet || !sheet->property("visible").toBool());
        QVERIFY(app.waitForVisible(QStringLiteral("groupPicker")));
        QTRY_VERIFY(!model->property("isLoading").toBool());
        sheet = app.openPicker(QStringLiteral("groupPicker"));
        QVERIFY(sheet);
        app.press(Qt::Key_Down);
        app.press(Qt::Key_Return);
        QTRY_VERIFY(!sheet || !sheet->property("visible").toBool());
        QQuickItem* save = app.waitForVisible(QStringLiteral("saveButton"));
        QVERIFY(save);
        app.picture(QStringLiteral("work-mode-chosen"));
        app.click(save);
        // The choice is stored key by key, the group last.
        QTRY_VERIFY(!stored(QStringLiteral("student"), "group_name").isEmpty());
        const QString group = stored(QStringLiteral("student"), "group_name");
        QCOMPARE(stored(QStringLiteral("student"), "work_mode"), QStringLiteral("student"));
        QCOMPARE(stored(QStringLiteral("student"), "faculty_name"), faculty);

        back();
        clickSection(0);
        QVERIFY(app.showsLessons());
        QVERIFY(app.visibleItem(QStringLiteral("lessonList")));
        // The week's teacher photos may follow it on the wire.
        auto log = app.server().requests();
        while (!log.isEmpty() && log.constLast().path.startsWith(u"/media/"))
            log.removeLast();
        QVERIFY(!log.isEmpty());
        const auto week = log.constLast();
        QCOMPARE(week.path, QStringLiteral("/api/schedule/week"));
        QCOMPARE(week.query.queryItemValue(QStringLiteral("group"), QUrl::FullyDecoded), group);
        app.picture(QStringLiteral("timetable"));
    }

    // Arrows and the week switcher's buttons page through the weeks the service keeps.
    void pageThroughWeeks() {
        app.stalls().setStep(QStringLiteral("week paging"));
        ScheduleScreenModel* t = timetable();
        QCOMPARE(t->weekOffset(), 0);
        // Paging waits for the week being loaded, as the switcher's greyed arrows say.
        const auto page = [&](auto&& act, int expected) {
            act();
            return QTest::qWaitFor(
                [&] { return t->weekOffset() == expected && !t->isSheduleLoading(); }, 10000);
        };
        QVERIFY(page([&] { app.press(Qt::Key_Left); }, -1));
        QVERIFY(page([&] { app.click(app.visibleItem(QStringLiteral("previousWeek"))); }, -2));
        app.picture(QStringLiteral("two-weeks-back"));
        QVERIFY(page([&] { app.click(app.visibleItem(QStringLiteral("nextWeek"))); }, -1));
        // The mouse on the switcher leaves the keyboard with the timetable.
        QVERIFY(page([&] { app.press(Qt::Key_Right); }, 0));
        QVERIFY(page([&] { app.press(Qt::Key_Right); }, 1));
        // The service keeps one week ahead and no more.
        app.press(Qt::Key_Right);
        QTest::qWait(100);
        QCOMPARE(t->weekOffset(), 1);
        QVERIFY(!t->canGoForward());
        QVERIFY(page([&] { app.press(Qt::Key_Home); }, 0));
        QList<int> asked;
        for (const standin::LoggedRequest& r : app.server().requests())
            if (r.path == u"/api/schedule/week")
                asked.append(r.query.queryItemValue(QStringLiteral("offset")).toInt());
        for (int offset : {-1, -2, 1, 0})
            QVERIFY2(asked.contains(offset), qPrintable(QString::number(offset)));
        QVERIFY(!asked.contains(2));
    }

    // W shows the week without asking the service; a compact card opens the lesson, its teacher
    // and that teacher's own week, which pages on its own and leaves the user's mode alone.
    void teachersWeekFromTheWeekView() {
        app.stalls().setStep(QStringLiteral("week view"));
        ScheduleScreenModel* mine = timetable();
        const qsizetype before = app.server().requests().size();
        app.press(Qt::Key_W);
        QVERIFY(app.waitForVisible(QStringLiteral("weekColumn5")));
        QVERIFY(!app.visibleItem(QStringLiteral("lessonList")));
        QCOMPARE(app.server().requests().size(), before);
        app.picture(QStringLiteral("week-view"));
        // The export's save dialog, loaded on first use, proposes the week's file.
        QQuickItem* tools = app.visibleItem(QStringLiteral("weekTools"));
        QVERIFY(QMetaObject::invokeMethod(tools, "exportWeeks", Q_ARG(QVariant, false)));
        QObject* dialog = tools->property("saveDialog").value<QObject*>();
        QVERIFY(dialog && dialog->property("visible").toBool());
        QVERIFY(dialog->property("selectedFile").toUrl().fileName().endsWith(u".ics"));
        QVERIFY(QMetaObject::invokeMethod(dialog, "reject"));
        QQuickItem* card = nullptr;
        for (QQuickItem* c :
             itemsNamed(app.window()->contentItem(), QStringLiteral("compactLesson")))
            if (!card && c->isVisible() && c->property("modelData").value<Schedule>().teacher != "")
                card = c;
        QVERIFY(card);
        app.click(card);
        QQuickItem* link = app.waitForVisible(QStringLiteral("teacherLink"));
        QVERIFY(link);
        app.click(link);
        QVERIFY(app.waitForVisible(QStringLiteral("teacherPage")));
        app.click(app.waitForVisible(QStringLiteral("teacherWeekButton")));
        QQuickItem* sheet = app.waitForVisible(QStringLiteral("teacherWeek"));
        QVERIFY(sheet);
        auto* week = sheet->property("model").value<ScheduleScreenModel*>();
        const QString teacher = card->property("modelData").value<Schedule>().teacher;
        QCOMPARE(week->fixedTeacher(), teacher);
        const auto asked = [&](int offset) {
            return QTest::qWaitFor(
                [&] {
                    const auto last = app.server().requests().constLast();
                    return !week->isSheduleLoading() && week->weekOffset() == offset &&
                           last.path == QStringLiteral("/api/teachers/%1/schedule").arg(teacher) &&
                           last.rawQuery == QStringLiteral("offset=%1").arg(offset);
                },
                10000);
        };
        QVERIFY(asked(0));
        QCOMPARE(week->mode(), QStringLiteral("teacher"));
        app.picture(QStringLiteral("teacher-week"));
        app.press(Qt::Key_Left);
        QVERIFY(asked(-1));
        for (const standin::LoggedRequest& r : app.server().requests().mid(before))
            QVERIFY2(!r.path.startsWith(u"/api/storage/"), qPrintable(r.path));
        QCOMPARE(stored(QStringLiteral("student"), "work_mode"), QStringLiteral("student"));
        QCOMPARE(mine->weekOffset(), 0);
        QCOMPARE(mine->mode(), QStringLiteral("student"));
        app.press(Qt::Key_Escape);
        QTRY_VERIFY(!sheet->isVisible());
        QVERIFY(app.visibleItem(QStringLiteral("teacherPage")));
        app.press(Qt::Key_Escape);
        QTRY_COMPARE(navigation()->property("depth").toInt(), 1);
        QVERIFY(app.timetableSettled());
        app.press(Qt::Key_D);
        QVERIFY(app.showsLessons() && app.waitForVisible(QStringLiteral("lessonList")));
    }

    void readNewsItem() {
        app.stalls().setStep(QStringLiteral("news"));
        clickSection(1);
        QQuickItem* section = app.waitForVisible(QStringLiteral("newsSection"));
        QVERIFY(section);
        auto* news = section->property("model").value<NewsScreenModel*>();
        QTRY_VERIFY(!news->isLoading() && !news->news().isEmpty());
        QVERIFY(app.picturesArrived());
        app.picture(QStringLiteral("news"));
        QQuickItem* list = app.visibleItem(QStringLiteral("newsList"));
        app.clickAt(list, QPointF(list->width() / 2, 120));
        QObject* sheet = section->property("sheet").value<QObject*>();
        QTRY_VERIFY(sheet->property("opened").toBool());
        QQuickItem* page = sheet->property("page").value<QQuickItem*>();
        QVERIFY(page);
        QCOMPARE(page->property("url").toUrl(), news->news().first().pageUrl());
        QCOMPARE(page->property("url").toUrl().path(),
                 QStringLiteral("/news/") + news->news().first().id);
        app.picture(QStringLiteral("news-page"));
        app.press(Qt::Key_Escape);
        QTRY_VERIFY(!sheet->property("visible").toBool());
    }

    // The theme and accent change the whole window at once and follow the account.
    void pickThemeAndAccent() {
        app.stalls().setStep(QStringLiteral("settings"));
        clickSection(2);
        app.click(app.waitForVisible(QStringLiteral("settingsRow")));
        QVERIFY(arrived(QStringLiteral("Настройки")));
        app.click(app.waitForVisible(QStringLiteral("theme2")));
        app.click(app.waitForVisible(QStringLiteral("swatch-green")));
        QTRY_COMPARE(stored(QStringLiteral("student"), "settings__theme"), QStringLiteral("dark"));
        QTRY_COMPARE(stored(QStringLiteral("student"), "settings__accent_color"),
                     QStringLiteral("green"));
        const QImage image = app.picture(QStringLiteral("settings-dark-green"));
        const QColor dark = *SystemColors::named(u"systemBackground", true);
        QCOMPARE(image.pixelColor(image.width() - 3, image.height() / 2).rgb(), dark.rgb());
        back();
    }

    // Another device of the same account is listed and its session ended from here.
    void endAnotherDevicesSession() {
        app.stalls().setStep(QStringLiteral("devices"));
        OrvelApi phone(app.server().baseUrl(), std::nullopt, std::nullopt);
        const auto signedIn =
            await(phone.login(QStringLiteral("student"), QStringLiteral("student"),
                              QStringLiteral("Pixel 8"), QStringLiteral("android")));
        QVERIFY(signedIn && signedIn->ok());
        QVERIFY(await(phone.getMe())->ok());

        app.click(app.waitForVisible(QStringLiteral("devicesRow")));
        QQuickItem* page = arrived(QStringLiteral("Устройства"));
        QVERIFY(page);
        QObject* devices = page->property("model").value<QObject*>();
        QTRY_VERIFY(!devices->property("allDevicesLoading").toBool() &&
                    !devices->property("myDeviceLoading").toBool());
        qint64 phoneId = 0;
        for (const session& d : static_cast<DevicescreenModel*>(devices)->allDevices())
            if (d.device_name == u"Pixel 8")
                phoneId = d.id;
        QVERIFY(phoneId);
        const QString cardName = QStringLiteral("session-%1").arg(phoneId);
        QQuickItem* card = app.waitForVisible(cardName);
        QVERIFY(card);
        app.picture(QStringLiteral("devices"));
        QQuickItem* revoke = itemNamed(card, QStringLiteral("revokeButton"));
        QVERIFY(revoke);
        app.click(revoke);
        QVERIFY(app.confirm(QStringLiteral("devices-revoke-confirmation")));
        QTRY_COMPARE(app.server().count(QStringLiteral("POST"),
                                        QStringLiteral("/api/users/sessions/revoke")),
                     1);
        QTRY_VERIFY(!devices->property("allDevicesLoading").toBool());
        QTRY_VERIFY(!app.visibleItem(cardName));
        // The phone is signed out for real.
        QCOMPARE(await(phone.getMe())->ok(), false);
        app.picture(QStringLiteral("devices-after-revoke"));
    }

    void signOut() {
        app.stalls().setStep(QStringLiteral("sign out"));
        app.click(app.waitForVisible(QStringLiteral("signOutButton")));
        QVERIFY(app.confirm(QStringLiteral("sign-out-confirmation")));
        QVERIFY(app.waitForScreen(QStringLiteral("login")));
        QVERIFY(app.storedAccess().isEmpty());
        QVERIFY(app.storedRefresh().isEmpty());
        QCOMPARE(app.server().count(QStringLiteral("POST"), QStringLiteral("/api/auth/logout")), 1);
        app.picture(QStringLiteral("signed-out"));
    }

    // The next person's own timetable and colours; nothing of the first account's shows.
    void signInAsTheOtherAccount() {
        app.stalls().setStep(QStringLiteral("second account"));
        signIn(QStringLiteral("teacher"));
        QVERIFY(app.showsLessons());
        const auto week = app.server().requests();
        bool teacherWeek = false;
        for (const standin::LoggedRequest& r : week)
            teacherWeek |= r.path.startsWith(u"/api/teachers/") && r.path.endsWith(u"/schedule") &&
                           r.headers.value("authorization").size() > 7;
        QVERIFY(teacherWeek);
        QCOMPARE(home()->preferredScheme(), QString());
        app.picture(QStringLiteral("teacher-timetable"));
    }


    // The next launch finds the session and opens home without asking. With nothing kept on
    // this machine (a new week store), it waits for the service as a first start would.
    void relaunchKeepsTheSession() {
        app.stalls().setStep(QStringLiteral("relaunch"));
        WeekStore::setSharedPath(keptWeeks.filePath(QStringLiteral("weeks.sqlite")));
        app.server().clearLog();
        QVERIFY(app.relaunch());
        QCOMPARE(app.screen(), QStringLiteral("loading"));
        QVERIFY(app.waitForScreen(QStringLiteral("home")));
        QVERIFY(app.showsLessons());
        AppDriver::pause(500); // the next week, fetched ahead once
        coldStart = sent(false);
        app.picture(QStringLiteral("relaunched"));
    }

    // With this week kept, the next launch draws it at once in the kept colours, while the
    // service holds every answer back; what the user opens meanwhile waits and sends nothing.
    // The service's other theme then changes the colours once, and the requests are a cold
    // start's but for the week fetched ahead, now kept.
    void warmStartShowsTheKeptWeekAtOnce() {
        app.stalls().setStep(QStringLiteral("warm start"));
        app.quit();
        app.server().setStorage(QStringLiteral("teacher"), QStringLiteral("settings__theme"),
                                QStringLiteral("dark"));
        app.server().setFault(QStringLiteral("GET"), QStringLiteral("/api/users/me"),
                              fault::times(1, fault::delayed(2500)));
        app.server().clearLog();
        QVERIFY(app.relaunch());
        QCOMPARE(app.screen(), QStringLiteral("home"));
        QVERIFY(app.root()->co()->early());
        QSignalSpy colours(app.root()->preferences(), &Preferences::changed);
        QImage firstLessons;
        const QImage first = firstFrameIn(false, QStringLiteral("warm-start-light"), &firstLessons);
        QVERIFY(!first.isNull());
        QVERIFY(app.waitFor([&] { return !app.item(QStringLiteral("firstFrame")); }));
        QVERIFY(timetable() && app.root()->co()->early());
        sameDrawing(first, app.picture(QStringLiteral("warm-start-home")), QStringLiteral("today"));
        timetable()->setSelectedDay(dayWithLessons(timetable()));
        sameDrawing(firstLessons, app.picture(QStringLiteral("warm-start-home-lessons")),
                    QStringLiteral("a day with lessons"));

        // The menu (and through it the work mode and the devices) and the news wait.
        clickSection(2);
        QVERIFY(app.waitForVisible(QStringLiteral("menuLoading")));
        QVERIFY(!app.visibleItem(QStringLiteral("workModeRow")));
        clickSection(1);
        QVERIFY(app.waitForVisible(QStringLiteral("newsLoading")));
        clickSection(0);
        QCOMPARE(sent(), QStringList{QStringLiteral("GET /api/users/me?")});
        QVERIFY(app.root()->co()->early());

        QVERIFY(app.waitFor([&] { return !app.root()->co()->early(); }));
        QCOMPARE(app.screen(), QStringLiteral("home"));
        QVERIFY(app.showsLessons());
        AppDriver::pause(500);
        QCOMPARE(colours.count(), 1);
        QStringList cold = coldStart;
        QStringList warm = sent(false);
        for (const QString& r : std::as_const(warm))
            QVERIFY2(cold.removeOne(r), qPrintable(r));
        QCOMPARE(cold.size(), 1); // the next week, fetched ahead on the cold start only
        QVERIFY(cold.first().contains(u"/schedule"));
    }

    // The colours kept from the last start are the first frame's: no light frame before dark.
    void warmStartInTheKeptDarkTheme() {
        app.stalls().setStep(QStringLiteral("warm start dark"));
        QVERIFY(app.relaunch());
        QCOMPARE(app.screen(), QStringLiteral("home"));
        QSignalSpy colours(app.root()->preferences(), &Preferences::changed);
        QVERIFY(!firstFrameIn(true, QStringLiteral("warm-start-dark")).isNull());
        QVERIFY(app.waitFor([&] { return !app.root()->co()->early(); }));
        QVERIFY(app.showsLessons());
        QCOMPARE(colours.count(), 0);
        WeekStore::setSharedPath({});
    }
};

QTEST_MAIN(TestJourney)
#include "tst_journey.moc"
