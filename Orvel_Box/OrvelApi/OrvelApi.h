#pragma once
#include "OrvelApiError.h"
#include "RefreshCoordinator.h"

#include <QByteArray>
#include <QJsonObject>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
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

    QString m_baseUrl;
    std::optional<QString> m_accessToken;
    std::optional<QString> m_refreshToken;
    TokenUpdate m_onTokenUpdate;
    LogoutCallback m_onLogout;
    QNetworkAccessManager* m_session;
    RefreshCoordinator m_refresh;
    int m_timeoutMs = 60000;
};
