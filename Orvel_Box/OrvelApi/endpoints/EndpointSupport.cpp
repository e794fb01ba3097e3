#include "EndpointSupport.h"
#include "OrvelApi.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>

QString OrvelApi::queryEscape(const QString& text) {
    // Letters, digits and "-._~" are never encoded by toPercentEncoding; the rest of the kept
    // set is listed here.
    return QString::fromLatin1(text.toUtf8().toPercentEncoding("!$&'()*+,;=:@/?"));
}

QString endpoint::pageQuery(int limit, int offset, const std::optional<QString>& search) {
    QString q =
        QStringLiteral("?limit=") + decimal(limit) + QStringLiteral("&offset=") + decimal(offset);
    if (search)
        q += QStringLiteral("&search=") + OrvelApi::queryEscape(*search);
    return q;
}

bool OrvelApi::serialisable(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Undefined:
        return false;
    case QJsonValue::Double:
        return std::isfinite(value.toDouble());
    case QJsonValue::Array: {
        const QJsonArray a = value.toArray();
        return std::all_of(a.begin(), a.end(), [](const QJsonValue& v) { return serialisable(v); });
    }
    case QJsonValue::Object: {
        const QJsonObject o = value.toObject();
        return std::all_of(o.begin(), o.end(), [](const QJsonValue& v) { return serialisable(v); });
    }
    default:
        return true;
    }
}

QCoro::Task<ApiResult> OrvelApi::refuse(ApiError error) {
    co_return error;
}

QCoro::Task<ApiResult> OrvelApi::withoutBody(QString path, QString method) {
    return request(std::move(path), std::move(method), std::nullopt,
                   QStringLiteral("application/json"), false);
}

QCoro::Task<ApiResult> OrvelApi::sendJson(QString path, QString method, QJsonObject body) {
    if (!serialisable(body))
        return refuse(ApiError::of(OrvelApiError::invalidParams));
    return jsonRequest(std::move(path), std::move(method), std::move(body));
}

QCoro::Task<ApiResult> OrvelApi::sendWithRefreshToken(QString path, QJsonObject body) {
    if (!m_refreshToken)
        return refuse(ApiError::of(OrvelApiError::refreshFailed));
    body.insert(QStringLiteral("refresh_token"), *m_refreshToken);
    return sendJson(std::move(path), endpoint::kPost, std::move(body));
}
