#include "Transport.h"

#include "Log.h"

#include <QCoreApplication>
#include <QCoroNetworkReply>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QPointer>

namespace {
class NoCookies : public QNetworkCookieJar {
  public:
    using QNetworkCookieJar::QNetworkCookieJar;
    bool setCookiesFromUrl(const QList<QNetworkCookie>&, const QUrl&) override { return false; }
    QList<QNetworkCookie> cookiesForUrl(const QUrl&) const override { return {}; }
};

bool requestLogging() {
    static const bool on = qEnvironmentVariableIntValue("ORVEL_LOG_REQUESTS") == 1;
    return on;
}

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

// Errors below 200 are connection, proxy and TLS failures: there is no usable HTTP answer even
// when a status line arrived before the connection broke (a body cut short must never pass
// for a whole one). Higher codes (400 maps to a "protocol" error, for instance) come with a
// complete answer whose status decides.
bool isTransportLevel(QNetworkReply::NetworkError e) {
    return e > QNetworkReply::NoError && e < QNetworkReply::ContentAccessDenied;
}

ApiError transportFailure(QNetworkReply* reply) {
    const auto e = reply->error();
    // A transfer time-out surfaces as a cancellation; the client never cancels on its own.
    const QString description = e == QNetworkReply::OperationCanceledError
                                    ? QStringLiteral("The request timed out.")
                                    : reply->errorString();
    return ApiError::transport(int(e), description,
                               isOffline(e) ? ApiError::Cause::offline : ApiError::Cause::other);
}
} // namespace

void Transport::refuseCookies(QNetworkAccessManager* nam) {
    nam->setCookieJar(new NoCookies(nam));
}

QNetworkAccessManager* Transport::shared() {
    static QNetworkAccessManager* nam = [] {
        auto* m = new QNetworkAccessManager(QCoreApplication::instance());
        refuseCookies(m);
        // Never forward the bearer token to another origin on a redirect.
        m->setRedirectPolicy(QNetworkRequest::SameOriginRedirectPolicy);
        return m;
    }();
    return nam;
}

std::optional<ApiError> Transport::refusal(const QUrl& url) {
    if (!url.isValid() || url.isRelative())
        return ApiError::of(OrvelApiError::invalidURL);
    const QString scheme = url.scheme().toLower();
    if (scheme != u"http" && scheme != u"https")
        return ApiError::of(OrvelApiError::invalidResponse);
    if (url.host().isEmpty())
        return ApiError::of(OrvelApiError::invalidURL);
    return std::nullopt;
}

QCoro::Task<Result<HttpAnswer>> Transport::send(QNetworkAccessManager* nam, QNetworkRequest request,
                                                QByteArray method, std::optional<QByteArray> body,
                                                Logging logging) {
    if (std::optional<ApiError> refused = refusal(request.url()))
        co_return *refused;
    QNetworkReply* sent = body              ? nam->sendCustomRequest(request, method, *body)
                          : method == "GET" ? nam->get(request)
                                            : nam->sendCustomRequest(request, method);
    const QPointer<QNetworkReply> reply(sent);
    co_await qCoro(sent).waitForFinished(std::chrono::milliseconds(-1));
    if (!reply)
        co_return ApiError::clientGone();
    reply->deleteLater();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const auto error = reply->error();
    if (logging == Logging::requestLine && requestLogging())
        Log::line(Log::api(),
                  QStringLiteral("%1 %2 → %3")
                      .arg(QString::fromLatin1(method), request.url().path(),
                           status.isValid() ? status.toString() : QStringLiteral("failed")));
    if (isTransportLevel(error) || (!status.isValid() && error != QNetworkReply::NoError))
        co_return transportFailure(reply);
    if (!status.isValid())
        co_return ApiError::of(OrvelApiError::invalidResponse);
    co_return HttpAnswer{status.toInt(), reply->readAll(), reply->rawHeaderPairs()};
}
