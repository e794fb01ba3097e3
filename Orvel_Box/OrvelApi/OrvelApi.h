#pragma once
#include "Multipart.h"
#include "OrvelApiError.h"
#include "RefreshCoordinator.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QCoroTask>

#include <functional>
#include <optional>

class QNetworkAccessManager;

// The one client of the REST service. Every operation ends in request(), which attaches the
// bearer token, renews the token pair once on 401 and classifies the answer. Lives on the
// interface thread; errors are returned as values (see Result).
class OrvelApi : public QObject {
    Q_OBJECT
public:
    using TokenUpdate = std::function<void(const QString& access, const std::optional<QString>& refresh)>;
    using LogoutCallback = std::function<void()>;

    OrvelApi(const QString& baseURL, std::optional<QString> accessToken,
             std::optional<QString> refreshToken, TokenUpdate onTokenUpdate = {},
             LogoutCallback onLogout = {}, QObject* parent = nullptr);

    QString baseUrl() const { return m_baseUrl; }
    std::optional<QString> accessToken() const { return m_accessToken; }
    std::optional<QString> refreshToken() const { return m_refreshToken; }
    void setAccessToken(std::optional<QString> t);
    void setRefreshToken(std::optional<QString> t);
    RefreshCoordinator& refreshCoordinator() { return m_refresh; }

    // Idle time after which a transfer is given up (60 s; tests shorten it).
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    int timeoutMs() const { return m_timeoutMs; }

    QCoro::Task<ApiResult> request(QString path, QString method,
                                   std::optional<QByteArray> body = std::nullopt,
                                   std::optional<QString> contentType = QStringLiteral("application/json"),
                                   bool skipAuth = false);
    // Renews the token pair, or waits for the renewal already in flight.
    QCoro::Task<VoidResult> refreshTokens();
    // Sends the sign-out request, then drops the tokens whatever happened. Never fails.
    QCoro::Task<void> logout();

    // The description given to transport failures that mean "no network at all".
    static QString offlineDescription();

    // ---- Endpoint catalogue: thin shells over request(), one source file per family ----
    // (declared below this line)

    // Percent-encodes a query value or a name path segment as UTF-8, upper-case hex. Letters,
    // digits and - . _ ~ ! $ & ' ( ) * + , ; = : @ / ? are kept, so "&", "=", "+", "?" and "/"
    // pass through unchanged.
    static QString queryEscape(const QString& text);

    // Sign-in, profile and signed-in devices (endpoints/auth.cpp). login is the only call sent
    // without the bearer token and the only one that stores the token pair it gets back.
    QCoro::Task<ApiResult> login(QString username, QString password,
                                 std::optional<QString> deviceName = std::nullopt,
                                 std::optional<QString> deviceType = std::nullopt);
    QCoro::Task<ApiResult> getMe();
    // Sends exactly the members that are given; none gives {}.
    QCoro::Task<ApiResult> updateMe(std::optional<QString> displayName = std::nullopt,
                                    std::optional<QString> firstname = std::nullopt,
                                    std::optional<QString> lastname = std::nullopt,
                                    std::optional<QString> bio = std::nullopt);
    QCoro::Task<ApiResult> deleteAvatar();
    QCoro::Task<ApiResult> getSessions();
    QCoro::Task<ApiResult> getCurrentSession();
    QCoro::Task<ApiResult> revokeSession(qint64 sessionId);
    QCoro::Task<ApiResult> revokeAllSessions();

    // Per-user key/value store, lesson reminders and web push (endpoints/storage.cpp).
    QCoro::Task<ApiResult> storageKeys();
    QCoro::Task<ApiResult> storageGet(QString key);
    QCoro::Task<ApiResult> storageGetMany(QStringList keys);
    QCoro::Task<ApiResult> storageSet(QString key, QJsonValue value);
    QCoro::Task<ApiResult> storageDelete(QString key);
    QCoro::Task<ApiResult> subscribeNotifications(QString faculty, QString group, int minBefore);
    QCoro::Task<ApiResult> unsubscribeNotifications(QString group);
    QCoro::Task<ApiResult> getNotificationSettings();
    QCoro::Task<ApiResult> getVapidKey();
    // Both carry the refresh token held at call time; without one they fail with
    // refreshFailed and send nothing.
    QCoro::Task<ApiResult> registerPush(QJsonObject token);
    QCoro::Task<ApiResult> unregisterPush();

    // Uploads (endpoints/uploads.cpp). A MIME type holding CR or LF is refused with
    // invalidParams before anything is sent.
    QCoro::Task<ApiResult> uploadAvatar(QByteArray imageData, QString filename, QString mimeType);

private:
    struct HttpAnswer {
        int status = 0;
        QByteArray data;
    };
    using SendResult = Result<HttpAnswer>;
    QCoro::Task<SendResult> send(QString path, QString method, std::optional<QByteArray> body,
                                 std::optional<QString> contentType, bool skipAuth);
    static ApiResult judge(const HttpAnswer& answer);
    void dropTokens();
    QCoro::Task<ApiResult> jsonRequest(QString path, QString method, QJsonObject body);

    // Shared by the endpoint families (endpoints/shells.cpp).
    QCoro::Task<ApiResult> withoutBody(QString path, QString method = QStringLiteral("GET"));
    // jsonRequest, but a body holding a value JSON cannot express (NaN, infinity, undefined)
    // is refused with invalidParams instead of being sent silently altered.
    QCoro::Task<ApiResult> sendJson(QString path, QString method, QJsonObject body);
    QCoro::Task<ApiResult> sendWithRefreshToken(QString path, QJsonObject body);
    static QCoro::Task<ApiResult> refuse(ApiError error);
    // POST of a multipart body under a fresh boundary.
    QCoro::Task<ApiResult> sendMultipart(QString path, MultipartFields fields,
                                         QList<MultipartFile> files);
    static bool serialisable(const QJsonValue& value);

    QString m_baseUrl;
    std::optional<QString> m_accessToken;
    std::optional<QString> m_refreshToken;
    TokenUpdate m_onTokenUpdate;
    LogoutCallback m_onLogout;
    QNetworkAccessManager* m_session;
    RefreshCoordinator m_refresh;
    int m_timeoutMs = 60000;
};
