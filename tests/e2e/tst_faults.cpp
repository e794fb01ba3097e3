// Every screen's load meeting a service that goes wrong, in the real window: an answer that
// comes late, one that never comes while the user goes on, a dropped connection, a refusal and
// JSON of the wrong shape. Each row checks that the window keeps answering, shows the screen's
// own failure state and comes back once the service is sound; the longest stall is measured.
#include "AppDriver.h"
#include "CachedAsyncImage.h"
#include "CoordinatorModel.h"
#include "DevicescreenModel.h"
#include "GlobalHomeModel.h"
#include "NewsScreenModel.h"
#include "QmlScene.h"
#include "ScheduleScreenModel.h"
#include "StandinSession.h"
#include "TestSupport.h"
#include "WorkmodeModel.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QScopeGuard>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(OrvelBox_ControlsPlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_CorePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_TimetablePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_HomePlugin)

// QTRY_VERIFY without its sleeps between turns of the event loop.
#define SOON(condition) QVERIFY2(AppDriver::waitFor([&] { return bool(condition); }), #condition)

namespace {
// A refusal is a 500 on every other screen and a page that is not JSON on the rest: both end
// in the same generic failure, which each screen then shows once. An answer that is merely
// late is every screen's normal load (the journeys), and the hang's waiting state.
enum class Kind { hang, drop, refused, wrongShape };

const char* kindName(Kind kind, int screen) {
    static const char* const names[] = {"hang", "drop", "500", "wrong-shape"};
    return kind == Kind::refused && screen % 2 ? "not-json" : names[int(kind)];
}

// Far beyond the test: the answer is never seen.
constexpr int hangMs = 10 * 60 * 1000;

// Every member a screen reads, each of a type it does not expect.
const QByteArray wrongShapeBody = R"({"user": "student", "keys": {"key": "work_mode"},
    "value": {"text": "student"}, "settings__theme": 2, "settings__accent_color": ["red"],
    "settings__current_lesson": "false", "settings__next_lesson": null,
    "schedule": {"day": "Понедельник"}, "faculties": "all", "teachers": {"name": "Иванов"},
    "items": {"title": "x"}, "session": ["current"], "sessions": {"id": 1}})";

standin::Fault faultOf(Kind kind, int screen) {
    switch (kind) {
    case Kind::hang:
        return fault::delayed(hangMs);
    case Kind::drop:
        return fault::dropped();
    case Kind::refused:
        return screen % 2 ? fault::answer(200, "<html><body>Сервис на обслуживании</body></html>",
                                          "text/html; charset=utf-8")
                          : fault::answer(500, "<html><body>Internal Server Error</body></html>",
                                          "text/html");
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
    for (QQuickItem* child : item->childItems()) {
        if (child->isVisible() && child->property("text").toString() == text)
            return true;
        if (child->isVisible() && showsText(child, text))
            return true;
    }
    return false;
}

// One screen's load for the fault rows: how to get there, what starts it, and what it shows
// while waiting, after a failure, after an answer of the wrong shape and once loaded.
struct ScreenLoad {
    std::function<void()> arrive;  // from nothing to just before the load, if anything
    std::function<void()> trigger; // starts the load (the faults are set by then)
    std::function<bool()> waiting;
    // The user goes on while the answer is out, leaving and coming back where that loads anew.
    std::function<void()> keepUsing;
    std::function<bool()> failed; // defaults to waiting: the screen waits on
    std::function<bool()> wrongShape; // none: fails as any refusal does
    std::function<bool()> loaded;
    std::function<void()> recover; // brings the screen back once the service is sound
    // Still holds when a stalled request ends at last, after the recovery; defaults to loaded.
    std::function<bool()> stillShown = {};
    bool logsFailure = true; // sign-out swallows its failure
    // A picture fetch is shared by every view showing it: a stalled one holds each new showing.
    bool stallBlocksReshowing = false;
};
} // namespace

class TestFaults : public QObject {
    Q_OBJECT
    AppDriver app{QStringLiteral("faults")};
    Kind m_kind = Kind::hang;
    QString m_row;
    int m_screen = 0;
    QString m_newsPicturePath;

    // ---- the window ----
    GlobalHomeModel* home() const { return app.home(); }
    ScheduleScreenModel* timetable() const { return app.timetable(); }
    QString timetableState() const { return timetable() ? timetable()->screenState() : QString(); }
    CoordinatorModel* root() const { return app.root(); }
    QQuickItem* page() const { return app.page(); }
    template <class T> T* pageModel() const {
        return page() ? page()->property("model").value<T*>() : nullptr;
    }
    void section(int index) {
        app.press(Qt::Key_1 + index, Qt::ControlModifier);
        QVERIFY(app.waitForVisible(QStringList{"timetableSection", "newsSection", "menuSection"}
                                       .at(index)));
    }
    // A visible sliding bar moves: the window draws frames while it waits.
    bool barSlides(QQuickItem* within = nullptr) const {
        QQuickItem* bar = nullptr;
        for (QQuickItem* b : app.items(QStringLiteral("slidingBar"))) {
            if (!b->isVisible() || (within && !within->isAncestorOf(b)))
                continue;
            bar = b;
            break;
        }
        if (!bar)
            return false;
        const qreal x = bar->x();
        return AppDriver::waitFor([&] { return bar->x() != x; }, 1000);
    }
    void inject(const QString& method, const QString& path) {
        app.server().setFault(method, path, faultOf(m_kind, m_screen));
    }
    void step(const QString& phase) { app.stalls().setStep(m_row + QStringLiteral(": ") + phase); }
    // The row's picture.
    void snap() { app.picture(m_row, 0); }

    // ---- accounts and their data ----
    // The stand-in's first group of its second faculty, stored as the account's work mode.
    void storeGroup(const QString& login) {
        const QString faculty = standin::Server::facultyNames().at(1);
        OrvelApi probe(app.server().baseUrl(), app.server().issueTokens(login), std::nullopt);
        const auto groups = await(probe.getGroups(faculty));
        QVERIFY(groups && groups->ok());
        const QJsonArray list = groups->value().value(QStringLiteral("groups")).toArray();
        QVERIFY(!list.isEmpty());
        app.server().setStorage(login, QStringLiteral("work_mode"), QStringLiteral("student"));
        app.server().setStorage(login, QStringLiteral("faculty_name"), faculty);
        app.server().setStorage(login, QStringLiteral("group_name"),
                                list.first().toObject().value(QStringLiteral("name")).toString());
    }
    // Signed in as a returning user, whose preferences are stored already.
    void startHome(const QString& login, const std::function<void()>& prepare = {}) {
        QVERIFY(app.startSignedIn(login, [&] {
            for (const auto& [key, value] : Preferences::defaults())
                app.server().setStorage(login, key, value);
            if (prepare)
                prepare();
        }));
        QVERIFY(app.waitForScreen(QStringLiteral("home")));
        QVERIFY(app.timetableSettled());
    }
    // A first start, the sign-in form filled in and not yet sent.
    void atSignIn() {
        QVERIFY(app.start());
        QVERIFY(app.waitForScreen(QStringLiteral("login")));
        QVERIFY(app.fillSignIn(QStringLiteral("student")));
    }
    bool atHome() const { return app.screen() == u"home" && timetable(); }
    bool loadingScreenShown() const {
        return app.screen() == u"loading" &&
               shown(app.visibleItem(QStringLiteral("globalLoading")));
    }
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
    // The news section made anew: it loads again.
    void showNewsAgain() {
        section(0);
        section(1);
    }
    NewsScreenModel* news() const {
        QQuickItem* s = app.visibleItem(QStringLiteral("newsSection"));
        return s ? s->property("model").value<NewsScreenModel*>() : nullptr;
    }
    void openMenuRow(const char* row, const QString& expectedTitle) {
        QQuickItem* r = app.waitForVisible(QString::fromLatin1(row));
        QVERIFY(r);
        app.click(r);
        QVERIFY(app.arrived(expectedTitle));
    }
    // Back to the menu and into the same row again: the screen is made anew and loads.
    void reopenMenuRow(const char* row, const QString& expectedTitle) {
        QVERIFY(app.back());
        openMenuRow(row, expectedTitle);
    }
    DevicescreenModel* devices() const { return pageModel<DevicescreenModel>(); }
    bool devicesLoaded() const {
        return devices() && !devices()->myDeviceLoading() && !devices()->allDevicesLoading();
    }
    WorkmodeModel* workmode() const { return pageModel<WorkmodeModel>(); }
    // The sign-out confirmation opens and closes again: the devices screen answers.
    void confirmationOpensAndCloses() {
        app.click(app.waitForVisible(QStringLiteral("signOutButton")));
        QQuickItem* cancel = app.waitForVisible(QStringLiteral("cancelButton"));
        QVERIFY(cancel);
        SOON(cancel->opacity() == 1.0);
        app.click(cancel);
        SOON(!app.visibleItem(QStringLiteral("cancelButton")));
    }
    void signOutFromDevices() {
        app.click(app.waitForVisible(QStringLiteral("signOutButton")));
        QVERIFY(app.confirm());
    }

    // ---- the screens ----
    ScreenLoad startUp();
    ScreenLoad signIn();
    ScreenLoad preferences();
    ScreenLoad week();
    ScreenLoad workmodeList(const QString& path);
    ScreenLoad newsList();
    ScreenLoad newsPictures();
    ScreenLoad deviceBlock(bool current);
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

// ---- one row ----

void TestFaults::run(const ScreenLoad& j) {
    LogCapture log;
    // What the application wrote is the first thing to read when a row fails.
    const auto tell = qScopeGuard([&] {
        if (QTest::currentTestFailed())
            for (const QString& line : std::as_const(log.lines))
                qInfo("log: %s", qPrintable(line));
    });
    if (j.arrive)
        j.arrive();
    if (QTest::currentTestFailed())
        return;
    step(QStringLiteral("fault"));
    const qsizetype logged = log.lines.size();
    j.trigger();
    if (QTest::currentTestFailed())
        return;
    const auto failureLogged = [&] { return !j.logsFailure || log.lines.size() > logged; };
    const auto failed = j.failed ? j.failed : j.waiting;

    switch (m_kind) {
    case Kind::hang:
        QVERIFY2(j.waiting(), "not waiting for the answer");
        j.keepUsing();
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(j.waiting(), "stopped waiting before an answer came");
        snap();
        break;
    case Kind::drop:
    case Kind::refused:
        QVERIFY2(AppDriver::waitFor([&] { return failureLogged() && failed(); }, 10000),
                 "the failure state was not shown");
        // Nothing comes afterwards to change it.
        AppDriver::pause(50);
        QVERIFY2(failed(), "the failure state did not last");
        snap();
        break;
    case Kind::wrongShape:
        QVERIFY2(AppDriver::waitFor(j.wrongShape, 10000), "the answer of the wrong shape was not "
                                                          "shown as the screen's empty state");
        snap();
        break;
    }

    step(QStringLiteral("recovery"));
    app.server().clearFaults();
    const bool stalled = m_kind == Kind::hang;
    if (stalled && j.stallBlocksReshowing)
        QVERIFY(app.restartService());
    j.recover();
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(AppDriver::waitFor(j.loaded, 10000), "did not recover once the service was sound");

    if (stalled && !j.stallBlocksReshowing) {
        // The answer that never came ends at last; the screen the user has moved on to stays.
        step(QStringLiteral("late end"));
        QVERIFY(app.restartService());
        const auto still = j.stillShown ? j.stillShown : j.loaded;
        AppDriver::pause(100);
        QVERIFY2(still(), "the late end of the stalled request disturbed the screen");
    }
}

// Every screen's load, in the order its rows run.
const QList<std::pair<const char*, ScreenLoad (*)(TestFaults*)>>& TestFaults::screens() {
    static const QList<std::pair<const char*, ScreenLoad (*)(TestFaults*)>> all{
        {"start-up", [](TestFaults* t) { return t->startUp(); }},
        {"sign-in", [](TestFaults* t) { return t->signIn(); }},
        {"preferences", [](TestFaults* t) { return t->preferences(); }},
        {"group-week", [](TestFaults* t) { return t->week(); }},
        {"teacher-list", [](TestFaults* t) { return t->workmodeList("/api/teachers"); }},
        {"faculty-list", [](TestFaults* t) { return t->workmodeList("/api/schedule/faculties"); }},
        {"news-list", [](TestFaults* t) { return t->newsList(); }},
        {"news-picture", [](TestFaults* t) { return t->newsPictures(); }},
        {"current-device", [](TestFaults* t) { return t->deviceBlock(true); }},
        {"session-list", [](TestFaults* t) { return t->deviceBlock(false); }},
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
        if (!only.isEmpty() && only != QLatin1String(screen))
            continue;
        // Where an answer of the wrong shape fails as any other does, the refusal stands for it.
        const bool readsTheAnswer = bool(screens().at(i).second(this).wrongShape);
        for (int kind = 0; kind <= int(Kind::wrongShape) - !readsTheAnswer; ++kind)
            QTest::addRow("%s %s", screen, kindName(Kind(kind), i)) << i << kind;
    }
}

void TestFaults::everyScreenMeetsEveryFault() {
    QFETCH(int, screen);
    QFETCH(int, kind);
    m_kind = Kind(kind);
    m_screen = screen;
    m_row = QLatin1String(screens().at(screen).first) + QLatin1Char('-') +
            QLatin1String(kindName(m_kind, screen));
    run(screens().at(screen).second(this));
    if (QTest::currentTestFailed() && app.window())
        app.picture(QStringLiteral("failed-") + m_row);
}

// ---- start-up, sign-in and the preferences ----

// The session check before the first screen. Any answer that is not a session asks to sign
// in; a dropped connection (no answer at all) stays offline with a retry counting down. Either
// way the stored session is kept, so the next start goes straight home.
ScreenLoad TestFaults::startUp() {
    ScreenLoad j;
    j.trigger = [this] {
        QVERIFY(app.startSignedIn(QStringLiteral("student"), [this] {
            inject(QStringLiteral("GET"), QStringLiteral("/api/users/me"));
        }));
    };
    j.waiting = [this] { return loadingScreenShown(); };
    j.keepUsing = [this] { QVERIFY2(barSlides(), "the loading bar stands still"); };
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
    j.arrive = [this] { atSignIn(); };
    j.trigger = [this] {
        inject(QStringLiteral("POST"), QStringLiteral("/api/auth/login"));
        app.press(Qt::Key_Return);
    };
    j.waiting = [this] {
        return app.screen() == u"login" &&
               shown(app.visibleItem(QStringLiteral("signInProgress"))) &&
               !app.visibleItem(QStringLiteral("signInButton"));
    };
    // The password field still takes keys while the sign-in is out.
    j.keepUsing = [this] {
        app.type(QStringLiteral("x"));
        SOON(loginEntryText("passwordField") == QStringLiteral("studentx"));
        app.press(Qt::Key_Backspace);
        SOON(loginEntryText("passwordField") == QStringLiteral("student"));
        QVERIFY(barSlides());
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
        if (m_kind == Kind::hang) {
            // The button stays hidden while the sign-in is out: the user starts over.
            QVERIFY(app.relaunch());
            QVERIFY(app.waitForScreen(QStringLiteral("login")));
            QVERIFY(app.fillSignIn(QStringLiteral("student")));
            app.press(Qt::Key_Return);
            return;
        }
        app.click(app.visibleItem(QStringLiteral("signInButton")));
    };
    return j;
}

// The preferences read right after signing in. A failure leaves the application offline for
// the rest of the run; the next start, still signed in, reads them again.
ScreenLoad TestFaults::preferences() {
    ScreenLoad j;
    j.arrive = [this] { atSignIn(); };
    j.trigger = [this] {
        inject(QStringLiteral("POST"), QStringLiteral("/api/storage/get"));
        app.press(Qt::Key_Return);
        QVERIFY(AppDriver::waitFor(
            [&] { return root() && root()->co()->appState() == CO::appStates::home; }, 5000));
    };
    j.waiting = [this] { return loadingScreenShown(); };
    j.keepUsing = [this] { QVERIFY2(barSlides(), "the loading bar stands still"); };
    j.failed = [this] {
        QQuickItem* text = app.visibleItem(QStringLiteral("offlineText"));
        return app.screen() == u"offline" && text &&
               text->property("text").toString() == u"offline";
    };
    // Values of the wrong type read as their defaults.
    j.wrongShape = [this] {
        if (app.screen() != u"home")
            return false;
        const QVariantMap settings = root()->preferences()->settings();
        return settings.value(QStringLiteral("settings__theme")).toString() == u"system" &&
               settings.value(QStringLiteral("settings__accent_color_string")).toString() ==
                   u"blue" &&
               settings.value(QStringLiteral("settings__current_lesson")) == true &&
               settings.value(QStringLiteral("settings__next_lesson")) == true;
    };
    j.loaded = [this] { return atHome(); };
    j.recover = [this] { QVERIFY(app.relaunch()); };
    return j;
}

// ---- the timetable ----

// A week that is not stored waits with its progress bar while paging goes on; one that fails
// offers a retry. Coming back to the timetable shows the stored current week at once.
ScreenLoad TestFaults::week() {
    ScreenLoad j;
    j.arrive = [this] {
        startHome(QStringLiteral("student"), [this] { storeGroup(QStringLiteral("student")); });
        QVERIFY(timetableState() != u"modeRequired");
    };
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
        // Days can be picked and weeks paged while the week is out.
        const int day = (timetable()->selectedDay() + 2) % 6;
        app.press(Qt::Key_1 + day);
        SOON(timetable()->selectedDay() == day);
        const int offset = timetable()->weekOffset();
        app.press(Qt::Key_Left);
        QCOMPARE(timetable()->weekOffset(), offset - 1);
        app.press(Qt::Key_Right);
        QCOMPARE(timetable()->weekOffset(), offset);
        QVERIFY2(barSlides(), "the progress bar stands still");
        section(1);
        section(0);
        // A screen made anew opens on the current week, stored by then: shown at once.
        SOON(timetable()->isSheduleLoading() && timetableState() != u"failed");
    };
    j.failed = [this] {
        return timetableState() == u"failed" &&
               shown(app.visibleItem(QStringLiteral("retryButton")));
    };
    // A week without a lesson list is a week without lessons.
    j.wrongShape = [this] {
        return timetableState() == u"rest" &&
               showsText(app.visibleItem(QStringLiteral("restView")), QStringLiteral("Нет пар")) &&
               showsText(app.visibleItem(QStringLiteral("restView")), QStringLiteral("Отдыхайте"));
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

// ---- the work-mode screen ----

ScreenLoad TestFaults::workmodeList(const QString& path) {
    ScreenLoad j;
    j.arrive = [this] {
        startHome(QStringLiteral("student"));
        section(2);
    };
    j.trigger = [this, path] {
        inject(QStringLiteral("GET"), path);
        openMenuRow("workModeRow", QStringLiteral("Режим работы"));
    };
    j.waiting = [this] {
        return workmode() && workmode()->isLoading() &&
               shown(itemNamed(page(), QStringLiteral("loadingBar"))) &&
               !app.visibleItem(QStringLiteral("facultyPicker")) &&
               !app.visibleItem(QStringLiteral("teacherPicker"));
    };
    // The mode tiles answer while the lists are out.
    j.keepUsing = [this] {
        app.click(app.visibleItem(QStringLiteral("teacherTile")));
        SOON(workmode()->selectedMode() == 1);
        app.click(app.visibleItem(QStringLiteral("studentTile")));
        SOON(workmode()->selectedMode() == 0);
        QVERIFY2(barSlides(page()), "the progress bar stands still");
        reopenMenuRow("workModeRow", QStringLiteral("Режим работы"));
    };
    // A list of the wrong shape is an empty list: only "Не выбрано" to pick.
    j.wrongShape = [this, path] {
        if (!workmode() || workmode()->isLoading() ||
            !shown(app.visibleItem(QStringLiteral("facultyPicker"))))
            return false;
        return path == u"/api/teachers" ? workmode()->teachers()->count() == 1
                                        : workmode()->faculties()->count() == 1;
    };
    j.loaded = [this] {
        return workmode() && !workmode()->isLoading() &&
               shown(app.visibleItem(QStringLiteral("facultyPicker"))) &&
               workmode()->teachers()->count() > 1 && workmode()->faculties()->count() > 1;
    };
    j.recover = [this] { reopenMenuRow("workModeRow", QStringLiteral("Режим работы")); };
    return j;
}

// ---- news ----

// A failed list keeps the waiting view; showing the section again asks again.
ScreenLoad TestFaults::newsList() {
    ScreenLoad j;
    j.arrive = [this] { startHome(QStringLiteral("student")); };
    j.trigger = [this] {
        inject(QStringLiteral("GET"), QStringLiteral("/api/collections/site_news/records"));
        section(1);
    };
    j.waiting = [this] {
        QQuickItem* waiting = app.visibleItem(QStringLiteral("newsLoading"));
        return news() && news()->isLoading() &&
               showsText(waiting, QStringLiteral("Загрузка новостей")) &&
               !app.visibleItem(QStringLiteral("newsList"));
    };
    j.keepUsing = [this] {
        QVERIFY2(barSlides(), "the progress bar stands still");
        showNewsAgain();
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

// A news picture that cannot be had keeps its sliding placeholder.
ScreenLoad TestFaults::newsPictures() {
    ScreenLoad j;
    j.stallBlocksReshowing = true;
    j.arrive = [this] {
        startHome(QStringLiteral("student"));
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
    const auto placeholder = [this] {
        CachedAsyncImage* p = newsPicture();
        return p && !p->ready() &&
               shown(itemNamed(p->parentItem(), QStringLiteral("picturePlaceholder")));
    };
    j.waiting = [this, placeholder] { return placeholder() && newsPicture()->loading(); };
    j.keepUsing = [this] {
        CachedAsyncImage* p = newsPicture();
        QVERIFY2(barSlides(p->parentItem()), "the placeholder stands still");
        showNewsAgain();
        QVERIFY(AppDriver::waitFor([&] { return newsPicture(); }, 5000));
    };
    j.failed = [this, placeholder] { return placeholder() && !newsPicture()->loading(); };
    j.loaded = [this] { return newsPicture() && newsPicture()->ready(); };
    j.recover = [this] { showNewsAgain(); };
    return j;
}

// ---- devices ----

// Each block keeps its own progress bar when its request fails; the other one loads.
ScreenLoad TestFaults::deviceBlock(bool current) {
    ScreenLoad j;
    j.arrive = [this] {
        startHome(QStringLiteral("student"));
        section(2);
    };
    j.trigger = [this, current] {
        inject(QStringLiteral("GET"), current ? QStringLiteral("/api/sessions/current")
                                              : QStringLiteral("/api/users/sessions"));
        openMenuRow("devicesRow", QStringLiteral("Устройства"));
    };
    j.waiting = [this, current] {
        if (!devices())
            return false;
        return current ? devices()->myDeviceLoading() &&
                             shown(app.visibleItem(QStringLiteral("myDeviceLoading"))) &&
                             !app.visibleItem(QStringLiteral("myDeviceCard"))
                       : devices()->allDevicesLoading() &&
                             shown(app.visibleItem(QStringLiteral("allDevicesLoading")));
    };
    j.keepUsing = [this] {
        QVERIFY2(barSlides(page()), "the progress bar stands still");
        confirmationOpensAndCloses();
        reopenMenuRow("devicesRow", QStringLiteral("Устройства"));
    };
    // The other block is not held up by this one.
    j.failed = [this, current] {
        if (!devices())
            return false;
        return current ? devices()->myDeviceLoading() && !devices()->allDevicesLoading() &&
                             shown(app.visibleItem(QStringLiteral("myDeviceLoading")))
                       : devices()->allDevicesLoading() && !devices()->myDeviceLoading() &&
                             shown(app.visibleItem(QStringLiteral("allDevicesLoading"))) &&
                             shown(app.visibleItem(QStringLiteral("myDeviceCard")));
    };
    j.wrongShape = [this, current] {
        if (!devicesLoaded())
            return false;
        if (!current)
            return devices()->allDevices().isEmpty() &&
                   !app.visibleItem(QStringLiteral("allDevicesLoading"));
        const session me = devices()->myDevice();
        return shown(app.visibleItem(QStringLiteral("myDeviceCard"))) && me.device_name.isEmpty() &&
               me.ip == u"0.0.0.0" && me.shownIcon() == u"questionmark.app";
    };
    j.loaded = [this] {
        return devicesLoaded() && !devices()->myDevice().device_name.isEmpty() &&
               !devices()->allDevices().isEmpty() &&
               shown(app.visibleItem(QStringLiteral("myDeviceCard")));
    };
    j.recover = [this] { reopenMenuRow("devicesRow", QStringLiteral("Устройства")); };
    return j;
}

// Sign-out ends in the sign-in screen whatever the service answers; the stored session goes.
ScreenLoad TestFaults::signOut() {
    ScreenLoad j;
    j.arrive = [this] {
        startHome(QStringLiteral("student"));
        section(2);
        openMenuRow("devicesRow", QStringLiteral("Устройства"));
        SOON(devicesLoaded());
    };
    j.trigger = [this] {
        inject(QStringLiteral("POST"), QStringLiteral("/api/auth/logout"));
        signOutFromDevices();
    };
    j.waiting = [this] { return app.screen() == u"home" && app.title() == u"Устройства"; };
    j.keepUsing = [this] { confirmationOpensAndCloses(); };
    j.failed = [this] {
        return app.screen() == u"login" && app.storedAccess().isEmpty() &&
               app.storedRefresh().isEmpty() &&
               shown(app.visibleItem(QStringLiteral("loginField")));
    };
    j.logsFailure = false;
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

// ---- no service at start-up ----

// The service down at start-up (its port closed): not the sign-in form but the offline screen,
// which says why, counts down and shows the week stored at the last start, pageable; Enter and
// the button try at once, and once the service is back the window gets in by itself.
void TestFaults::startUpWithServiceDown() {
    m_row = QStringLiteral("start-up-service-down");
    const auto normalSeconds = qScopeGuard([] { OfflineRetry::setSecondMs(1000); });
    OfflineRetry::setSecondMs(60000); // the countdown stands still until the window is checked
    QVERIFY(app.startSignedIn(QStringLiteral("student"), [this] { storeGroup("student"); }));
    QVERIFY(app.waitForScreen(QStringLiteral("home")) && app.timetableSettled());
    app.stopService();
    QVERIFY(app.relaunch());
    step(QStringLiteral("offline"));
    QVERIFY(app.waitForScreen(QStringLiteral("offline")));
    QVERIFY(app.waitForVisible(QStringLiteral("retryButton")));
    QVERIFY(!app.visibleItem(QStringLiteral("loginField")));
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
    auto* stored = app.waitForVisible(QStringLiteral("storedTimetable"))
                       ->property("model")
                       .value<ScheduleScreenModel*>();
    // It reads the store once shown, on the next turn of the loop.
    SOON(stored->screenState() == u"lessons" || stored->screenState() == u"rest");
    QVERIFY(stored->freshness().startsWith(QStringLiteral("Нет связи с сервером · данные от ")));
    app.press(Qt::Key_Left);
    QCOMPARE(stored->weekOffset(), -1);
    QCOMPARE(stored->screenState(), QStringLiteral("notStored"));
    app.press(Qt::Key_Right);
    QVERIFY(app.visibleItem(QStringLiteral("storedTimetable")));
    snap();

    OfflineRetry* retry = root()->co()->offlineRetry();
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
