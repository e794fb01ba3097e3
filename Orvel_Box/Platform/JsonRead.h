#pragma once
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <optional>

// Typed readers for loosely typed service data. They never fail: a value of the wrong kind
// reads as absent (or the given default). Rules: text reads only from JSON strings; booleans
// and numbers share one numeric kind (true reads as the integer 1, the numbers 0 and 1 read as
// booleans); a number with a fraction, or one outside the 64-bit range, is not an integer.
namespace Json {
std::optional<QString> text(const QJsonValue& v);
std::optional<qint64> integer(const QJsonValue& v);
std::optional<double> number(const QJsonValue& v);
std::optional<bool> boolean(const QJsonValue& v);

inline QString text(const QJsonObject& o, const QString& key, const QString& def = {}) {
    return text(o.value(key)).value_or(def);
}
inline qint64 integer(const QJsonObject& o, const QString& key, qint64 def = 0) {
    return integer(o.value(key)).value_or(def);
}
inline bool boolean(const QJsonObject& o, const QString& key, bool def = false) {
    return boolean(o.value(key)).value_or(def);
}
inline QJsonObject object(const QJsonObject& o, const QString& key) {
    return o.value(key).toObject();
}
inline QJsonArray array(const QJsonObject& o, const QString& key) {
    return o.value(key).toArray();
}
// A list of texts; std::nullopt when the value is not an array or any element is not text.
std::optional<QStringList> textList(const QJsonValue& v);
} // namespace Json
