#include "ColorSchemePortal.h"

#include "Log.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace {
const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearance = QStringLiteral("org.freedesktop.appearance");
const QString colorScheme = QStringLiteral("color-scheme");

// Read wraps the value in one variant more than ReadOne does; either way, unwrap them all.
QVariant unwrapped(QVariant value) {
    for (int depth = 0; depth < 4; ++depth) {
        if (value.metaType() == QMetaType::fromType<QDBusVariant>())
            value = value.value<QDBusVariant>().variant();
        else if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
            QDBusVariant inner;
            value.value<QDBusArgument>() >> inner;
            value = inner.variant();
        } else
            break;
    }
    return value;
}
} // namespace

std::optional<bool> ColorSchemePortal::fromColorScheme(uint value) {
    switch (value) {
    case 1:
        return true;
    case 2:
        return false;
    default:
        return std::nullopt;
    }
}

ColorSchemePortal::ColorSchemePortal(QObject* parent) : QObject(parent) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        Log::line(Log::general(), QStringLiteral("Системная тема: нет сеансовой шины D-Bus"));
        m_settled = true;
        return;
    }
    bus.connect(service, path, settingsInterface, QStringLiteral("SettingChanged"), this,
                SLOT(onSettingChanged(QString, QString, QDBusVariant)));
    ask(QStringLiteral("ReadOne"));
}

void ColorSchemePortal::ask(const QString& method) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, settingsInterface, method);
    call << appearance << colorScheme;
    auto* watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(call, answerBoundMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, method] {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *watcher;
        if (reply.isError()) {
            // Older portals offer only Read.
            if (method == u"ReadOne" && reply.error().type() == QDBusError::UnknownMethod)
                return ask(QStringLiteral("Read"));
            Log::line(
                Log::general(),
                QStringLiteral("Системная тема: портал не ответил (%1)").arg(reply.error().name()));
        } else if (!m_settled) {
            apply(reply.argumentAt(0));
        }
        if (!m_settled) {
            m_settled = true;
            emit settled();
        }
    });
}

void ColorSchemePortal::onSettingChanged(const QString& group, const QString& key,
                                         const QDBusVariant& value) {
    if (group != appearance || key != colorScheme)
        return;
    apply(value.variant());
}

void ColorSchemePortal::apply(const QVariant& value) {
    const QVariant plain = unwrapped(value);
    bool ok = false;
    const uint scheme = plain.toUInt(&ok);
    const std::optional<bool> dark = ok ? fromColorScheme(scheme) : std::nullopt;
    if (dark == m_prefersDark)
        return;
    m_prefersDark = dark;
    emit changed();
}
