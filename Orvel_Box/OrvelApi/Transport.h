#pragma once
#include "OrvelApiError.h"

#include <QByteArray>
#include <QCoroTask>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <optional>

// An HTTP answer that came back whole, whatever its status.
struct HttpAnswer {
    int status = 0;
    QByteArray data;
    QList<QNetworkReply::RawHeaderPair> headers;
};

// The one place requests go out and replies are classified. Each caller brings its own network
// manager and sets its own policies (time-out, redirects, cache) on the request; the service
// client's manager is shared() and keeps no cookies and no cache, so nothing but what the
// client sets explicitly travels with a request.
namespace Transport {
QNetworkAccessManager* shared();
// Makes `nam` refuse and never send cookies (the API session and the picture cache both use it).
void refuseCookies(QNetworkAccessManager* nam);

// Why `url` is never opened: invalidURL for no absolute address with a host, invalidResponse
// for a scheme other than HTTP(S) (file: and data: answers cannot be judged). Empty when fine.
std::optional<ApiError> refusal(const QUrl& url);

// Whether the exchange writes its line to the log when ORVEL_LOG_REQUESTS=1.
enum class Logging { quiet, requestLine };

// Sends `request` through `nam` and waits for the whole answer. A present body, even an empty
// one, goes out as the request's upload data; without one a GET goes out as a plain get().
// Fails with refusal() before sending, with a transport error (Cause::offline when the machine
// has no network, "The request timed out." for a transfer time-out) when no usable HTTP answer
// came back, invalidResponse for an answer that is not HTTP, and clientGone when the manager
// went away meanwhile. Every status is an answer: judging it is the caller's business.
// A request that changes something (POST, PUT, PATCH, DELETE with a body) goes out once: when
// its connection closes before any answer, it fails as a dropped connection instead of being
// sent again by Qt. Other requests may be resent once, as Qt does.
QCoro::Task<Result<HttpAnswer>> send(QNetworkAccessManager* nam, QNetworkRequest request,
                                     QByteArray method, std::optional<QByteArray> body,
                                     Logging logging = Logging::quiet);
} // namespace Transport
