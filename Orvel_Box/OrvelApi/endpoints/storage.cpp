#include "EndpointSupport.h"
#include "OrvelApi.h"

#include <QJsonArray>

using namespace endpoint;

QCoro::Task<ApiResult> OrvelApi::storageKeys() {
    return withoutBody(QStringLiteral("/api/storage/keys"));
}

// storageGet and storageGetMany share one path; the service tells them apart by "key"/"keys".
QCoro::Task<ApiResult> OrvelApi::storageGet(QString key) {
    return sendJson(QStringLiteral("/api/storage/get"), kPost, {{QStringLiteral("key"), key}});
}

QCoro::Task<ApiResult> OrvelApi::storageGetMany(QStringList keys) {
    return sendJson(QStringLiteral("/api/storage/get"), kPost,
                    {{QStringLiteral("keys"), QJsonArray::fromStringList(keys)}});
}

QCoro::Task<ApiResult> OrvelApi::storageSet(QString key, QJsonValue value) {
    // An undefined value would silently drop the "value" member from the object.
    if (value.isUndefined())
        return refuse(ApiError::of(OrvelApiError::invalidParams));
    return sendJson(QStringLiteral("/api/storage/set"), kPost,
                    {{QStringLiteral("key"), key}, {QStringLiteral("value"), value}});
}

QCoro::Task<ApiResult> OrvelApi::storageDelete(QString key) {
    return sendJson(QStringLiteral("/api/storage/delete"), kPost, {{QStringLiteral("key"), key}});
}

QCoro::Task<ApiResult> OrvelApi::subscribeNotifications(QString faculty, QString group,
                                                        int minBefore) {
    return sendJson(QStringLiteral("/api/notifications/subscribe"), kPost,
                    {{QStringLiteral("faculty"), faculty},
                     {QStringLiteral("group"), group},
                     {QStringLiteral("min_before"), minBefore}});
}

QCoro::Task<ApiResult> OrvelApi::unsubscribeNotifications(QString group) {
    return sendJson(QStringLiteral("/api/notifications/unsubscribe"), kPost,
                    {{QStringLiteral("group"), group}});
}

QCoro::Task<ApiResult> OrvelApi::getNotificationSettings() {
    return withoutBody(QStringLiteral("/api/notifications/settings"));
}

QCoro::Task<ApiResult> OrvelApi::getVapidKey() {
    return withoutBody(QStringLiteral("/api/push/vapid-key"));
}

QCoro::Task<ApiResult> OrvelApi::registerPush(QJsonObject token) {
    return sendWithRefreshToken(
        QStringLiteral("/api/push/register"),
        {{QStringLiteral("platform"), QStringLiteral("web")}, {QStringLiteral("token"), token}});
}

QCoro::Task<ApiResult> OrvelApi::unregisterPush() {
    return sendWithRefreshToken(QStringLiteral("/api/push/unregister"), {});
}
