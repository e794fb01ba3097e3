// The whole application, started as the program starts it, against an in-process stand-in on
// a free port. Tests drive its one window with real key and mouse events and find items by
// their object names.
#pragma once
#include "StallMeter.h"
#include "StandinServer.h"

#include <QImage>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <functional>
#include <memory>

class CoordinatorModel;
class GlobalHomeModel;
class ScheduleScreenModel;

class AppDriver {
  public:
    // `journey` names this run's pictures. Nothing starts until start().
    explicit AppDriver(QString journey);
    ~AppDriver();

    // Starts a new stand-in (closing any window and stand-in of an earlier start), forgets any
    // stored session and any kept picture, opens the window. The stall meter runs from here on.
    bool start(QSize size = {1100, 760});
    // The same, but with a session of `login` stored as an earlier run would have left it, so
    // the window opens signed in. `prepare` runs first, with the window not yet open: faults
    // and stored values set there meet the very first requests.
    bool startSignedIn(const QString& login, const std::function<void()>& prepare = {},
                       QSize size = {1100, 760});
    // Runs `then` once, at the moment the application next enters the signed-in state: after
    // the start-up check or sign-in, before any signed-in screen has asked for anything.
    void whenSignedIn(std::function<void()> then) { m_whenSignedIn = std::move(then); }
    // Restarts the stand-in while the window stays open, as a service going down and up again:
    // every request still waiting for an answer ends as a dropped connection, faults are gone,
    // and the service is back at the same address with the same accounts and sessions.
    bool restartService();
    // Stops the stand-in, as a service going down: requests meet a closed port until
    // restartService() brings it back.
    void stopService() { m_server.reset(); }
    // Closes the window and ends its engine, as quitting does; the stand-in stays.
    void quit();
    // Opens the window again on the same stand-in and token file, as the next launch does.
    bool relaunch(QSize size = {1100, 760});

    standin::Server& server() { return *m_server; }
    QQuickWindow* window() const { return m_window; }
    CoordinatorModel* root() const;
    QString screen() const; // "loading", "login", "home", "offline"
    // The signed-in screen's model; the timetable's while it is the section shown. Null when
    // there is none.
    GlobalHomeModel* home() const;
    ScheduleScreenModel* timetable() const;
    bool waitForScreen(const QString& name, int timeoutMs = 10000) const;

    // The first item named `name` in the window (visible ones first); null when none.
    QQuickItem* item(const QString& name) const;
    QQuickItem* visibleItem(const QString& name) const;
    QQuickItem* waitForVisible(const QString& name, int timeoutMs = 10000) const;
    QList<QQuickItem*> items(const QString& name) const;

    // The signed-in screen's stack of pushed screens, its title and the screen on top.
    QQuickItem* navigation() const { return item(QStringLiteral("homeNavigation")); }
    QString title() const;
    QQuickItem* page() const;
    // The screen titled `title` has slid fully in; null when it does not within five seconds.
    QQuickItem* arrived(const QString& title) const;
    // The back button, and the stack down to its first screen again.
    bool back();
    // The timetable shows lessons, a day of rest or asks for a work mode.
    bool timetableSettled() const;
    // The timetable settled with lessons shown. Today, which the timetable opens on, may be a
    // day without lessons in the demo week: then the first day of the week that has some is
    // chosen. False when the week has none at all.
    bool showsLessons() const;
    QString stored(const QString& login, const char* key) const;

    // Opens the option picker named `picker` with the mouse and returns its sheet once it has
    // slid in; null when it does not open. The sheet is made for each opening and goes when it
    // closes.
    QObject* openPicker(const QString& picker);
    // The shown option row of an open picker whose name reads `text`.
    QQuickItem* shownOption(const QString& text) const;

    void click(QQuickItem* item, Qt::MouseButton button = Qt::LeftButton);
    void clickAt(QQuickItem* item, QPointF local, Qt::MouseButton button = Qt::LeftButton);
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Any text, Cyrillic included, into whatever has the keyboard.
    void type(const QString& text);
    // The sign-in form filled in by mouse and keys with `login`, whose password is the same; not
    // sent. False when the login field does not take the keyboard.
    bool fillSignIn(const QString& login);
    // Presses the open confirmation's confirm button once it has faded in, after a picture
    // named `step` when one is given. False when no confirmation shows.
    bool confirm(const QString& step = {});

    // Lets transitions end (`settleMs`), then saves the window to the artefacts as
    // "journey-<journey>-<nn>-<step>.png" and returns it.
    QImage picture(const QString& step, int settleMs = 350);
    // No picture in the window is still loading.
    bool picturesArrived(int timeoutMs = 10000) const;

    // Runs the event loop, as the application's own loop runs it, until `condition` holds or
    // the time is up. QTest's waits sleep between turns, which holds up every answer the
    // window is waiting for by a sleep per step.
    static bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000);
    // Runs the event loop for `ms`.
    static void pause(int ms);

    StallMeter& stalls() { return m_stalls; }
    // The stored session as the token file holds it.
    QString storedAccess() const;
    QString storedRefresh() const;

  private:
    bool serve();
    bool open(QSize size);
    QString m_journey;
    int m_pictures = 0;
    std::function<void()> m_whenSignedIn;
    QTemporaryDir m_data; // the stand-in's database files; outlives the stand-in
    int m_services = 0;
    standin::Options m_options;
    std::unique_ptr<standin::Server> m_server;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow* m_window = nullptr;
    StallMeter m_stalls;
};
