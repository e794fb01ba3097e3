#pragma once
#include <QJsonObject>
#include <QMetaType>
#include <QString>
#include <QtQml/qqmlregistration.h>

// One signed-in device of the account. Field names are the service's keys.
struct session {
    Q_GADGET
    QML_VALUE_TYPE(session)
    Q_PROPERTY(qint64 id MEMBER id)
    Q_PROPERTY(QString device_type MEMBER device_type)
    Q_PROPERTY(QString device_name MEMBER device_name)
    Q_PROPERTY(QString ip MEMBER ip)
    Q_PROPERTY(QString icon READ shownIcon)
  public:
    qint64 id = 0;
    QString device_type;
    QString device_name;
    qint64 last_used_at = 0;
    qint64 created_at = 0;
    QString ip = QStringLiteral("0.0.0.0");
    // Symbol for device_type; empty only in the placeholder, which is drawn as a globe.
    QString icon;

    QString shownIcon() const { return icon.isEmpty() ? QStringLiteral("globe") : icon; }

    // The record held until the current device is known; never drawn.
    static session placeholder();
    // The answer of "/api/sessions/current" describes this device: a missing name or type
    // stays empty. List entries fall back to "unknown".
    static session current(const QJsonObject& o);
    static session listed(const QJsonObject& o);
    // Exact match of the service's device types; anything else is a question mark.
    static QString iconFor(const QString& deviceType);

    friend bool operator==(const session&, const session&) = default;
};
