// The whole application, started as the program starts it, against an in-process stand-in on
// a free port, driven by real key and mouse events; items are found by their object names.
#pragma once
#include "QmlScene.h"
#include "StallMeter.h"
#include "StandinServer.h"
#include "TestSupport.h"
#include "TokenStore.h"

#include <QImage>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
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

    // A new stand-in, no stored session, pictures or weeks, then the window and stall meter.
    bool start(QSize size = {1100, 760}) { return serve(size) && open(); }
    // The same with a session of `login` stored. `prepare` runs before the window opens:
    // faults and stored values set there meet the first requests.
    bool startSignedIn(const QString& login, const std::function<void()>& prepare = {});
    // The service down and up again at the same address while the window stays: answers still
    // out end as dropped connections, faults go, accounts and sessions stay.
    bool restartService();
    void stopService() { m_server.reset(); }
    void quit(); // the window and its engine end; the stand-in stays
    bool relaunch() {
        quit();
        return open();
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

    // The first item named `name` (visible ones first); null when none.
    QQuickItem* item(const QString& name) const;
    QQuickItem* visibleItem(const QString& name) const;
    QQuickItem* waitForVisible(const QString& name, int timeoutMs = 10000) const;
    QList<QQuickItem*> items(const QString& name) const {
        return m_window ? itemsNamed(m_window->contentItem(), name) : QList<QQuickItem*>();
    }

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
    // Lessons shown, on the week's first day with lessons when today has none.
    bool showsLessons() const;
    QString stored(const QString& login, const char* key) const {
        return m_server->storage(login, QString::fromLatin1(key)).toString();
    }

    // Opens a picker with the mouse: its sheet once slid in, or null; and a shown option row.
    QObject* openPicker(const QString& picker);
    QQuickItem* shownOption(const QString& text) const;

    void clickAt(QQuickItem* item, QPointF local, Qt::MouseButton button = Qt::LeftButton);
    void click(QQuickItem* item, Qt::MouseButton button = Qt::LeftButton) {
        clickAt(item, QPointF(item->width() / 2, item->height() / 2), button);
    }
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(m_window, Qt::Key(key), modifiers);
    }
    void type(const QString& text) { typeText(*m_window, text); } // Cyrillic included
    // The sign-in form filled in (not sent) with `login`, whose password is the same; false
    // when the login field does not take the keyboard.
    bool fillSignIn(const QString& login);
    // Presses the open confirmation's button once faded in, after a picture named `step`.
    bool confirm(const QString& step = {});

    // After `settleMs` for transitions, the window saved to the artefacts.
    QImage picture(const QString& step, int settleMs = 350);
    // No picture in the window is still loading.
    bool picturesArrived(int timeoutMs = 10000) const;

    // Turns the event loop, as the application's own loop does, until `condition` holds or the
    // time is up: QTest's waits sleep between turns, holding up every answer by a sleep.
    static bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000) {
        return detail::spinUntil(condition, timeoutMs);
    }
    static void pause(int ms) { QTest::qWait(ms); }

    StallMeter& stalls() { return m_stalls; }
    QString storedAccess() const { return token(TokenStore::accessKey); }
    QString storedRefresh() const { return token(TokenStore::refreshKey); }

  private:
    static QString token(const char* key) {
        return TokenStore().read(QString::fromLatin1(key)).value_or(QString());
    }
    bool serve(QSize size = {1100, 760});
    bool open();
    QString m_journey;
    QSize m_size;
    int m_pictures = 0;
    QTemporaryDir m_data; // the stand-in's database files; outlives the stand-in
    int m_services = 0;
    standin::Options m_options;
    std::unique_ptr<standin::Server> m_server;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow* m_window = nullptr;
    StallMeter m_stalls;
};
