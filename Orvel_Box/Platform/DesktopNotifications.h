#pragma once
#include <QObject>
#include <QString>

// Desktop notifications through the freedesktop notification service on the session bus.
// Sending never waits for the service: the call is queued and its answer only looked at for a
// failure, which is reported once (one log line) and otherwise ignored, as is a missing bus.
class DesktopNotifications : public QObject {
    Q_OBJECT
  public:
    static inline const QString service = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString path = QStringLiteral("/org/freedesktop/Notifications");
    // The name and icon the launcher entry gives the application.
    static inline const QString appName = QStringLiteral("Orvel Box");
    static inline const QString appIcon = QStringLiteral("org.orvelbox.OrvelBox");

    using QObject::QObject;

    void send(const QString& title, const QString& body);

  private:
    void reportOnce(const QString& reason);

    bool m_reported = false;
};
