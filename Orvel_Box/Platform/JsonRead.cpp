#include "JsonRead.h"

#include <cmath>

std::optional<QString> Json::text(const QJsonValue& v) {
    if (v.isString())
        return v.toString();
    return std::nullopt;
}

std::optional<qint64> Json::integer(const QJsonValue& v) {
    if (v.isBool())
        return v.toBool() ? 1 : 0;
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    // 2^63 itself does not fit; anything below it in magnitude and integral does.
    if (!std::isfinite(d) || std::trunc(d) != d || d >= 9223372036854775808.0 ||
        d < -9223372036854775808.0)
        return std::nullopt;
    return qint64(d);
}

std::optional<double> Json::number(const QJsonValue& v) {
    if (v.isBool())
        return v.toBool() ? 1.0 : 0.0;
    if (v.isDouble())
        return v.toDouble();
    return std::nullopt;
}

std::optional<bool> Json::boolean(const QJsonValue& v) {
    if (v.isBool())
        return v.toBool();
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (d == 0.0)
            return false;
        if (d == 1.0)
            return true;
    }
    return std::nullopt;
}

std::optional<QStringList> Json::textList(const QJsonValue& v) {
    if (!v.isArray())
        return std::nullopt;
    QStringList out;
    for (const QJsonValue& e : v.toArray()) {
        if (!e.isString())
            return std::nullopt;
        out.append(e.toString());
    }
    return out;
}
