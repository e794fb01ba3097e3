#include "OrvelApiError.h"

bool ApiError::isUnreachable() const {
    if (!isTransport() || isClientGone())
        return false;
    // No network and host not found are the offline cause, which the transport sets.
    if (isOffline())
        return true;
    switch (QNetworkReply::NetworkError(transportCode)) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TimeoutError:
    // The transport's own time-out; a cancellation for any other reason is clientGone.
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
        return true;
    default:
        return false;
    }
}

QString ApiError::description() const {
    if (!kind)
        return message;
    switch (*kind) {
    case OrvelApiError::httpError:
        return QStringLiteral("HTTP Error: %1").arg(status);
    case OrvelApiError::apiError:
        return QStringLiteral("API Error: %1 (Code: %2)").arg(message).arg(status);
    case OrvelApiError::invalidURL:
        return QStringLiteral("Invalid URL");
    case OrvelApiError::invalidResponse:
        return QStringLiteral("Invalid Response");
    case OrvelApiError::refreshFailed:
        return QStringLiteral("Token refresh failed");
    case OrvelApiError::invalidParams:
        return QStringLiteral("Invalid parameters");
    }
    return {};
}

QString ApiError::textForm() const {
    if (!kind)
        return QStringLiteral("TransportError(code: %1, \"%2\")").arg(transportCode).arg(message);
    switch (*kind) {
    case OrvelApiError::httpError:
        return QStringLiteral("httpError(%1)").arg(status);
    case OrvelApiError::apiError:
        return status < 0
                   ? QStringLiteral("apiError(\"%1\", nil)").arg(message)
                   : QStringLiteral("apiError(\"%1\", Optional(%2))").arg(message).arg(status);
    case OrvelApiError::invalidURL:
        return QStringLiteral("invalidURL");
    case OrvelApiError::invalidResponse:
        return QStringLiteral("invalidResponse");
    case OrvelApiError::refreshFailed:
        return QStringLiteral("refreshFailed");
    case OrvelApiError::invalidParams:
        return QStringLiteral("invalidParams");
    }
    return {};
}
