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
#include <memory>

class CoordinatorModel;

class AppDriver {
  public:
    // `journey` names this run's pictures. Nothing starts until start().
    explicit AppDriver(QString journey);
    ~AppDriver();

    // Starts the stand-in, forgets any stored session, opens the window. The stall meter runs
    // from here on.
    bool start(QSize size = {1100, 760});
    // Closes the window and ends its engine, as quitting does; the stand-in stays.
    void quit();
    // Opens the window again on the same stand-in and token file, as the next launch does.
    bool relaunch(QSize size = {1100, 760});

    standin::Server& server() { return *m_server; }
    QQuickWindow* window() const { return m_window; }
    CoordinatorModel* root() const;
    QString screen() const; // "loading", "login", "home", "offline"
    bool waitForScreen(const QString& name, int timeoutMs = 10000) const;

    // The first item named `name` in the window (visible ones first); null when none.
    QQuickItem* item(const QString& name) const;
    QQuickItem* visibleItem(const QString& name) const;
    QQuickItem* waitForVisible(const QString& name, int timeoutMs = 10000) const;
    QList<QQuickItem*> items(const QString& name) const;

    void click(QQuickItem* item, Qt::MouseButton button = Qt::LeftButton);
    void clickAt(QQuickItem* item, QPointF local, Qt::MouseButton button = Qt::LeftButton);
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Any text, Cyrillic included, into whatever has the keyboard.
    void type(const QString& text);

    // Lets transitions end, then saves the window to the artefacts as
    // "journey-<journey>-<nn>-<step>.png" and returns it.
    QImage picture(const QString& step);
    // No picture in the window is still loading.
    bool picturesArrived(int timeoutMs = 10000) const;

    StallMeter& stalls() { return m_stalls; }
    // The stored session as the token file holds it.
    QString storedAccess() const;
    QString storedRefresh() const;

  private:
    bool open(QSize size);
    QString m_journey;
    int m_pictures = 0;
    std::unique_ptr<standin::Server> m_server;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow* m_window = nullptr;
    StallMeter m_stalls;
};
