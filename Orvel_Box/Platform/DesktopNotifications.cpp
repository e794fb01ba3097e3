#include "DesktopNotifications.h"

#include "Log.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

void DesktopNotifications::send(const QString& title, const QString& body) {
    // Connecting happens on the first use, so a program that never notifies never touches the
    // bus.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return reportOnce(QStringLiteral("нет сеансовой шины D-Bus"));
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, service, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), appIcon}};
    call << appName << uint(0) << appIcon << title << body << QStringList() << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isError())
            reportOnce(reply.error().name());
    });
}

void DesktopNotifications::reportOnce(const QString& reason) {
    if (m_reported)
        return;
    m_reported = true;
    Log::line(Log::general(), QStringLiteral("Уведомления недоступны: %1").arg(reason));
}
