// The whole application, started as the program starts it, against an in-process stand-in on
// a free port, driven by real key and mouse events; items are found by their object names.
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
    ~AppDriver() { quit(); }

    // A new stand-in (ending any earlier window and stand-in), no stored session, pictures or
    // weeks, then the window. The stall meter runs from here on.
    bool start(QSize size = {1100, 760}) { return serve() && open(size); }
    // The same with a session of `login` stored, so the window opens signed in. `prepare` runs
    // before the window opens: faults and stored values set there meet the first requests.
    bool startSignedIn(const QString& login, const std::function<void()>& prepare = {},
                       QSize size = {1100, 760});
    // The service going down and up again while the window stays: answers still out end as
    // dropped connections, faults go, accounts and sessions stay at the same address.
    bool restartService();
    // The service down: requests meet a closed port until restartService().
    void stopService() { m_server.reset(); }
    // Closes the window and ends its engine, as quitting does; the stand-in stays.
    void quit();
    // The next launch: the window again on the same stand-in and token file.
    bool relaunch(QSize size = {1100, 760}) {
        quit();
        return open(size);
    }

    standin::Server& server() { return *m_server; }
    QQuickWindow* window() const { return m_window; }
    CoordinatorModel* root() const;
    QString screen() const; // "loading", "login", "home", "offline"
    // The signed-in screen's model, and the timetable's while it is shown; null when none.
    GlobalHomeModel* home() const;
    ScheduleScreenModel* timetable() const;
    bool waitForScreen(const QString& name, int timeoutMs = 10000) const {
        return waitFor([&] { return screen() == name; }, timeoutMs);
    }

    // The first item named `name` in the window (visible ones first); null when none.
    QQuickItem* item(const QString& name) const;
    QQuickItem* visibleItem(const QString& name) const;
    QQuickItem* waitForVisible(const QString& name, int timeoutMs = 10000) const;
    QList<QQuickItem*> items(const QString& name) const;

    // The signed-in screen's stack of pushed screens, its title and the screen on top.
    QQuickItem* navigation() const { return item(QStringLiteral("homeNavigation")); }
    QString title() const {
        return navigation() ? navigation()->property("currentTitle").toString() : QString();
    }
    QQuickItem* page() const {
        return navigation() ? navigation()->property("currentItem").value<QQuickItem*>() : nullptr;
    }
    // The screen titled `title` once it has slid fully in; null after five seconds.
    QQuickItem* arrived(const QString& title) const;
    // The back button, and the stack down to its first screen again.
    bool back();
    // The timetable shows lessons, a day of rest or asks for a work mode.
    bool timetableSettled() const;
    // The timetable settled with lessons shown, on the week's first day with lessons when today
    // has none; false when the week has none.
    bool showsLessons() const;
    QString stored(const QString& login, const char* key) const;

    // Opens the option picker named `picker` with the mouse; its sheet once slid in (made for
    // each opening), or null.
    QObject* openPicker(const QString& picker);
    // The shown option row of an open picker whose name reads `text`.
    QQuickItem* shownOption(const QString& text) const;

    void click(QQuickItem* item, Qt::MouseButton button = Qt::LeftButton);
    void clickAt(QQuickItem* item, QPointF local, Qt::MouseButton button = Qt::LeftButton);
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Any text, Cyrillic included, into whatever has the keyboard.
    void type(const QString& text);
    // The sign-in form filled in (not sent) with `login`, whose password is the same; false
    // when the login field does not take the keyboard.
    bool fillSignIn(const QString& login);
    // Presses the open confirmation's confirm button once faded in, after a picture named
    // `step` if given; false when no confirmation shows.
    bool confirm(const QString& step = {});

    // After `settleMs` for transitions, the window saved to the artefacts as
    // "journey-<journey>-<nn>-<step>.png".
    QImage picture(const QString& step, int settleMs = 350);
    // No picture in the window is still loading.
    bool picturesArrived(int timeoutMs = 10000) const;

    // Turns the event loop, as the application's own loop does, until `condition` holds or the
    // time is up: QTest's waits sleep between turns, holding up every answer by a sleep.
    static bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000);
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
    QTemporaryDir m_data; // the stand-in's database files; outlives the stand-in
    int m_services = 0;
    standin::Options m_options;
    std::unique_ptr<standin::Server> m_server;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow* m_window = nullptr;
    StallMeter m_stalls;
};
