#pragma once
#include <QJsonObject>
#include <QNetworkReply>
#include <QString>
#include <optional>
#include <variant>

// The service client's own failure cases, in their fixed order.
enum class OrvelApiError {
    httpError,
    apiError,
    invalidURL,
    invalidResponse,
    refreshFailed,
    invalidParams
};

// Any failure of a service call: one of the client's own cases, or a transport failure
// (no connection, time-out, TLS) carried with the transport's description.
struct ApiError {
    // What a transport failure means to the callers that act on it. Set where the reply is
    // classified, so nobody has to guess it from a description.
    enum class Cause { other, offline, clientGone };

    std::optional<OrvelApiError> kind; // absent: a transport failure
    int status = -1;                   // httpError / apiError (-1: absent code)
    QString message;                   // apiError message, or the transport description
    int transportCode = 0;             // QNetworkReply::NetworkError of a transport failure
    Cause cause = Cause::other;

    static ApiError of(OrvelApiError k) { return ApiError{k, -1, {}, 0, Cause::other}; }
    static ApiError http(int status) {
        return ApiError{OrvelApiError::httpError, status, {}, 0, Cause::other};
    }
    static ApiError api(const QString& message, int status) {
        return ApiError{OrvelApiError::apiError, status, message, 0, Cause::other};
    }
    static ApiError transport(int code, const QString& description, Cause cause = Cause::other) {
        return ApiError{std::nullopt, -1, description, code, cause};
    }
    // The client (or whatever owned the call) was destroyed while the call was out; nobody is
    // left to act on an answer.
    static ApiError clientGone() {
        return transport(QNetworkReply::OperationCanceledError,
                         QStringLiteral("Operation canceled"), Cause::clientGone);
    }

    bool isTransport() const { return !kind.has_value(); }
    bool is(OrvelApiError k) const { return kind == k; }
    // The machine has no usable network, as opposed to a service that is down.
    bool isOffline() const { return cause == Cause::offline; }
    bool isClientGone() const { return cause == Cause::clientGone; }
    // No HTTP answer came back because the service could not be reached: no network, host not
    // found, connection refused, time-out, or the connection dropped before any answer. Wider
    // than isOffline(), and only for the start-up decisions: every other caller keeps its own
    // wording and failure state. TLS failures are not among them (something answered, and it
    // was not to be trusted).
    bool isUnreachable() const;
    // The user-facing description ("HTTP Error: 500", "Token refresh failed", …).
    QString description() const;
    // The default text form used in some log lines ("httpError(500)", …).
    QString textForm() const;
    bool operator==(const ApiError&) const = default;
};

// Either a value or an ApiError. Errors travel as values: coroutines never throw here.
template <class T> class Result {
  public:
    Result(T value) : m_v(std::move(value)) {}
    Result(ApiError error) : m_v(std::move(error)) {}
    bool ok() const { return m_v.index() == 0; }
    explicit operator bool() const { return ok(); }
    const T& value() const { return std::get<0>(m_v); }
    T& value() { return std::get<0>(m_v); }
    const ApiError& error() const { return std::get<1>(m_v); }

  private:
    std::variant<T, ApiError> m_v;
};

struct Done {};
using ApiResult = Result<QJsonObject>;
using VoidResult = Result<Done>;
