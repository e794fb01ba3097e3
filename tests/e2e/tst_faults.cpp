// Every load of every screen meeting a service that goes wrong, in the real window: an answer
// that comes late, one that never comes while the user goes on, a dropped connection, a 500, a
// body that is not JSON and JSON of the wrong shape. Each row checks that the window keeps
// answering while the fault lasts, shows the screen's own failure state afterwards, and comes
// back once the service is sound again. The event loop's longest stall is measured over all rows.
#include "AppDriver.h"
#include "CachedAsyncImage.h"
#include "CoordinatorModel.h"
#include "DevicescreenModel.h"
#include "GlobalHomeModel.h"
#include "NewsScreenModel.h"
#include "OptionFilterModel.h"
#include "QmlScene.h"
#include "ScheduleScreenModel.h"
#include "StandinSession.h"
#include "SystemColors.h"
#include "TeacherViewInfoModel.h"
#include "TestSupport.h"
#include "WorkmodeModel.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QQmlExpression>
#include <QScopeGuard>
#include <QtQml/qqmlextensionplugin.h>
#include <algorithm>

Q_IMPORT_QML_PLUGIN(OrvelBox_ControlsPlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_CorePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_TimetablePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_HomePlugin)

// QTRY_VERIFY without its sleeps between turns of the event loop.
#define SOON(condition) QVERIFY2(AppDriver::waitFor([&] { return bool(condition); }), #condition)

namespace {
enum class Kind { slow, hang, drop, status500, notJson, wrongShape };

const char* kindName(Kind kind) {
    static const char* const names[] = {"slow", "hang", "drop", "500", "not-json", "wrong-shape"};
    return names[int(kind)];
}

// Long enough to see the waiting state and use the window meanwhile.
constexpr int slowMs = 1200;
// Far beyond the test: the answer is never seen.
constexpr int hangMs = 10 * 60 * 1000;

// Every member a screen reads, each of a type it does not expect.
const QByteArray wrongShapeBody = R"({"success": "1", "access_token": 7, "refresh_token": [],
    "user": "student", "keys": {"key": "work_mode"}, "value": {"text": "student"},
    "settings__theme": 2, "settings__accent_color": ["red"], "settings__current_lesson": "false",
    "settings__next_lesson": null, "schedule": {"day": "Понедельник"}, "faculties": "all",
    "groups": 12, "teachers": {"name": "Иванов"}, "teacher": "Иванов", "items": {"title": "x"},
    "session": ["current"], "sessions": {"id": 1}})";

standin::Fault faultOf(Kind kind, bool picture) {
    switch (kind) {
    case Kind::slow:
        return fault::delayed(slowMs);
    case Kind::hang:
        return fault::delayed(hangMs);
    case Kind::drop:
        return fault::dropped();
    case Kind::status500:
        return fault::answer(500, "<html><body>Internal Server Error</body></html>", "text/html");
    case Kind::notJson:
        return fault::answer(200, "<html><body>Сервис на обслуживании</body></html>",
                             "text/html; charset=utf-8");
    case Kind::wrongShape:
        // A picture address answering with something that is not a picture.
        return picture ? fault::answer(200, R"({"picture": null})", "image/png")
                       : fault::answer(200, wrongShapeBody, "application/json");
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

// What one screen is, for the fault rows: how to get there, what starts its load, and what it
// shows while waiting, after a failure, after an answer of the wrong shape and once loaded.
struct ScreenLoad {
    std::function<void()> arrive;  // from nothing to just before the load
    std::function<void()> trigger; // starts the load (the faults are set by then)
    std::function<bool()> waiting; // no answer yet
    // The user goes on while the answer is out; `mayLeave` lets them leave the screen and come
    // back, which starts the same load again.
    std::function<void(bool mayLeave)> keepUsing;
    std::function<bool()> failed;
    std::function<bool()> wrongShape;
    std::function<bool()> loaded;
    std::function<void()> recover; // what brings the screen back once the service is sound
    // What must still hold when a stalled request ends at last, after the recovery; defaults
    // to loaded.
    std::function<bool()> stillShown = {};
    // A failure is written to the diagnostic log (sign-out swallows its failure).
    bool logsFailure = true;
    // A picture being fetched is shared by every view that shows it, so a stalled fetch holds
    // each new showing until it ends (its time-out, or the connection going).
    bool stallBlocksReshowing = false;
};
} // namespace

class TestFaults : public QObject {
    Q_OBJECT
    AppDriver app{QStringLiteral("faults")};
    Kind m_kind = Kind::slow;
    QString m_row;
    // The teacher whose card is opened and the day of their lesson.
    QString m_teacher;
    int m_day = 0;
    QString m_newsPicturePath;
    qint64 m_otherSession = 0;
    int m_writes = 0;

    // ---- the window ----
    GlobalHomeModel* home() const { return app.home(); }
    ScheduleScreenModel* timetable() const { return app.timetable(); }
    QString timetableState() const { return timetable() ? timetable()->screenState() : QString(); }
    CoordinatorModel* root() const { return app.root(); }
    QQuickItem* page() const { return app.page(); }
    template <class T> T* pageModel() const {
        return page() ? page()->property("model").value<T*>() : nullptr;
    }
    void back() { QVERIFY(app.back()); }
    void section(int index) {
        app.press(Qt::Key_1 + index, Qt::ControlModifier);
        const QString name =
            QStringList{QStringLiteral("timetableSection"), QStringLiteral("newsSection"),
                        QStringLiteral("menuSection")}
                .at(index);
        QVERIFY(app.waitForVisible(name));
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
    void inject(const QString& method, const QString& path, bool picture = false) {
        app.server().setFault(method, path, faultOf(m_kind, picture));
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
    // The teacher photos of the stored group's current week.
    QStringList weekPhotoPaths(const QString& login) {
        OrvelApi probe(app.server().baseUrl(), app.server().issueTokens(login), std::nullopt);
        const auto week = await(probe.getWeekSchedule(
            app.server().storage(login, QStringLiteral("faculty_name")).toString(),
            app.server().storage(login, QStringLiteral("group_name")).toString(), 0));
        QStringList paths;
        if (!week || !week->ok())
            return paths;
        for (const QJsonValue& lesson : week->value().value(QStringLiteral("schedule")).toArray()) {
            const QUrl photo(lesson.toObject().value(QStringLiteral("teacher_photo")).toString());
            if (photo.isValid() && !photo.path().isEmpty() && !paths.contains(photo.path()))
                paths.append(photo.path());
        }
        return paths;
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
    bool loadingScreenShown() const {
        return app.screen() == u"loading" &&
               shown(app.visibleItem(QStringLiteral("globalLoading")));
    }
    QString loginEntryText(const char* field) const {
        QQuickItem* entry =
            itemNamed(app.visibleItem(QString::fromLatin1(field)), QStringLiteral("entry"));
        return entry ? entry->property("text").toString() : QString();
    }
    // The lesson a teacher link belongs to.
    static Schedule lessonOf(QQuickItem* link) {
        for (QQuickItem* p = link; p; p = p->parentItem()) {
            const QVariant v = p->property("item");
            if (v.metaType() == QMetaType::fromType<Schedule>())
                return v.value<Schedule>();
        }
        return {};
    }
    // The shown link to the chosen teacher.
    QQuickItem* teacherLink() const {
        for (QQuickItem* link : app.items(QStringLiteral("teacherLink")))
            if (link->isVisible() && lessonOf(link).teacher == m_teacher)
                return link;
        return nullptr;
    }
    // Picks a day with a lesson linking to a teacher (one with a photo when `withPhoto`).
    bool chooseTeacher(bool withPhoto) {
        m_teacher.clear();
        for (int day = 0; day < 6; ++day) {
            app.press(Qt::Key_1 + day);
            if (!AppDriver::waitFor(
                    [&] { return timetable() && timetable()->selectedDay() == day; }, 1000))
                continue;
            AppDriver::pause(20);
            for (QQuickItem* link : app.items(QStringLiteral("teacherLink"))) {
                const Schedule lesson = lessonOf(link);
                if (!link->isVisible() || lesson.teacher.isEmpty() ||
                    (withPhoto && !lesson.teacher_photo.startsWith(u"http")))
                    continue;
                m_day = day;
                m_teacher = lesson.teacher;
                return true;
            }
        }
        return false;
    }
    void openTeacherCard() {
        if (timetable()->selectedDay() != m_day)
            app.press(Qt::Key_1 + m_day);
        QQuickItem* link = nullptr;
        QVERIFY(AppDriver::waitFor([&] { return (link = teacherLink()); }, 5000));
        app.click(link);
        QVERIFY(AppDriver::waitFor(
            [&] {
                return page() && page()->findChild<TeacherViewInfoModel*>() && page()->x() == 0;
            },
            5000));
    }
    // Back to the timetable, which loads its week again, and into the card once more.
    void reopenTeacherCard() {
        back();
        QVERIFY(app.timetableSettled());
        openTeacherCard();
    }
    TeacherViewInfoModel* card() const {
        return page() ? page()->findChild<TeacherViewInfoModel*>() : nullptr;
    }
    CachedAsyncImage* cardPhoto() const {
        CachedAsyncImage* photo = nullptr;
        if (QQuickItem* card = itemNamed(page(), QStringLiteral("teacherPage")))
            anyItem(card,
                    [&](QQuickItem* i) { return (photo = qobject_cast<CachedAsyncImage*>(i)); });
        return photo;
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
    void openMenuRow(const char* row, const QString& expectedTitle) {
        QQuickItem* r = app.waitForVisible(QString::fromLatin1(row));
        QVERIFY(r);
        app.click(r);
        QVERIFY(app.arrived(expectedTitle));
    }
    // Back to the menu and into the same row again: the screen is made anew and loads.
    void reopenMenuRow(const char* row, const QString& expectedTitle) {
        back();
        openMenuRow(row, expectedTitle);
    }
    DevicescreenModel* devices() const { return pageModel<DevicescreenModel>(); }
    bool devicesLoaded() const {
        return devices() && !devices()->myDeviceLoading() && !devices()->allDevicesLoading();
    }
    WorkmodeModel* workmode() const { return pageModel<WorkmodeModel>(); }
    void chooseOption(const QString& picker, const QString& name) {
        QPointer<QObject> sheet = app.openPicker(picker);
        QVERIFY(sheet);
        QQuickItem* row = app.shownOption(name);
        QVERIFY(row);
        app.click(row);
        SOON(!sheet || !sheet->property("visible").toBool());
    }
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
    QString stored(const char* login, const char* key) {
        return app.stored(QString::fromLatin1(login), key);
    }

    // ---- the screens ----
    ScreenLoad startUp();
    ScreenLoad signIn();
    ScreenLoad preferences();
    ScreenLoad week(bool teacher);
    ScreenLoad workmodeList(const QString& path);
    ScreenLoad groupList();
    ScreenLoad teacherCard();
    ScreenLoad teacherPhoto();
    ScreenLoad newsList();
    ScreenLoad newsPictures();
    ScreenLoad account();
    ScreenLoad deviceBlock(bool current);
    ScreenLoad settingsWrite();
    ScreenLoad revoke();
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
    j.arrive();
    if (QTest::currentTestFailed())
        return;
    step(QStringLiteral("fault"));
    const qsizetype logged = log.lines.size();
    j.trigger();
    if (QTest::currentTestFailed())
        return;
    const auto failureLogged = [&] { return !j.logsFailure || log.lines.size() > logged; };

    switch (m_kind) {
    case Kind::slow:
    case Kind::hang:
        QVERIFY2(j.waiting(), "not waiting for the answer");
        j.keepUsing(m_kind == Kind::hang);
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(j.waiting(), "stopped waiting before an answer came");
        snap();
        if (m_kind == Kind::slow) {
            QVERIFY2(AppDriver::waitFor(j.loaded, slowMs + 10000), "the late answer was not shown");
            return;
        }
        break;
    case Kind::drop:
    case Kind::status500:
    case Kind::notJson:
        QVERIFY2(AppDriver::waitFor([&] { return failureLogged() && j.failed(); }, 10000),
                 "the failure state was not shown");
        // Nothing comes afterwards to change it.
        AppDriver::pause(50);
        QVERIFY2(j.failed(), "the failure state did not last");
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
        {"group-week", [](TestFaults* t) { return t->week(false); }},
        {"teacher-week", [](TestFaults* t) { return t->week(true); }},
        {"teacher-list", [](TestFaults* t) { return t->workmodeList("/api/teachers"); }},
        {"faculty-list", [](TestFaults* t) { return t->workmodeList("/api/schedule/faculties"); }},
        {"group-list", [](TestFaults* t) { return t->groupList(); }},
        {"teacher-card", [](TestFaults* t) { return t->teacherCard(); }},
        {"teacher-photo", [](TestFaults* t) { return t->teacherPhoto(); }},
        {"news-list", [](TestFaults* t) { return t->newsList(); }},
        {"news-picture", [](TestFaults* t) { return t->newsPictures(); }},
        {"account", [](TestFaults* t) { return t->account(); }},
        {"current-device", [](TestFaults* t) { return t->deviceBlock(true); }},
        {"session-list", [](TestFaults* t) { return t->deviceBlock(false); }},
        {"settings-write", [](TestFaults* t) { return t->settingsWrite(); }},
        {"session-revoke", [](TestFaults* t) { return t->revoke(); }},
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
        for (int kind = 0; kind <= int(Kind::wrongShape); ++kind)
            QTest::addRow("%s %s", screen, kindName(Kind(kind))) << i << kind;
    }
}

void TestFaults::everyScreenMeetsEveryFault() {
    QFETCH(int, screen);
    QFETCH(int, kind);
    m_kind = Kind(kind);
    m_row = QLatin1String(screens().at(screen).first) + QLatin1Char('-') +
            QLatin1String(kindName(m_kind));
    app.whenSignedIn({}); // left over by a row that failed before signing in
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
    j.arrive = [] {};
    j.trigger = [this] {
        QVERIFY(app.startSignedIn(QStringLiteral("student"), [this] {
            inject(QStringLiteral("GET"), QStringLiteral("/api/users/me"));
        }));
    };
    j.waiting = [this] { return loadingScreenShown(); };
    j.keepUsing = [this](bool) { QVERIFY2(barSlides(), "the loading bar stands still"); };
    j.failed = [this] {
        const bool unanswered = m_kind == Kind::drop;
        return app.screen() == (unanswered ? u"offline" : u"login") &&
               shown(app.visibleItem(unanswered ? QStringLiteral("retryButton")
                                                : QStringLiteral("loginField"))) &&
               !app.storedAccess().isEmpty();
    };
    // The answer is not looked at: any object means the session is good.
    j.wrongShape = [this] { return app.screen() == u"home"; };
    j.loaded = [this] { return app.screen() == u"home" && timetable(); };
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
    j.keepUsing = [this](bool) {
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
    j.wrongShape = j.failed;
    j.loaded = [this] { return app.screen() == u"home" && timetable(); };
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
    j.keepUsing = [this](bool) { QVERIFY2(barSlides(), "the loading bar stands still"); };
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
    j.loaded = [this] { return app.screen() == u"home" && timetable(); };
    j.recover = [this] { QVERIFY(app.relaunch()); };
    return j;
}

// ---- the timetable ----

// A week that is not stored waits with its progress bar while paging goes on; one that fails
// offers a retry. Coming back to the timetable shows the stored current week at once.
ScreenLoad TestFaults::week(bool teacher) {
    const QString login = teacher ? QStringLiteral("teacher") : QStringLiteral("student");
    ScreenLoad j;
    j.arrive = [this, login, teacher] {
        startHome(login, [this, login, teacher] {
            if (!teacher)
                storeGroup(login);
        });
        QVERIFY(timetableState() != u"modeRequired");
    };
    j.trigger = [this, teacher] {
        inject(QStringLiteral("GET"), teacher ? QStringLiteral("/api/teachers/%1/schedule")
                                                    .arg(standin::Server::demoTeacherName())
                                              : QStringLiteral("/api/schedule/week"));
        app.press(Qt::Key_Left);
        SOON(timetableState() == QStringLiteral("loading"));
    };
    // Still asking: with the progress bar, or with the stored week on screen.
    j.waiting = [this] {
        return timetable() && timetable()->isSheduleLoading() && timetableState() != u"failed";
    };
    j.keepUsing = [this](bool mayLeave) {
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
        if (mayLeave) {
            section(1);
            section(0);
            // A screen made anew opens on the current week, stored by then: shown at once.
            SOON(timetable()->isSheduleLoading() && timetableState() != u"failed");
        }
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
    j.keepUsing = [this](bool mayLeave) {
        app.click(app.visibleItem(QStringLiteral("teacherTile")));
        SOON(workmode()->selectedMode() == 1);
        app.click(app.visibleItem(QStringLiteral("studentTile")));
        SOON(workmode()->selectedMode() == 0);
        QVERIFY2(barSlides(page()), "the progress bar stands still");
        if (mayLeave)
            reopenMenuRow("workModeRow", QStringLiteral("Режим работы"));
    };
    j.failed = j.waiting;
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

// The groups of a faculty the user picks. A failure leaves no group picker and no save button;
// picking the faculty again asks again.
ScreenLoad TestFaults::groupList() {
    const QString faculty = standin::Server::facultyNames().at(1);
    ScreenLoad j;
    j.arrive = [this] {
        startHome(QStringLiteral("student"));
        section(2);
        openMenuRow("workModeRow", QStringLiteral("Режим работы"));
        SOON(!workmode()->isLoading());
    };
    j.trigger = [this, faculty] {
        inject(QStringLiteral("GET"), QStringLiteral("/api/schedule/groups"));
        chooseOption(QStringLiteral("facultyPicker"), faculty);
        SOON(workmode()->selectedFaculty() != -1);
    };
    j.waiting = [this] {
        return workmode() && workmode()->selectedFaculty() != -1 && !workmode()->groupsOpened() &&
               !app.visibleItem(QStringLiteral("groupPicker")) &&
               !app.visibleItem(QStringLiteral("saveButton"));
    };
    j.keepUsing = [this](bool) {
        app.click(app.visibleItem(QStringLiteral("teacherTile")));
        QVERIFY(app.waitForVisible(QStringLiteral("teacherPicker")));
        app.click(app.visibleItem(QStringLiteral("studentTile")));
        QVERIFY(app.waitForVisible(QStringLiteral("facultyPicker")));
    };
    j.failed = j.waiting;
    j.wrongShape = [this] {
        return workmode() && workmode()->groupsOpened() &&
               shown(app.visibleItem(QStringLiteral("groupPicker"))) &&
               workmode()->groups()->count() == 1 && !app.visibleItem(QStringLiteral("saveButton"));
    };
    j.loaded = [this] {
        return workmode() && workmode()->groupsOpened() &&
               shown(app.visibleItem(QStringLiteral("groupPicker"))) &&
               workmode()->groups()->count() > 1;
    };
    j.recover = [this, faculty] { chooseOption(QStringLiteral("facultyPicker"), faculty); };
    return j;
}

// ---- the teacher card ----

// A look-up that fails keeps the card's progress bar; opening the card again looks again.
ScreenLoad TestFaults::teacherCard() {
    ScreenLoad j;
    j.arrive = [this] {
        startHome(QStringLiteral("student"), [this] { storeGroup(QStringLiteral("student")); });
        QVERIFY(chooseTeacher(false));
    };
    j.trigger = [this] {
        inject(QStringLiteral("GET"), QStringLiteral("/api/teachers/") + m_teacher);
        openTeacherCard();
    };
    j.waiting = [this] {
        return card() && card()->isLoading() &&
               !shown(itemNamed(page(), QStringLiteral("teacherPage")));
    };
    j.keepUsing = [this](bool mayLeave) {
        QVERIFY2(barSlides(page()), "the progress bar stands still");
        if (mayLeave)
            reopenTeacherCard();
    };
    j.failed = j.waiting;
    // No teacher object: a card with empty texts and the placeholder photo.
    j.wrongShape = [this] {
        return card() && !card()->isLoading() &&
               shown(itemNamed(page(), QStringLiteral("teacherPage"))) &&
               card()->displayName().isEmpty() && cardPhoto() && !cardPhoto()->ready();
    };
    j.loaded = [this] {
        return card() && !card()->isLoading() && !card()->displayName().isEmpty() &&
               shown(itemNamed(page(), QStringLiteral("teacherPage")));
    };
    j.recover = [this] { reopenTeacherCard(); };
    return j;
}

// The photo keeps its placeholder when it cannot be had; the card shows everything else.
ScreenLoad TestFaults::teacherPhoto() {
    ScreenLoad j;
    j.stallBlocksReshowing = true;
    j.arrive = [this] {
        // The lesson cards show the same photos, so the fault is there before they load.
        startHome(QStringLiteral("student"), [this] {
            storeGroup(QStringLiteral("student"));
            const QStringList paths = weekPhotoPaths(QStringLiteral("student"));
            QVERIFY(!paths.isEmpty());
            for (const QString& path : paths)
                inject(QStringLiteral("GET"), path, true);
        });
        QVERIFY(chooseTeacher(true));
    };
    j.trigger = [this] {
        openTeacherCard();
        SOON(card() && !card()->isLoading());
    };
    j.waiting = [this] {
        return shown(itemNamed(page(), QStringLiteral("teacherPage"))) && cardPhoto() &&
               !cardPhoto()->ready() && cardPhoto()->loading();
    };
    // The rest of the card is there meanwhile, and the user can leave it and come back.
    j.keepUsing = [this](bool) {
        QVERIFY(!card()->displayName().isEmpty());
        reopenTeacherCard();
        SOON(card() && !card()->isLoading());
    };
    j.failed = [this] {
        return shown(itemNamed(page(), QStringLiteral("teacherPage"))) &&
               !card()->displayName().isEmpty() && cardPhoto() && !cardPhoto()->ready() &&
               !cardPhoto()->loading();
    };
    j.wrongShape = j.failed;
    j.loaded = [this] {
        return shown(itemNamed(page(), QStringLiteral("teacherPage"))) && cardPhoto() &&
               cardPhoto()->ready();
    };
    j.recover = [this] { reopenTeacherCard(); };
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
    j.keepUsing = [this](bool mayLeave) {
        QVERIFY2(barSlides(), "the progress bar stands still");
        if (mayLeave) {
            section(0);
            section(1);
        }
    };
    j.failed = j.waiting;
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
    j.recover = [this] {
        section(0);
        section(1);
    };
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
        inject(QStringLiteral("GET"), m_newsPicturePath, true);
        section(1);
        QVERIFY(AppDriver::waitFor([&] { return newsPicture(); }, 5000));
    };
    const auto placeholder = [this] {
        CachedAsyncImage* p = newsPicture();
        return p && !p->ready() &&
               shown(itemNamed(p->parentItem(), QStringLiteral("picturePlaceholder")));
    };
    j.waiting = [this, placeholder] { return placeholder() && newsPicture()->loading(); };
    j.keepUsing = [this](bool mayLeave) {
        CachedAsyncImage* p = newsPicture();
        QVERIFY2(barSlides(p->parentItem()), "the placeholder stands still");
        if (mayLeave) {
            section(0);
            section(1);
            QVERIFY(AppDriver::waitFor([&] { return newsPicture(); }, 5000));
        }
    };
    j.failed = [this, placeholder] { return placeholder() && !newsPicture()->loading(); };
    j.wrongShape = j.failed;
    j.loaded = [this] { return newsPicture() && newsPicture()->ready(); };
    j.recover = [this] {
        section(0);
        section(1);
    };
    return j;
}

// ---- the menu's account ----

// The home screen's own account fetch fails while the session check passed: the menu keeps its
// progress bar until home is shown again (back from a pushed screen).
ScreenLoad TestFaults::account() {
    ScreenLoad j;
    j.arrive = [] {};
    j.trigger = [this] {
        app.whenSignedIn(
            [this] { inject(QStringLiteral("GET"), QStringLiteral("/api/users/me")); });
        startHome(QStringLiteral("student"), [this] { storeGroup(QStringLiteral("student")); });
        section(2);
    };
    j.waiting = [this] {
        return home() && home()->meInformationLoading() &&
               shown(app.visibleItem(QStringLiteral("menuLoading"))) &&
               !app.visibleItem(QStringLiteral("workModeRow"));
    };
    j.keepUsing = [this](bool) {
        QVERIFY2(barSlides(), "the progress bar stands still");
        section(0);
        section(2);
    };
    j.failed = j.waiting;
    // An account record without a user object: the rows, an empty name, a bare "@".
    j.wrongShape = [this] {
        QQuickItem* name = app.visibleItem(QStringLiteral("profileName"));
        QQuickItem* login = app.visibleItem(QStringLiteral("profileLogin"));
        return home() && !home()->meInformationLoading() &&
               shown(app.visibleItem(QStringLiteral("workModeRow"))) && name && login &&
               name->property("text").toString().isEmpty() &&
               login->property("text").toString() == u"@";
    };
    j.loaded = [this] {
        QQuickItem* name = app.visibleItem(QStringLiteral("profileName"));
        return home() && !home()->meInformationLoading() &&
               shown(app.visibleItem(QStringLiteral("workModeRow"))) && name &&
               !name->property("text").toString().isEmpty();
    };
    j.recover = [this] {
        section(0);
        QVERIFY(chooseTeacher(false));
        openTeacherCard();
        back();
        section(2);
    };
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
    j.keepUsing = [this](bool mayLeave) {
        QVERIFY2(barSlides(page()), "the progress bar stands still");
        confirmationOpensAndCloses();
        if (mayLeave)
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

// Ending another device's session. A failed revoke leaves both blocks waiting until the screen
// is opened again.
ScreenLoad TestFaults::revoke() {
    ScreenLoad j;
    const auto revokeOther = [this] {
        QQuickItem* card = app.waitForVisible(QStringLiteral("session-%1").arg(m_otherSession));
        QVERIFY(card);
        QQuickItem* button = itemNamed(card, QStringLiteral("revokeButton"));
        QVERIFY(button);
        app.click(button);
        QVERIFY(app.confirm());
    };
    const auto listed = [this] {
        const QList<session>& all = devices()->allDevices();
        return std::any_of(all.begin(), all.end(),
                           [&](const session& s) { return s.id == m_otherSession; });
    };
    j.arrive = [this] {
        startHome(QStringLiteral("student"));
        // A second device of the same account.
        app.server().issueTokens(QStringLiteral("student"));
        section(2);
        openMenuRow("devicesRow", QStringLiteral("Устройства"));
        SOON(devicesLoaded());
        m_otherSession = 0;
        for (const session& s : devices()->allDevices())
            if (s.id != devices()->myDevice().id)
                m_otherSession = s.id;
        QVERIFY(m_otherSession);
    };
    j.trigger = [this, revokeOther] {
        inject(QStringLiteral("POST"), QStringLiteral("/api/users/sessions/revoke"));
        revokeOther();
    };
    j.waiting = [this] {
        return devices() && devices()->myDeviceLoading() && devices()->allDevicesLoading() &&
               shown(app.visibleItem(QStringLiteral("myDeviceLoading"))) &&
               shown(app.visibleItem(QStringLiteral("allDevicesLoading")));
    };
    j.keepUsing = [this](bool) {
        QVERIFY2(barSlides(page()), "the progress bar stands still");
        confirmationOpensAndCloses();
    };
    j.failed = j.waiting;
    // Whatever the answer said, the revoke went through as far as the screen knows: it loads
    // again, and the stand-in (which never saw the request) still lists the session.
    j.wrongShape = [this, listed] { return devicesLoaded() && listed(); };
    j.loaded = [this, listed] { return devicesLoaded() && !listed(); };
    j.recover = [this, revokeOther] {
        reopenMenuRow("devicesRow", QStringLiteral("Устройства"));
        SOON(devicesLoaded());
        revokeOther();
    };
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
    j.keepUsing = [this](bool) { confirmationOpensAndCloses(); };
    j.failed = [this] {
        return app.screen() == u"login" && app.storedAccess().isEmpty() &&
               app.storedRefresh().isEmpty() &&
               shown(app.visibleItem(QStringLiteral("loginField")));
    };
    j.wrongShape = j.failed;
    j.logsFailure = false;
    const auto signedInAgain = [this] {
        return app.screen() == u"home" && !app.storedAccess().isEmpty() && timetable();
    };
    j.loaded = [this, signedInAgain] {
        return (m_kind == Kind::slow ? app.screen() == u"login" && app.storedAccess().isEmpty()
                                     : signedInAgain());
    };
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

// ---- settings ----

// A preference that cannot be stored still applies for this run; nothing is shown.
ScreenLoad TestFaults::settingsWrite() {
    ScreenLoad j;
    j.arrive = [this] {
        startHome(QStringLiteral("student"));
        section(2);
        openMenuRow("settingsRow", QStringLiteral("Настройки"));
    };
    j.trigger = [this] {
        inject(QStringLiteral("POST"), QStringLiteral("/api/storage/set"));
        m_writes = app.server().count(QStringLiteral("POST"), QStringLiteral("/api/storage/set"));
        app.click(app.waitForVisible(QStringLiteral("theme2")));
    };
    const auto darkNow = [this] {
        const QImage frame = app.window()->grabWindow();
        const QColor dark = *SystemColors::named(u"systemBackground", true);
        return home() && home()->preferredScheme() == u"dark" &&
               frame.pixelColor(frame.width() - 3, frame.height() / 2).rgb() == dark.rgb();
    };
    j.waiting = [this, darkNow] {
        return stored("student", "settings__theme") != u"dark" && darkNow();
    };
    // The theme picker answers while the write is out.
    j.keepUsing = [this](bool) {
        app.click(app.waitForVisible(QStringLiteral("theme1")));
        SOON(home()->preferredScheme() == QStringLiteral("light"));
        app.click(app.waitForVisible(QStringLiteral("theme2")));
        SOON(home()->preferredScheme() == QStringLiteral("dark"));
    };
    j.failed = j.waiting;
    // Taken for a stored value; the stand-in, whose answer it was not, has none.
    j.wrongShape = [this, darkNow] {
        return app.server().count(QStringLiteral("POST"), QStringLiteral("/api/storage/set")) >
                   m_writes &&
               stored("student", "settings__theme") != u"dark" && darkNow();
    };
    j.loaded = [this] {
        return stored("student", "settings__theme") == u"dark" ||
               stored("student", "settings__accent_color") == u"red";
    };
    j.recover = [this] { app.click(app.waitForVisible(QStringLiteral("swatch-red"))); };
    j.stillShown = [this, darkNow] {
        return darkNow() && root()->preferences()
                                    ->settings()
                                    .value(QStringLiteral("settings__accent_color_string"))
                                    .toString() == u"red";
    };
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
    QVERIFY(stored->screenState() == u"lessons" || stored->screenState() == u"rest");
    QVERIFY(stored->freshness().startsWith(QStringLiteral("Нет связи с сервером · данные от ")));
    app.press(Qt::Key_Left);
    QCOMPARE(stored->weekOffset(), -1);
    QCOMPARE(stored->screenState(), QStringLiteral("notStored"));
    app.press(Qt::Key_Right);
    QVERIFY(app.visibleItem(QStringLiteral("storedTimetable")));
    QQuickItem* view = app.item(QStringLiteral("coordinator"));
    for (const char* scheme : {"dark", "light", ""}) {
        QQmlExpression(qmlContext(view), view,
                       QStringLiteral("Theme.preferredScheme = \"%1\"").arg(scheme))
            .evaluate();
        if (*scheme)
            app.picture(QStringLiteral("offline-") + QLatin1String(scheme));
    }

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
