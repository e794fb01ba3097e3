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

// A body that can be read once. Qt resends a request by itself when a kept-alive connection
// closes before any answer, POSTs included; a body it cannot rewind (and is told not to
// buffer) makes it give up with ContentReSendError instead, so a request that changes
// something (a refresh token that the service rotates, above all) reaches the service once.
class OneShotBody : public QIODevice {
  public:
    OneShotBody(QByteArray data, QObject* parent) : QIODevice(parent), m_data(std::move(data)) {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    bool reset() override { return false; }
    qint64 bytesAvailable() const override {
        return m_data.size() - m_read + QIODevice::bytesAvailable();
    }

  protected:
    qint64 readData(char* out, qint64 max) override {
        const qint64 n = qMin(max, qint64(m_data.size()) - m_read);
        memcpy(out, m_data.constData() + m_read, size_t(n));
        m_read += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

  private:
    QByteArray m_data;
    qint64 m_read = 0;
};

bool idempotent(const QByteArray& method) {
    return method != "POST" && method != "PUT" && method != "PATCH" && method != "DELETE";
}

QNetworkReply* start(QNetworkAccessManager* nam, QNetworkRequest request, const QByteArray& method,
                     const std::optional<QByteArray>& body) {
    if (!body)
        return method == "GET" ? nam->get(request) : nam->sendCustomRequest(request, method);
    if (idempotent(method))
        return nam->sendCustomRequest(request, method, *body);
    // The same length header Qt gives a buffered body, so the service sees the same request.
    request.setHeader(QNetworkRequest::ContentLengthHeader, body->size());
    request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
    auto* device = new OneShotBody(*body, nullptr);
    QNetworkReply* reply = nam->sendCustomRequest(request, method, device);
    device->setParent(reply);
    return reply;
}

ApiError transportFailure(QNetworkReply* reply) {
    const auto e = reply->error();
    // Qt's word for "the connection closed before any answer, and I would have sent it again".
    if (e == QNetworkReply::ContentReSendError)
        return ApiError::transport(int(QNetworkReply::RemoteHostClosedError),
                                   QStringLiteral("Connection closed"));
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
    QNetworkReply* sent = start(nam, request, method, body);
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
    if (isTransportLevel(error) || error == QNetworkReply::ContentReSendError ||
        (!status.isValid() && error != QNetworkReply::NoError))
        co_return transportFailure(reply);
    if (!status.isValid())
        co_return ApiError::of(OrvelApiError::invalidResponse);
    co_return HttpAnswer{status.toInt(), reply->readAll(), reply->rawHeaderPairs()};
}
