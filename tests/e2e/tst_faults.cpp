// Each screen's load meeting a service that goes wrong, in the real window: an answer that never
// comes while the user goes on, a dropped connection, a refusal and JSON of the wrong shape. Each
// row checks the screen's own failure state and that it comes back once the service is sound.
#include "AppDriver.h"
#include "CachedAsyncImage.h"
#include "CoordinatorModel.h"
#include "NewsScreenModel.h"
#include "QmlScene.h"
#include "ScheduleScreenModel.h"
#include "StandinSession.h"
#include "TestSupport.h"
#include "WorkmodeModel.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QScopeGuard>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(OrvelBox_ControlsPlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_CorePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_TimetablePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_HomePlugin)

// QTRY_VERIFY without its sleeps between turns of the event loop.
#define SOON(condition) QVERIFY2(AppDriver::waitFor([&] { return bool(condition); }), #condition)

namespace {
// A 500 and a page that is not JSON end in the same generic failure: the 500 stands for both.
enum class Kind { hang, drop, refused, wrongShape };
const char* const kindNames[] = {"hang", "drop", "500", "wrong-shape"};

// Every member a screen reads, each of a type it does not expect.
const QByteArray wrongShapeBody =
    R"({"user": "student", "schedule": {"day": "Понедельник"}, "items": {"title": "x"}})";

standin::Fault faultOf(Kind kind) {
    switch (kind) {
    case Kind::hang:
        return fault::delayed(10 * 60 * 1000); // far beyond the test: never seen
    case Kind::drop:
        return fault::dropped();
    case Kind::refused:
        return fault::answer(500, "<html><body>Internal Server Error</body></html>", "text/html");
    case Kind::wrongShape:
        return fault::answer(200, wrongShapeBody, "application/json");
    }
    return {};
}

bool shown(QQuickItem* item) {
    return item && item->isVisible();
}

// A text item under `item` shows exactly `text`.
bool showsText(QQuickItem* item, const QString& text) {
    if (!item)
        return false;
    for (QQuickItem* child : item->childItems())
        if (child->isVisible() &&
            (child->property("text").toString() == text || showsText(child, text)))
            return true;
    return false;
}

// One screen's load: its rows, how to get there, what starts it, and what it shows while
// waiting, after a failure, after an answer of the wrong shape and once loaded.
struct ScreenLoad {
    QList<Kind> kinds;
    std::function<void()> arrive;  // from nothing to just before the load, if anything
    std::function<void()> trigger; // starts the load (the faults are set by then)
    std::function<bool()> waiting;
    std::function<void()> keepUsing; // what the user goes on doing while the answer is out
    std::function<bool()> failed;    // none: the screen waits on
    std::function<bool()> wrongShape;
    std::function<bool()> loaded;
    std::function<void()> recover; // brings the screen back once the service is sound
    // Still holds when a stalled request ends at last, after the recovery; defaults to loaded.
    std::function<bool()> stillShown = {};
};
} // namespace

class TestFaults : public QObject {
    Q_OBJECT
    AppDriver app{QStringLiteral("faults")};
    Kind m_kind = Kind::hang;
    QString m_row;
    QString m_newsPicturePath;

    ScheduleScreenModel* timetable() const { return app.timetable(); }
    QString timetableState() const { return timetable() ? timetable()->screenState() : QString(); }
    void section(int index) {
        app.press(Qt::Key_1 + index, Qt::ControlModifier);
        QVERIFY(app.waitForVisible(
            QStringList{"timetableSection", "newsSection", "menuSection"}.at(index)));
    }
    void inject(const QString& method, const QString& path) {
        app.server().setFault(method, path, faultOf(m_kind));
    }

    // Signed in with a group stored: the stand-in's first of its second faculty.
    void startHome() {
        const QString login = QStringLiteral("student");
        QVERIFY(app.startSignedIn(login, [&] {
            const QString faculty = standin::Server::facultyNames().at(1);
            OrvelApi probe(app.server().baseUrl(), app.server().issueTokens(login), std::nullopt);
            const auto groups = await(probe.getGroups(faculty));
            QVERIFY(groups && groups->ok());
            const QJsonValue group = groups->value()[QStringLiteral("groups")][0][u"name"];
            app.server().setStorage(login, QStringLiteral("work_mode"), QStringLiteral("student"));
            app.server().setStorage(login, QStringLiteral("faculty_name"), faculty);
            app.server().setStorage(login, QStringLiteral("group_name"), group);
        }));
        QVERIFY(app.waitForScreen(QStringLiteral("home")));
        QVERIFY(app.timetableSettled());
    }
    // The news section made anew: it loads again.
    void showNewsAgain() {
        section(0);
        section(1);
    }
    bool atHome() const { return app.screen() == u"home" && timetable(); }
    QString loginEntryText(const char* field) const {
        QQuickItem* entry =
            itemNamed(app.visibleItem(QString::fromLatin1(field)), QStringLiteral("entry"));
        return entry ? entry->property("text").toString() : QString();
    }
    CachedAsyncImage* newsPicture() const {
        for (QQuickItem* p : app.items(QStringLiteral("newsPicture")))
            if (auto* image = qobject_cast<CachedAsyncImage*>(p);
                image && image->url().path() == m_newsPicturePath)
                return image;
        return nullptr;
    }
    NewsScreenModel* news() const {
        QQuickItem* s = app.visibleItem(QStringLiteral("newsSection"));
        return s ? s->property("model").value<NewsScreenModel*>() : nullptr;
    }
    // Into a menu row; from a screen already open, back to the menu first: the screen is made
    // anew and loads.
    void openMenuRow(const char* row, const QString& expectedTitle) {
        if (app.navigation()->property("depth").toInt() > 1)
            QVERIFY(app.back());
        app.click(app.waitForVisible(QString::fromLatin1(row)));
        QVERIFY(app.arrived(expectedTitle));
    }
    WorkmodeModel* workmode() const {
        return app.page() ? app.page()->property("model").value<WorkmodeModel*>() : nullptr;
    }
    void signOutFromDevices() {
        app.click(app.waitForVisible(QStringLiteral("signOutButton")));
        QVERIFY(app.confirm());
    }

    ScreenLoad startUp();
    ScreenLoad signIn();
    ScreenLoad week();
    ScreenLoad workmodeList(const QString& path);
    ScreenLoad newsList();
    ScreenLoad newsPictures();
    ScreenLoad signOut();

    static const QList<std::pair<const char*, ScreenLoad (*)(TestFaults*)>>& screens();
    void run(const ScreenLoad& j);

  private slots:
    void cleanupTestCase() {
        app.quit();
        qInfo("%s", qPrintable(app.stalls().report()));
        QVERIFY2(app.stalls().worstMs() <= StallMeter::boundMs,
                 qPrintable(app.stalls().worstStep()));
    }

    void everyScreenMeetsEveryFault_data();
    void everyScreenMeetsEveryFault();

    void startUpWithServiceDown();
};

void TestFaults::run(const ScreenLoad& j) {
    LogCapture log;
    if (j.arrive)
        j.arrive();
    if (QTest::currentTestFailed())
        return;
    app.stalls().setStep(m_row);
    const qsizetype logged = log.lines.size();
    j.trigger();
    if (QTest::currentTestFailed())
        return;
    // A failure that looks like the waiting before it is told by its line in the log.
    const std::function<bool()> failed =
        j.failed ? j.failed : [&] { return log.lines.size() > logged && j.waiting(); };

    switch (m_kind) {
    case Kind::hang:
        QVERIFY2(j.waiting(), "not waiting for the answer");
        if (j.keepUsing)
            j.keepUsing();
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(j.waiting(), "stopped waiting before an answer came");
        break;
    case Kind::drop:
    case Kind::refused:
        QVERIFY2(AppDriver::waitFor(failed, 10000), "the failure state was not shown");
        AppDriver::pause(50); // nothing comes afterwards to change it
        QVERIFY2(failed(), "the failure state did not last");
        break;
    case Kind::wrongShape:
        QVERIFY2(AppDriver::waitFor(j.wrongShape, 10000), "the answer of the wrong shape was not "
                                                          "shown as the screen's empty state");
        break;
    }

    app.server().clearFaults();
    j.recover();
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(AppDriver::waitFor(j.loaded, 10000), "did not recover once the service was sound");

    if (m_kind == Kind::hang) {
        // The answer that never came ends at last; the screen the user has moved on to stays.
        QVERIFY(app.restartService());
        AppDriver::pause(100);
        QVERIFY2((j.stillShown ? j.stillShown : j.loaded)(),
                 "the late end of the stalled request disturbed the screen");
    }
}

const QList<std::pair<const char*, ScreenLoad (*)(TestFaults*)>>& TestFaults::screens() {
    static const QList<std::pair<const char*, ScreenLoad (*)(TestFaults*)>> all{
        {"start-up", [](TestFaults* t) { return t->startUp(); }},
        {"sign-in", [](TestFaults* t) { return t->signIn(); }},
        {"group-week", [](TestFaults* t) { return t->week(); }},
        {"teacher-list", [](TestFaults* t) { return t->workmodeList("/api/teachers"); }},
        {"faculty-list", [](TestFaults* t) { return t->workmodeList("/api/schedule/faculties"); }},
        {"news-list", [](TestFaults* t) { return t->newsList(); }},
        {"news-picture", [](TestFaults* t) { return t->newsPictures(); }},
        {"sign-out", [](TestFaults* t) { return t->signOut(); }},
    };
    return all;
}

void TestFaults::everyScreenMeetsEveryFault_data() {
    QTest::addColumn<int>("screen");
    QTest::addColumn<int>("kind");
    // One screen's rows alone, while working on that screen.
    const QString only = qEnvironmentVariable("ORVEL_FAULT_SCREEN");
    for (int i = 0; i < screens().size(); ++i) {
        const char* screen = screens().at(i).first;
        if (only.isEmpty() || only == QLatin1String(screen))
            for (Kind kind : screens().at(i).second(this).kinds)
                QTest::addRow("%s %s", screen, kindNames[int(kind)]) << i << int(kind);
    }
}

void TestFaults::everyScreenMeetsEveryFault() {
    QFETCH(int, screen);
    QFETCH(int, kind);
    m_kind = Kind(kind);
    m_row = QLatin1String(screens().at(screen).first) + QLatin1Char('-') +
            QLatin1String(kindNames[kind]);
    run(screens().at(screen).second(this));
}

// The session check before the first screen. Any answer that is not a session asks to sign
// in; a dropped connection stays offline with a retry. Either way the stored session is kept.
ScreenLoad TestFaults::startUp() {
    ScreenLoad j;
    j.kinds = {Kind::hang, Kind::drop, Kind::refused, Kind::wrongShape};
    j.trigger = [this] {
        QVERIFY(app.startSignedIn(QStringLiteral("student"), [this] {
            inject(QStringLiteral("GET"), QStringLiteral("/api/users/me"));
        }));
    };
    j.waiting = [this] {
        return app.screen() == u"loading" &&
               shown(app.visibleItem(QStringLiteral("globalLoading")));
    };
    j.failed = [this] {
        const bool unanswered = m_kind == Kind::drop;
        return app.screen() == (unanswered ? u"offline" : u"login") &&
               shown(app.visibleItem(unanswered ? QStringLiteral("retryButton")
                                                : QStringLiteral("loginField"))) &&
               !app.storedAccess().isEmpty();
    };
    // The answer is not looked at: any object means the session is good.
    j.wrongShape = [this] { return app.screen() == u"home"; };
    j.loaded = [this] { return atHome(); };
    j.recover = [this] { QVERIFY(app.relaunch()); };
    return j;
}

ScreenLoad TestFaults::signIn() {
    ScreenLoad j;
    j.kinds = {Kind::hang, Kind::drop, Kind::refused};
    j.arrive = [this] {
        QVERIFY(app.start());
        QVERIFY(app.waitForScreen(QStringLiteral("login")));
        QVERIFY(app.fillSignIn(QStringLiteral("student")));
    };
    j.trigger = [this] {
        inject(QStringLiteral("POST"), QStringLiteral("/api/auth/login"));
        app.press(Qt::Key_Return);
    };
    j.waiting = [this] {
        return app.screen() == u"login" &&
               shown(app.visibleItem(QStringLiteral("signInProgress"))) &&
               !app.visibleItem(QStringLiteral("signInButton"));
    };
    // Every failure reads the same, and what was typed stays for another try.
    j.failed = [this] {
        QQuickItem* error = app.visibleItem(QStringLiteral("errorLine"));
        return app.screen() == u"login" && error &&
               error->property("text").toString() == u"Неверный логин или пароль" &&
               shown(app.visibleItem(QStringLiteral("signInButton"))) &&
               loginEntryText("loginField") == u"student" &&
               loginEntryText("passwordField") == u"student";
    };
    j.loaded = [this] { return atHome(); };
    j.recover = [this] {
        if (m_kind != Kind::hang)
            return app.click(app.visibleItem(QStringLiteral("signInButton")));
        // The button stays hidden while the sign-in is out: the user starts over.
        QVERIFY(app.relaunch());
        QVERIFY(app.fillSignIn(QStringLiteral("student")));
        app.press(Qt::Key_Return);
    };
    return j;
}

// A week that is not stored waits while paging goes on; one that fails offers a retry.
ScreenLoad TestFaults::week() {
    ScreenLoad j;
    j.kinds = {Kind::hang, Kind::drop, Kind::wrongShape};
    j.arrive = [this] { startHome(); };
    j.trigger = [this] {
        inject(QStringLiteral("GET"), QStringLiteral("/api/schedule/week"));
        app.press(Qt::Key_Left);
        SOON(timetableState() == QStringLiteral("loading"));
    };
    // Still asking: with the progress bar, or with the stored week on screen.
    j.waiting = [this] {
        return timetable() && timetable()->isSheduleLoading() && timetableState() != u"failed";
    };
    j.keepUsing = [this] {
        const int day = (timetable()->selectedDay() + 2) % 6;
        app.press(Qt::Key_1 + day);
        SOON(timetable()->selectedDay() == day);
        const int offset = timetable()->weekOffset();
        app.press(Qt::Key_Left);
        QCOMPARE(timetable()->weekOffset(), offset - 1);
        app.press(Qt::Key_Right);
        QCOMPARE(timetable()->weekOffset(), offset);
        // A screen made anew opens on the current week, stored by then: shown at once.
        section(1);
        section(0);
        SOON(timetable()->isSheduleLoading() && timetableState() != u"failed");
    };
    j.failed = [this] {
        return timetableState() == u"failed" &&
               shown(app.visibleItem(QStringLiteral("retryButton")));
    };
    // A week without a lesson list is a week without lessons.
    j.wrongShape = [this] {
        QQuickItem* rest = app.visibleItem(QStringLiteral("restView"));
        return timetableState() == u"rest" && showsText(rest, QStringLiteral("Нет пар")) &&
               showsText(rest, QStringLiteral("Отдыхайте"));
    };
    j.loaded = [this] {
        const QString state = timetableState();
        return (state == u"lessons" || state == u"rest") && timetable()->canGoBack();
    };
    j.recover = [this] {
        if (timetableState() == u"failed")
            return app.click(app.visibleItem(QStringLiteral("retryButton")));
        section(1);
        section(0);
    };
    return j;
}

ScreenLoad TestFaults::workmodeList(const QString& path) {
    ScreenLoad j;
    j.kinds = {Kind::hang, Kind::drop};
    j.arrive = [this] {
        startHome();
        section(2);
    };
    j.trigger = [this, path] {
        inject(QStringLiteral("GET"), path);
        openMenuRow("workModeRow", QStringLiteral("Режим работы"));
    };
    j.waiting = [this] {
        return workmode() && workmode()->isLoading() &&
               shown(itemNamed(app.page(), QStringLiteral("loadingBar"))) &&
               !app.visibleItem(QStringLiteral("facultyPicker")) &&
               !app.visibleItem(QStringLiteral("teacherPicker"));
    };
    j.loaded = [this] {
        return workmode() && !workmode()->isLoading() &&
               shown(app.visibleItem(QStringLiteral("facultyPicker"))) &&
               workmode()->teachers()->count() > 1 && workmode()->faculties()->count() > 1;
    };
    j.recover = [this] { openMenuRow("workModeRow", QStringLiteral("Режим работы")); };
    return j;
}

// A failed list keeps the waiting view; showing the section again asks again.
ScreenLoad TestFaults::newsList() {
    ScreenLoad j;
    j.kinds = {Kind::hang, Kind::drop, Kind::wrongShape};
    j.arrive = [this] { startHome(); };
    j.trigger = [this] {
        inject(QStringLiteral("GET"), QStringLiteral("/api/collections/site_news/records"));
        section(1);
    };
    j.waiting = [this] {
        return news() && news()->isLoading() &&
               showsText(app.visibleItem(QStringLiteral("newsLoading")),
                         QStringLiteral("Загрузка новостей")) &&
               !app.visibleItem(QStringLiteral("newsList"));
    };
    // No list of items: the header alone.
    j.wrongShape = [this] {
        QQuickItem* list = app.visibleItem(QStringLiteral("newsList"));
        return news() && !news()->isLoading() && list && news()->news().isEmpty() &&
               list->property("count").toInt() == 0 && showsText(list, QStringLiteral("Новости"));
    };
    j.loaded = [this] {
        return news() && !news()->isLoading() && !news()->news().isEmpty() &&
               shown(app.visibleItem(QStringLiteral("newsList")));
    };
    j.recover = [this] { showNewsAgain(); };
    return j;
}

// A news picture that cannot be had keeps its placeholder; the loader is not the request core,
// so a refusal is a row of its own.
ScreenLoad TestFaults::newsPictures() {
    ScreenLoad j;
    j.kinds = {Kind::drop, Kind::refused};
    j.arrive = [this] {
        startHome();
        const auto records = await(NewsScreenModel::fetchJSON(NewsScreenModel::recordsAddress()));
        QVERIFY(records && records->ok());
        const QJsonObject first =
            records->value().value(QStringLiteral("items")).toArray().first().toObject();
        m_newsPicturePath = QStringLiteral("/api/files/%1/%2/%3")
                                .arg(first.value(QStringLiteral("collectionId")).toString(),
                                     first.value(QStringLiteral("id")).toString(),
                                     first.value(QStringLiteral("preview")).toString());
    };
    j.trigger = [this] {
        inject(QStringLiteral("GET"), m_newsPicturePath);
        section(1);
        QVERIFY(AppDriver::waitFor([&] { return newsPicture(); }, 5000));
    };
    j.failed = [this] {
        CachedAsyncImage* p = newsPicture();
        return p && !p->ready() && !p->loading() &&
               shown(itemNamed(p->parentItem(), QStringLiteral("picturePlaceholder")));
    };
    j.loaded = [this] { return newsPicture() && newsPicture()->ready(); };
    j.recover = [this] { showNewsAgain(); };
    return j;
}

// Sign-out ends in the sign-in screen whatever the service answers; the stored session goes.
ScreenLoad TestFaults::signOut() {
    ScreenLoad j;
    j.kinds = {Kind::hang, Kind::drop};
    j.arrive = [this] {
        startHome();
        section(2);
        openMenuRow("devicesRow", QStringLiteral("Устройства"));
    };
    j.trigger = [this] {
        inject(QStringLiteral("POST"), QStringLiteral("/api/auth/logout"));
        signOutFromDevices();
        // The screen stays as it was: only the service can tell the request went out.
        SOON(app.server().count(QStringLiteral("POST"), QStringLiteral("/api/auth/logout")) == 1);
    };
    j.waiting = [this] { return app.screen() == u"home" && app.title() == u"Устройства"; };
    j.failed = [this] {
        return app.screen() == u"login" && app.storedAccess().isEmpty() &&
               app.storedRefresh().isEmpty() &&
               shown(app.visibleItem(QStringLiteral("loginField")));
    };
    const auto signedInAgain = [this] { return atHome() && !app.storedAccess().isEmpty(); };
    j.loaded = signedInAgain;
    j.recover = [this] {
        if (m_kind == Kind::hang) {
            // The first sign-out is still out: the user signs out again, and someone else signs in.
            signOutFromDevices();
            QVERIFY(app.waitForScreen(QStringLiteral("login")));
        }
        QVERIFY(app.fillSignIn(QString::fromLatin1(m_kind == Kind::hang ? "teacher" : "student")));
        app.press(Qt::Key_Return);
    };
    // The first sign-out ending late must not sign out whoever signed in since.
    j.stillShown = signedInAgain;
    return j;
}

// The service down at start-up (its port closed): not the sign-in form but the offline screen,
// which says why, counts down and shows the week stored at the last start, pageable; Enter and
// the button try at once, and once the service is back the window gets in by itself.
void TestFaults::startUpWithServiceDown() {
    m_row = QStringLiteral("start-up-service-down");
    const auto normalSeconds = qScopeGuard([] { OfflineRetry::setSecondMs(1000); });
    OfflineRetry::setSecondMs(60000); // the countdown stands still until the window is checked
    startHome();
    app.stopService();
    QVERIFY(app.relaunch());
    app.stalls().setStep(m_row);
    QVERIFY(app.waitForScreen(QStringLiteral("offline")));
    QVERIFY(app.waitForVisible(QStringLiteral("retryButton")));
    const QList<std::pair<const char*, QString>> texts{
        {"offlineText", QStringLiteral("offline")},
        {"offlineReason", QStringLiteral("Нет связи с сервером.")},
        {"retryCountdown", QStringLiteral("Повторная попытка через 2 с")},
        {"retryButton", QStringLiteral("Повторить")}};
    for (const auto& [name, text] : texts) {
        QQuickItem* item = app.visibleItem(QString::fromLatin1(name));
        QVERIFY2(item, name);
        QCOMPARE(item->property("text").toString(), text);
    }
    // The week stored at the last start shows, and takes the keys.
    auto* stored = app.waitForVisible(QStringLiteral("storedTimetable"))
                       ->property("model")
                       .value<ScheduleScreenModel*>();
    SOON(stored->screenState() == u"lessons" || stored->screenState() == u"rest");
    app.press(Qt::Key_Left);
    QCOMPARE(stored->weekOffset(), -1);
    app.press(Qt::Key_Right);

    OfflineRetry* retry = app.root()->co()->offlineRetry();
    app.press(Qt::Key_Return);
    SOON(retry->secondsLeft() == 4 && !retry->checking());
    OfflineRetry::setSecondMs(50);
    // The countdown passes every smaller number on its way down: no wait that is longer shows.
    int longest = 0;
    QObject watch; // the connection ends with this test
    QObject::connect(retry, &OfflineRetry::changed, &watch,
                     [&] { longest = qMax(longest, retry->secondsLeft()); });
    app.click(app.visibleItem(QStringLiteral("retryButton")));
    SOON(retry->secondsLeft() == 8 && !retry->checking());
    QCOMPARE(longest, 8);
    QVERIFY(app.restartService());
    QVERIFY(app.waitForScreen(QStringLiteral("home"), 5000));
    QVERIFY(app.timetableSettled());
    QVERIFY(!app.storedAccess().isEmpty());
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
