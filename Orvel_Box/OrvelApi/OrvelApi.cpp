#include "OrvelApi.h"

#include "Log.h"
#include "Transport.h"

#include <QJsonDocument>
#include <QNetworkRequest>
#include <QUrl>

namespace {
QString trimSlashes(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && s.at(b) == u'/')
        ++b;
    while (e > b && s.at(e - 1) == u'/')
        --e;
    return s.mid(b, e - b);
}
} // namespace

OrvelApi::OrvelApi(const QString& baseURL, std::optional<QString> accessToken,
                   std::optional<QString> refreshToken, TokenUpdate onTokenUpdate,
                   LogoutCallback onLogout, QObject* parent)
    : QObject(parent), m_baseUrl(trimSlashes(baseURL)), m_onTokenUpdate(std::move(onTokenUpdate)),
      m_onLogout(std::move(onLogout)), m_session(Transport::shared()) {
    setAccessToken(std::move(accessToken));
    setRefreshToken(std::move(refreshToken));
}

void OrvelApi::setAccessToken(std::optional<QString> t) {
    if (t)
        Log::addSecret(*t);
    m_accessToken = std::move(t);
}

void OrvelApi::setRefreshToken(std::optional<QString> t) {
    if (t)
        Log::addSecret(*t);
    m_refreshToken = std::move(t);
}

QString OrvelApi::offlineDescription() {
    return QStringLiteral("The Internet connection appears to be offline.");
}

QCoro::Task<OrvelApi::SendResult> OrvelApi::send(QString path, QString method,
                                                 std::optional<QByteArray> body,
                                                 std::optional<QString> contentType,
                                                 bool skipAuth) {
    QNetworkRequest req(QUrl(m_baseUrl + path, QUrl::TolerantMode));
    req.setTransferTimeout(m_timeoutMs);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                     QNetworkRequest::SameOriginRedirectPolicy);
    if (contentType)
        req.setRawHeader("Content-Type", contentType->toUtf8());
    if (!skipAuth && m_accessToken)
        req.setRawHeader("Authorization", "Bearer " + m_accessToken->toUtf8());

    QPointer<OrvelApi> self(this);
    // A bodiless call still hands over an (empty) body: the service's requests have always gone
    // out as custom requests with upload data, and the service sees them that way.
    SendResult sent =
        co_await Transport::send(m_session, req, method.toLatin1(), body.value_or(QByteArray()),
                                 Transport::Logging::requestLine);
    if (!self)
        co_return ApiError::clientGone();
    // The service client words "no network" its own way in every log line and on the start-up
    // check's screen; the other fetch paths keep the toolkit's text.
    if (!sent.ok() && sent.error().isOffline())
        co_return ApiError::transport(sent.error().transportCode, offlineDescription(),
                                      ApiError::Cause::offline);
    co_return sent;
}

ApiResult OrvelApi::judge(int status, const QByteArray& data) {
    QJsonParseError perr{};
    const QJsonDocument doc = QJsonDocument::fromJson(data, &perr);
    const bool isObject = perr.error == QJsonParseError::NoError && doc.isObject();
    if (status < 400) {
        if (!isObject)
            return ApiError::of(OrvelApiError::invalidResponse);
        return doc.object();
    }
    if (isObject) {
        const QJsonObject o = doc.object();
        const QJsonValue e = o.value(QStringLiteral("error"));
        if (!o.isEmpty() && e.isString())
            return ApiError::api(e.toString(), status);
    }
    return ApiError::http(status);
}

void OrvelApi::dropTokens() {
    ++m_tokenDrops;
    m_accessToken.reset();
    m_refreshToken.reset();
    if (m_onLogout)
        m_onLogout();
}

QCoro::Task<ApiResult> OrvelApi::request(QString path, QString method,
                                         std::optional<QByteArray> body,
                                         std::optional<QString> contentType, bool skipAuth) {
    QPointer<OrvelApi> self(this);
    const quint64 generation = m_signInGeneration;
    SendResult first = co_await send(path, method, body, contentType, skipAuth);
    if (!first.ok())
        co_return first.error();

    // A 401 to a request sent in an earlier session (someone signed in while it was out) says
    // nothing about the current one: renewing the new tokens for it, and repeating it in the
    // new session's name, would let a stale sign-out end the new session.
    if (first.value().status == 401 && m_refreshToken && !skipAuth &&
        m_signInGeneration == generation) {
        const VoidResult refreshed = co_await refreshTokens();
        if (!self)
            co_return ApiError::clientGone();
        // A session begun while this was out is not this request's to end.
        if (!refreshed.ok()) {
            if (m_signInGeneration == generation)
                dropTokens();
            co_return refreshed.error();
        }
        const SendResult second = co_await send(path, method, body, contentType, skipAuth);
        if (!self)
            co_return ApiError::clientGone();
        if (!second.ok()) {
            if (m_signInGeneration == generation)
                dropTokens();
            co_return second.error();
        }
        co_return judge(second.value().status, second.value().data);
    }
    co_return judge(first.value().status, first.value().data);
}

QCoro::Task<VoidResult> OrvelApi::refreshTokens() {
    if (m_refresh.isRefreshing) {
        const std::optional<ApiError> outcome = co_await m_refresh.wait();
        if (outcome)
            co_return *outcome;
        co_return Done{};
    }
    m_refresh.isRefreshing = true;

    QPointer<OrvelApi> self(this);
    auto fail = [this](const ApiError& e) -> VoidResult {
        m_refresh.failRefresh(e);
        dropTokens();
        return e;
    };

    if (!m_refreshToken)
        co_return fail(ApiError::of(OrvelApiError::refreshFailed));
    const QByteArray body =
        QJsonDocument(QJsonObject{{QStringLiteral("refresh_token"), *m_refreshToken}})
            .toJson(QJsonDocument::Compact);
    const quint64 generation = m_signInGeneration;
    const quint64 drops = m_tokenDrops;
    const SendResult sent =
        co_await send(QStringLiteral("/api/auth/refresh"), QStringLiteral("POST"), body,
                      QStringLiteral("application/json"), true);
    if (!self)
        co_return ApiError::clientGone();
    // Signed out (and perhaps in again) while the refresh was out: whatever it brought back
    // belongs to a pair that is gone. Storing it would revive that session, or leave an empty
    // refresh token for the next start to send.
    if (m_tokenDrops != drops || m_signInGeneration != generation) {
        const ApiError gone = ApiError::of(OrvelApiError::refreshFailed);
        m_refresh.failRefresh(gone);
        co_return gone;
    }
    if (!sent.ok())
        co_return fail(sent.error());

    // The status is deliberately not examined: any answer carrying a new access token counts.
    QJsonParseError perr{};
    const QJsonDocument doc = QJsonDocument::fromJson(sent.value().data, &perr);
    const QJsonObject o = doc.object();
    const QJsonValue access = o.value(QStringLiteral("access_token"));
    if (perr.error != QJsonParseError::NoError || !doc.isObject() || o.isEmpty() ||
        !access.isString())
        co_return fail(ApiError::of(OrvelApiError::refreshFailed));

    const QJsonValue newRefresh = o.value(QStringLiteral("refresh_token"));
    const QString refresh =
        newRefresh.isString() ? newRefresh.toString() : m_refreshToken.value_or(QString());
    setAccessToken(access.toString());
    setRefreshToken(refresh);
    if (m_onTokenUpdate)
        m_onTokenUpdate(access.toString(), refresh);
    m_refresh.completeRefresh();
    co_return Done{};
}

QCoro::Task<void> OrvelApi::logout() {
    QPointer<OrvelApi> self(this);
    const quint64 generation = m_signInGeneration;
    (void)co_await request(QStringLiteral("/api/auth/logout"), QStringLiteral("POST"), std::nullopt,
                           QStringLiteral("application/json"), false);
    // A request that stalled can end long after the user signed out another way and signed in
    // again: the tokens are the new session's then, not this one's to drop.
    if (!self || m_signInGeneration != generation)
        co_return;
    dropTokens();
}

QCoro::Task<ApiResult> OrvelApi::jsonRequest(QString path, QString method, QJsonObject body) {
    return request(std::move(path), std::move(method),
                   QJsonDocument(body).toJson(QJsonDocument::Compact),
                   QStringLiteral("application/json"), false);
}
