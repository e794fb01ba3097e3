#include "session.h"

#include "JsonRead.h"

#include <QHash>

namespace {
session fromMap(const QJsonObject& o, const QString& missing) {
    session s;
    s.id = Json::integer(o, QStringLiteral("id"));
    s.device_type = Json::text(o, QStringLiteral("device_type"), missing);
    s.device_name = Json::text(o, QStringLiteral("device_name"), missing);
    s.last_used_at = Json::integer(o, QStringLiteral("last_used_at"));
    s.created_at = Json::integer(o, QStringLiteral("created_at"));
    s.ip = Json::text(o, QStringLiteral("ip"), QStringLiteral("0.0.0.0"));
    s.icon = session::iconFor(s.device_type);
    return s;
}
} // namespace

session session::placeholder() {
    session s;
    s.device_type = QStringLiteral("ios");
    s.device_name = QStringLiteral("ios");
    return s;
}

session session::current(const QJsonObject& o) {
    return fromMap(o, {});
}

session session::listed(const QJsonObject& o) {
    return fromMap(o, QStringLiteral("unknown"));
}

QString session::iconFor(const QString& deviceType) {
    static const QHash<QString, QString> icons{
        {QStringLiteral("web"), QStringLiteral("globe")},
        {QStringLiteral("ios"), QStringLiteral("iphone")},
        {QStringLiteral("desktop"), QStringLiteral("macbook.gen1")},
        {QStringLiteral("pwa"), QStringLiteral("app.background.dotted")},
        {QStringLiteral("android"), QStringLiteral("iphone.gen1")},
    };
    return icons.value(deviceType, QStringLiteral("questionmark.app"));
}
