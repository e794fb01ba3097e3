#include "OrvelApi.h"

#include "Log.h"
#include "Transport.h"

#include <QCoroNetworkReply>
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

bool requestLogging() {
    static const bool on = qEnvironmentVariableIntValue("ORVEL_LOG_REQUESTS") == 1;
    return on;
}

// Failures that mean the machine has no usable network, as opposed to a service that is down.
bool isOffline(QNetworkReply::NetworkError e) {
    switch (e) {
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        return true;
    default:
        return false;
    }
}

QString transportDescription(QNetworkReply* reply) {
    const auto e = reply->error();
    if (isOffline(e))
        return OrvelApi::offlineDescription();
    // A transfer time-out surfaces as a cancellation; the client never cancels on its own.
    if (e == QNetworkReply::OperationCanceledError)
        return QStringLiteral("The request timed out.");
    return reply->errorString();
}

// Errors below 200 are connection, proxy and TLS failures: there is no usable HTTP answer even
// when a status line arrived before the connection broke. Higher codes (400 maps to a
// "protocol" error, for instance) come with a complete answer whose status decides.
bool isTransportLevel(QNetworkReply::NetworkError e) {
    return e > QNetworkReply::NoError && e < QNetworkReply::ContentAccessDenied;
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
                                                 std::optional<QString> contentType, bool skipAuth) {
    const QUrl url(m_baseUrl + path, QUrl::TolerantMode);
    if (!url.isValid() || url.isRelative())
        co_return ApiError::of(OrvelApiError::invalidURL);
    const QString scheme = url.scheme().toLower();
    // Only HTTP answers can be judged; other schemes (file:, data:) are never opened.
    if (scheme != u"http" && scheme != u"https")
        co_return ApiError::of(OrvelApiError::invalidResponse);
    if (url.host().isEmpty())
        co_return ApiError::of(OrvelApiError::invalidURL);

    QNetworkRequest req(url);
    req.setTransferTimeout(m_timeoutMs);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                     QNetworkRequest::SameOriginRedirectPolicy);
    if (contentType)
        req.setRawHeader("Content-Type", contentType->toUtf8());
    if (!skipAuth && m_accessToken)
        req.setRawHeader("Authorization", "Bearer " + m_accessToken->toUtf8());

    QPointer<OrvelApi> self(this);
    QNetworkReply* reply = m_session->sendCustomRequest(req, method.toLatin1(), body.value_or(QByteArray()));
    co_await qCoro(reply).waitForFinished(std::chrono::milliseconds(-1));
    reply->deleteLater();
    if (!self)
        co_return ApiError::transport(QNetworkReply::OperationCanceledError, QStringLiteral("cancelled"));

    const QVariant statusAttr = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const auto err = reply->error();
    if (requestLogging())
        Log::line(QStringLiteral("%1 %2 → %3").arg(method, url.path(),
                                                   statusAttr.isValid() ? statusAttr.toString()
                                                                        : QStringLiteral("failed")));
    if (isTransportLevel(err) || (!statusAttr.isValid() && err != QNetworkReply::NoError))
        co_return ApiError::transport(int(err), transportDescription(reply));
    if (!statusAttr.isValid())
        co_return ApiError::of(OrvelApiError::invalidResponse);
    co_return HttpAnswer{statusAttr.toInt(), reply->readAll()};
}

ApiResult OrvelApi::judge(const HttpAnswer& answer) {
    QJsonParseError perr{};
    const QJsonDocument doc = QJsonDocument::fromJson(answer.data, &perr);
    const bool isObject = perr.error == QJsonParseError::NoError && doc.isObject();
    if (answer.status < 400) {
        if (!isObject)
            return ApiError::of(OrvelApiError::invalidResponse);
        return doc.object();
    }
    if (isObject) {
        const QJsonObject o = doc.object();
        const QJsonValue e = o.value(QStringLiteral("error"));
        if (!o.isEmpty() && e.isString())
            return ApiError::api(e.toString(), answer.status);
    }
    return ApiError::http(answer.status);
}

void OrvelApi::dropTokens() {
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
    if (!self)
        co_return ApiError::of(OrvelApiError::invalidResponse);

    // A 401 to a request sent in an earlier session (someone signed in while it was out) says
    // nothing about the current one: renewing the new tokens for it, and repeating it in the
    // new session's name, would let a stale sign-out end the new session.
    if (first.value().status == 401 && m_refreshToken && !skipAuth &&
        m_signInGeneration == generation) {
        const VoidResult refreshed = co_await refreshTokens();
        if (!self)
            co_return ApiError::of(OrvelApiError::refreshFailed);
        if (!refreshed.ok()) {
            dropTokens();
            co_return refreshed.error();
        }
        const SendResult second = co_await send(path, method, body, contentType, skipAuth);
        if (!self)
            co_return ApiError::of(OrvelApiError::invalidResponse);
        if (!second.ok()) {
            dropTokens();
            co_return second.error();
        }
        co_return judge(second.value());
    }
    co_return judge(first.value());
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
    const QByteArray body = QJsonDocument(QJsonObject{{QStringLiteral("refresh_token"), *m_refreshToken}})
                                .toJson(QJsonDocument::Compact);
    const SendResult sent = co_await send(QStringLiteral("/api/auth/refresh"), QStringLiteral("POST"),
                                          body, QStringLiteral("application/json"), true);
    if (!self)
        co_return ApiError::of(OrvelApiError::refreshFailed);
    if (!sent.ok())
        co_return fail(sent.error());

    // The status is deliberately not examined: any answer carrying a new access token counts.
    QJsonParseError perr{};
    const QJsonDocument doc = QJsonDocument::fromJson(sent.value().data, &perr);
    const QJsonObject o = doc.object();
    const QJsonValue access = o.value(QStringLiteral("access_token"));
    if (perr.error != QJsonParseError::NoError || !doc.isObject() || o.isEmpty() || !access.isString())
        co_return fail(ApiError::of(OrvelApiError::refreshFailed));

    const QJsonValue newRefresh = o.value(QStringLiteral("refresh_token"));
    const QString refresh = newRefresh.isString() ? newRefresh.toString() : m_refreshToken.value_or(QString());
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
                   QJsonDocument(body).toJson(QJsonDocument::Compact), QStringLiteral("application/json"),
                   false);
}
