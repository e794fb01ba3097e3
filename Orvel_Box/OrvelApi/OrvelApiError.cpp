#include "OrvelApiError.h"

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
        return status < 0 ? QStringLiteral("apiError(\"%1\", nil)").arg(message)
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
