#include "DeviceInfo.h"
#include "EndpointSupport.h"
#include "JsonRead.h"
#include "OrvelApi.h"

#include <QJsonDocument>

using namespace endpoint;

namespace {
// Only spaces and tabs: a line break the user typed is part of the login and stays.
QString trimSpacesAndTabs(const QString& s) {
    auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    qsizetype b = 0, e = s.size();
    while (b < e && blank(s.at(b)))
        ++b;
    while (e > b && blank(s.at(e - 1)))
        --e;
    return s.mid(b, e - b);
}
} // namespace

QCoro::Task<ApiResult> OrvelApi::login(QString username, QString password,
                                       std::optional<QString> deviceName,
                                       std::optional<QString> deviceType) {
    const QJsonObject body{
        {QStringLiteral("username"), trimSpacesAndTabs(username)},
        {QStringLiteral("password"), password},
        {QStringLiteral("device_name"),
         deviceName ? *deviceName
                    : DeviceInfo::deviceMarketingName(DeviceInfo::deviceModelIdentifier())},
        {QStringLiteral("device_type"), deviceType.value_or(QStringLiteral("desktop"))}};
    QPointer<OrvelApi> self(this);
    ApiResult answer = co_await request(QStringLiteral("/api/auth/login"), kPost,
                                        QJsonDocument(body).toJson(QJsonDocument::Compact),
                                        QStringLiteral("application/json"), true);
    if (!answer.ok() || !self)
        co_return answer;

    // A member that is missing or not text clears its token rather than keeping the old one.
    const std::optional<QString> access = Json::text(answer.value().value(u"access_token"));
    const std::optional<QString> refresh = Json::text(answer.value().value(u"refresh_token"));
    setAccessToken(access);
    setRefreshToken(refresh);
    ++m_signInGeneration;
    if (m_onTokenUpdate)
        m_onTokenUpdate(access.value_or(QStringLiteral("")), refresh);
    co_return answer;
}

QCoro::Task<ApiResult> OrvelApi::getMe() {
    return withoutBody(QStringLiteral("/api/users/me"));
}

QCoro::Task<ApiResult> OrvelApi::updateMe(std::optional<QString> displayName,
                                          std::optional<QString> firstname,
                                          std::optional<QString> lastname,
                                          std::optional<QString> bio) {
    QJsonObject body;
    putIf(body, QStringLiteral("display_name"), displayName);
    putIf(body, QStringLiteral("firstname"), firstname);
    putIf(body, QStringLiteral("lastname"), lastname);
    putIf(body, QStringLiteral("bio"), bio);
    return sendJson(QStringLiteral("/api/users/me"), kPatch, body);
}

QCoro::Task<ApiResult> OrvelApi::deleteAvatar() {
    return withoutBody(QStringLiteral("/api/users/me/avatar"), kDelete);
}

QCoro::Task<ApiResult> OrvelApi::getSessions() {
    return withoutBody(QStringLiteral("/api/users/sessions"));
}

QCoro::Task<ApiResult> OrvelApi::getCurrentSession() {
    return withoutBody(QStringLiteral("/api/sessions/current"));
}

QCoro::Task<ApiResult> OrvelApi::revokeSession(qint64 sessionId) {
    return sendJson(QStringLiteral("/api/users/sessions/revoke"), kPost,
                    {{QStringLiteral("session_id"), sessionId}});
}

QCoro::Task<ApiResult> OrvelApi::revokeAllSessions() {
    return withoutBody(QStringLiteral("/api/users/sessions/revoke-all"), kPost);
}
