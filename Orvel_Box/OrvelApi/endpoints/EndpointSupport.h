#pragma once
// Small pieces the endpoint families share when composing paths and bodies.
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace endpoint {

inline const QString kPost = QStringLiteral("POST");
inline const QString kPatch = QStringLiteral("PATCH");
inline const QString kDelete = QStringLiteral("DELETE");

// Plain decimal, "-" when negative.
inline QString decimal(qint64 value) {
    return QString::number(value);
}

// Adds `key` only when the optional argument was given.
template <class T>
void putIf(QJsonObject& body, const QString& key, const std::optional<T>& value) {
    if (value)
        body.insert(key, *value);
}

inline QJsonArray idArray(const QList<qint64>& ids) {
    QJsonArray out;
    for (qint64 id : ids)
        out.append(id);
    return out;
}

// "?limit=L&offset=O", then "&search=" + the escaped text when one is given.
QString pageQuery(int limit, int offset, const std::optional<QString>& search = std::nullopt);

} // namespace endpoint
