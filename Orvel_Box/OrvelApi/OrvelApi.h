#pragma once
#include "Multipart.h"
#include "OrvelApiError.h"
#include "RefreshCoordinator.h"
#include "Transport.h"

#include <QByteArray>
#include <QCoroTask>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QNetworkAccessManager;

// The optional arguments of updateChatMember: only the members that are set are sent.
struct ChatMemberChanges {
    std::optional<QString> role = std::nullopt;
    std::optional<bool> canSendMessages = std::nullopt;
    std::optional<bool> canSendMedia = std::nullopt;
    std::optional<bool> canAddMembers = std::nullopt;
    std::optional<bool> canRemoveMembers = std::nullopt;
    std::optional<bool> canDeleteMessages = std::nullopt;
    std::optional<bool> canPinMessages = std::nullopt;
    std::optional<bool> canEditChatInfo = std::nullopt;
    std::optional<bool> isMuted = std::nullopt;
};

// The one client of the REST service. Every operation ends in request(), which attaches the
// bearer token, renews the token pair once on 401 and classifies the answer. Lives on the
// interface thread; errors are returned as values (see Result).
class OrvelApi : public QObject {
    Q_OBJECT
  public:
    using TokenUpdate =
        std::function<void(const QString& access, const std::optional<QString>& refresh)>;
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

    QCoro::Task<ApiResult>
    request(QString path, QString method, std::optional<QByteArray> body = std::nullopt,
            std::optional<QString> contentType = QStringLiteral("application/json"),
            bool skipAuth = false);
    // Renews the token pair, or waits for the renewal already in flight.
    QCoro::Task<VoidResult> refreshTokens();
    // Sends the sign-out request, then drops the tokens whatever happened. Never fails. A
    // sign-in that installs new tokens while the request is out makes them another session's,
    // and those are kept.
    QCoro::Task<void> logout();
    // Counts the token pairs installed by login, so that a late sign-out can tell that the
    // session it was ending has been followed by another.
    quint64 signInGeneration() const { return m_signInGeneration; }

    // How an HTTP answer is judged: an object below 400, the service's error message or the
    // bare status from 400 on.
    static ApiResult classify(int status, const QByteArray& body) { return judge(status, body); }

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

    // Timetable, news and teachers (endpoints/timetable.cpp). getGroups and getNewsItem append
    // their argument unescaped; the URL parser percent-encodes spaces and non-ASCII letters.
    QCoro::Task<ApiResult> getFaculties();
    QCoro::Task<ApiResult> getGroups(QString faculty);
    // offset: weeks from the current week.
    QCoro::Task<ApiResult> getWeekSchedule(QString faculty, QString group, int offset);
    QCoro::Task<ApiResult> getDaySchedule(QString faculty, QString group, QString day);
    QCoro::Task<ApiResult> getDateSchedule(QString faculty, QString group, QString date);
    QCoro::Task<ApiResult> getTodaySchedule(QString faculty, QString group);
    QCoro::Task<ApiResult> searchSchedule(QString query,
                                          std::optional<QString> faculty = std::nullopt);
    QCoro::Task<ApiResult> getNews(int limit, int offset);
    QCoro::Task<ApiResult> getNewsItem(QString id);
    QCoro::Task<ApiResult> getTeachers(std::optional<QString> search, int limit, int offset);
    QCoro::Task<ApiResult> getTeacher(QString name);
    QCoro::Task<ApiResult> getTeacherSchedule(QString name, int offset);

    // Add-ons and colour themes (endpoints/addons.cpp).
    QCoro::Task<ApiResult> getAddons(std::optional<QString> search, int limit, int offset);
    QCoro::Task<ApiResult> installAddon(qint64 addonId);
    QCoro::Task<ApiResult> toggleAddon(qint64 addonId, bool isActive);
    QCoro::Task<ApiResult> uninstallAddon(qint64 addonId);
    QCoro::Task<ApiResult> getMyAddons();
    QCoro::Task<ApiResult> getThemes(std::optional<QString> search, int limit, int offset);
    QCoro::Task<ApiResult> installTheme(QJsonValue themeId);
    QCoro::Task<ApiResult> activateTheme(qint64 themeId);
    QCoro::Task<ApiResult> deactivateTheme(qint64 themeId);
    QCoro::Task<ApiResult> getActiveTheme();
    QCoro::Task<ApiResult> getMyThemes();
    QCoro::Task<ApiResult> getMyEditorThemes();
    QCoro::Task<ApiResult> createEditorTheme(QJsonObject theme);
    QCoro::Task<ApiResult> saveEditorTheme(qint64 themeId, QJsonObject theme);
    QCoro::Task<ApiResult> deleteEditorTheme(qint64 themeId);
    QCoro::Task<ApiResult> publishEditorTheme(qint64 themeId);

    // Administration (endpoints/addons.cpp).
    QCoro::Task<ApiResult> getAdminStats();
    QCoro::Task<ApiResult> getAdminUsers(std::optional<QString> search, int limit, int offset);
    QCoro::Task<ApiResult> banUser(qint64 userId);
    QCoro::Task<ApiResult> unbanUser(qint64 userId);
    QCoro::Task<ApiResult> grantDeveloper(qint64 userId);
    QCoro::Task<ApiResult> revokeDeveloper(qint64 userId);
    QCoro::Task<ApiResult> grantAdmin(qint64 userId);
    QCoro::Task<ApiResult> revokeAdmin(qint64 userId);
    QCoro::Task<ApiResult> broadcast(QString title, QString body);
    QCoro::Task<ApiResult> getAuditLog(int limit, int offset);
    QCoro::Task<ApiResult> getAdminNews(int limit, int offset);
    // Creates the item without an id, updates it with one.
    QCoro::Task<ApiResult> saveAdminNews(std::optional<qint64> id, QString title, QString content,
                                         std::optional<QString> slug, QString status);
    QCoro::Task<ApiResult> deleteAdminNews(qint64 newsId);
    QCoro::Task<ApiResult> createTeacher(QJsonObject teacher);
    QCoro::Task<ApiResult> updateTeacher(QString name, QJsonObject teacher);
    QCoro::Task<ApiResult> deleteTeacher(QString name);
    QCoro::Task<ApiResult> uploadTeacherPhoto(QString name, QByteArray imageData, QString filename,
                                              QString mimeType);

    // Messenger (endpoints/messenger.cpp).
    QCoro::Task<ApiResult> searchMessengerUsers(QString query);
    QCoro::Task<ApiResult> getChats();
    QCoro::Task<ApiResult> createDirectChat(qint64 userId);
    QCoro::Task<ApiResult> createChat(QString type, QString title, QList<qint64> memberIds,
                                      std::optional<QString> description = std::nullopt);
    QCoro::Task<ApiResult> getChat(qint64 chatId);
    QCoro::Task<ApiResult> updateChat(qint64 chatId, std::optional<QString> title = std::nullopt,
                                      std::optional<QString> description = std::nullopt);
    QCoro::Task<ApiResult> uploadChatAvatar(qint64 chatId, QByteArray imageData, QString filename,
                                            QString mimeType);
    // Leaves through the literal "members/me", not the user's own id.
    QCoro::Task<ApiResult> leaveChat(qint64 chatId);
    QCoro::Task<ApiResult> markChatRead(qint64 chatId,
                                        std::optional<qint64> messageId = std::nullopt);
    QCoro::Task<ApiResult> getChatMembers(qint64 chatId);
    QCoro::Task<ApiResult> addChatMembers(qint64 chatId, QList<qint64> userIds);
    QCoro::Task<ApiResult> removeChatMember(qint64 chatId, qint64 userId);
    QCoro::Task<ApiResult> updateChatMember(qint64 chatId, qint64 userId,
                                            ChatMemberChanges changes);
    QCoro::Task<ApiResult> getMessages(qint64 chatId, int limit,
                                       std::optional<qint64> before = std::nullopt);
    // Multipart: "text" and "reply_to_id" when given, then one "media" part per attachment.
    QCoro::Task<ApiResult> sendMessage(qint64 chatId, std::optional<QString> text,
                                       std::optional<qint64> replyToId, QList<ChatMediaFile> media);
    QCoro::Task<ApiResult> editMessage(qint64 messageId, QString text);
    QCoro::Task<ApiResult> deleteMessage(qint64 messageId);

  private:
    using SendResult = Result<HttpAnswer>;
    QCoro::Task<SendResult> send(QString path, QString method, std::optional<QByteArray> body,
                                 std::optional<QString> contentType, bool skipAuth);
    static ApiResult judge(int status, const QByteArray& data);
    void dropTokens();
    QCoro::Task<ApiResult> jsonRequest(QString path, QString method, QJsonObject body);

    // Shared by the endpoint families (endpoints/EndpointSupport.cpp).
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
    quint64 m_signInGeneration = 0;
    // How often the pair was dropped: a refresh that outlives a drop stores nothing.
    quint64 m_tokenDrops = 0;
};
