#include "Backend.h"

#include "Catalog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

namespace standin {

Reply Reply::json(const QJsonObject& o, int status) {
    return {status, QJsonDocument(o).toJson(QJsonDocument::Compact), "application/json", {}};
}

Reply Reply::error(int status, const QString& text) {
    return json(QJsonObject{{"error", text}}, status);
}

Reply Reply::data(const QByteArray& body, const QByteArray& contentType, int status) {
    return {status, body, contentType, {}};
}

namespace {

constexpr qsizetype kUploadLimit = 10 << 20;

Reply wrongType(const char* field) {
    return Reply::error(
        400,
        QStringLiteral("Field \"%1\" has a wrong type or is missing").arg(QLatin1String(field)));
}

std::optional<QJsonObject> objectBody(const QByteArray& body) {
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    return doc.object();
}

// A member that may be absent: absent gives `fallback`, a non-string gives nothing.
std::optional<QString> optionalText(const QJsonObject& o, const char* key,
                                    const QString& fallback) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined())
        return fallback;
    if (!v.isString())
        return std::nullopt;
    return v.toString();
}

std::optional<QString> requiredText(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    return v.isString() ? std::optional(v.toString()) : std::nullopt;
}

// Only whole numbers that a double carries exactly count as ids.
std::optional<qint64> wholeNumber(const QJsonValue& v) {
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (!std::isfinite(d) || d != std::floor(d) || std::fabs(d) > 9007199254740992.0)
        return std::nullopt;
    return qint64(d);
}

std::optional<QString> storageKey(const QJsonValue& v) {
    if (!v.isString() || v.toString().isEmpty() || v.toString().size() > 256)
        return std::nullopt;
    return v.toString();
}

QString peerText(const QHostAddress& peer) {
    bool v4 = false;
    const quint32 ip = peer.toIPv4Address(&v4);
    return v4 ? QHostAddress(ip).toString() : peer.toString();
}

QJsonObject userJson(const Account& a) {
    const QString avatar = QStringLiteral("/media/avatars/%1.png").arg(a.id);
    return {{"id", a.id},
            {"login", a.login},
            {"username", a.login},
            {"display_name", a.displayName},
            {"name", a.displayName},
            {"firstname", a.firstname},
            {"lastname", a.lastname},
            {"role", a.role},
            {"avatar_url", avatar},
            {"avatarUrl", avatar},
            {"isAdmin", a.isAdmin},
            {"is_admin", a.isAdmin},
            {"bio", a.bio}};
}

QJsonObject sessionJson(const SessionInfo& s, qint64 currentId) {
    return {{"id", s.id},
            {"device_name", s.deviceName},
            {"device_type", s.deviceType},
            {"ip", s.ip},
            {"created_at", s.createdAt},
            {"last_used_at", s.lastUsedAt},
            {"is_current", s.id == currentId}};
}

QJsonObject tokensJson(const TokenPair& t, int ttlSeconds) {
    return {{"access_token", t.access},
            {"refresh_token", t.refresh},
            {"token_type", "Bearer"},
            {"expires_in", ttlSeconds}};
}

bool matches(const QStringList& pattern, const QStringList& segments, QStringList* args) {
    if (pattern.size() != segments.size())
        return false;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == QLatin1String("{}"))
            args->append(segments[i]);
        else if (pattern[i] != segments[i])
            return false;
    }
    return true;
}

} // namespace

Backend::Backend(const Options& o)
    : m_options(o), m_store(o.dbPath, o.accessTtlSeconds),
      m_catalog(std::make_unique<Catalog>(o.seedDemoData)) {
    addRoutes();
    if (m_store.isOpen() && o.seedDemoData)
        seed();
}

Backend::~Backend() = default;

void Backend::add(const char* method, const char* path, int flags, Handler h, qsizetype maxBody) {
    m_routes.push_back(
        {method, QString::fromUtf8(path).split(u'/', Qt::SkipEmptyParts), flags, maxBody, h});
}

void Backend::addAccepted(const char* methodAndPath, qsizetype maxBody) {
    const QByteArray route(methodAndPath);
    const qsizetype space = route.indexOf(' ');
    add(route.left(space).constData(), route.mid(space + 1).constData(), Token, &Backend::accepted,
        maxBody);
}

// The whole surface of the stand-in.
void Backend::addRoutes() {
    add("POST", "/api/auth/login", Public | JsonBody, &Backend::login);
    add("POST", "/api/auth/refresh", Public | JsonBody, &Backend::refresh);
    add("POST", "/api/auth/logout", Token, &Backend::logout);

    add("GET", "/api/users/me", Token, &Backend::me);
    add("PATCH", "/api/users/me", Token | JsonBody, &Backend::updateMe);
    add("GET", "/api/users/sessions", Token, &Backend::sessionList);
    add("GET", "/api/sessions/current", Token, &Backend::currentSession);
    add("POST", "/api/users/sessions/revoke", Token | JsonBody, &Backend::revokeSession);
    add("POST", "/api/users/sessions/revoke-all", Token, &Backend::revokeAll);

    add("GET", "/media/avatars/{}", Public, &Backend::avatarPicture);

    add("GET", "/api/storage/keys", Token, &Backend::storageKeys);
    add("POST", "/api/storage/get", Token | JsonBody, &Backend::storageGet);
    add("POST", "/api/storage/set", Token | JsonBody, &Backend::storageSet);
    add("POST", "/api/storage/delete", Token | JsonBody, &Backend::storageDelete);

    add("GET", "/api/schedule/faculties", Token, &Backend::faculties);
    add("GET", "/api/schedule/groups", Token, &Backend::groups);
    add("GET", "/api/schedule/week", Token, &Backend::week);
    add("GET", "/api/schedule/day", Token, &Backend::dayOfWeek);
    add("GET", "/api/schedule/date", Token, &Backend::dayOfWeek);
    add("GET", "/api/schedule/today", Token, &Backend::dayOfWeek);
    add("GET", "/api/teachers", Token, &Backend::teachers);
    add("GET", "/api/teachers/{}", Token, &Backend::teacher);
    add("GET", "/api/teachers/{}/schedule", Token, &Backend::teacherWeek);
    add("GET", "/media/teachers/{}", Public, &Backend::teacherPicture);

    // The public content service and the project web site need no token.
    add("GET", "/api/collections/site_news/records", Public, &Backend::newsRecords);
    add("GET", "/api/files/{}/{}/{}", Public, &Backend::newsFile);
    add("GET", "/news/{}", Public, &Backend::newsPage);
    for (const char* page : {"/", "/404", "/user-agreement", "/privacy", "/report"})
        add("GET", page, Public, &Backend::sitePage);

    // Operations the client offers but no screen calls: accepted with {"ok": true} so that a
    // call through them reaches a real answer. File uploads get the larger body limit.
    static const char* const accepted[] = {
        "DELETE /api/users/me/avatar",
        "POST /api/notifications/subscribe",
        "POST /api/notifications/unsubscribe",
        "GET /api/notifications/settings",
        "GET /api/push/vapid-key",
        "POST /api/push/register",
        "POST /api/push/unregister",
        "GET /api/schedule/search",
        "GET /api/news",
        "GET /api/news/{}",
        "GET /api/addons",
        "POST /api/addons/install",
        "POST /api/addons/toggle",
        "POST /api/addons/uninstall",
        "GET /api/addons/my",
        "GET /api/themes",
        "POST /api/themes/install",
        "POST /api/themes/activate",
        "POST /api/themes/deactivate",
        "GET /api/themes/active",
        "GET /api/themes/my",
        "GET /api/themes/editor/my",
        "POST /api/themes/editor/create",
        "POST /api/themes/editor/{}/save",
        "DELETE /api/themes/editor/{}",
        "POST /api/themes/editor/{}/publish",
        "GET /api/admin/stats",
        "GET /api/admin/users",
        "POST /api/admin/users/{}/{}",
        "POST /api/admin/broadcast",
        "GET /api/admin/audit",
        "GET /api/news/admin/list",
        "POST /api/news/admin",
        "DELETE /api/news/admin/{}",
        "POST /api/teachers/admin",
        "PATCH /api/teachers/admin/{}",
        "DELETE /api/teachers/admin/{}",
        "GET /api/messenger/users/search",
        "GET /api/messenger/chats",
        "POST /api/messenger/chats",
        "POST /api/messenger/chats/direct",
        "GET /api/messenger/chats/{}",
        "PATCH /api/messenger/chats/{}",
        "DELETE /api/messenger/chats/{}/members/me",
        "POST /api/messenger/chats/{}/read",
        "GET /api/messenger/chats/{}/members",
        "POST /api/messenger/chats/{}/members",
        "DELETE /api/messenger/chats/{}/members/{}",
        "PATCH /api/messenger/chats/{}/members/{}",
        "GET /api/messenger/chats/{}/messages",
        "PATCH /api/messenger/messages/{}",
        "DELETE /api/messenger/messages/{}",
    };
    static const char* const acceptedUploads[] = {
        "POST /api/users/me/avatar",
        "POST /api/teachers/admin/{}/photo",
        "POST /api/messenger/chats/{}/avatar",
        "POST /api/messenger/chats/{}/messages",
    };
    for (const char* route : accepted)
        addAccepted(route, 1 << 20);
    for (const char* route : acceptedUploads)
        addAccepted(route, kUploadLimit);
}

Reply Backend::handle(const LoggedRequest& req, const QString& origin) {
    const QStringList segments = req.path.split(u'/', Qt::SkipEmptyParts);
    const Route* route = nullptr;
    bool pathKnown = false;
    QStringList args;
    for (const Route& r : m_routes) {
        QStringList found;
        if (!matches(r.pattern, segments, &found))
            continue;
        pathKnown = true;
        if (r.method == req.method.toLatin1()) {
            route = &r;
            args = found;
            break;
        }
    }
    if (req.body.size() > (route ? route->maxBody : qsizetype(1 << 20)))
        return Reply::error(413, QStringLiteral("Request body too large"));
    if (!route)
        return pathKnown ? Reply::error(405, QStringLiteral("Method not allowed"))
                         : Reply::error(404, QStringLiteral("Not found"));

    Call call{req, args, origin, 0, 0, {}};
    if (route->flags & Token) {
        const QByteArray header = req.headers.value("authorization");
        if (!header.startsWith("Bearer ") || header.size() <= 7)
            return Reply::error(401, QStringLiteral("Authorization required"));
        const Store::Auth auth = m_store.authenticate(QString::fromLatin1(header.mid(7)));
        if (auth.state == Store::AuthState::Expired)
            return Reply::error(401, QStringLiteral("Access token expired"));
        if (auth.state != Store::AuthState::Ok)
            return Reply::error(401, QStringLiteral("Invalid access token"));
        call.userId = auth.userId;
        call.sessionId = auth.sessionId;
    }
    if (route->flags & JsonBody) {
        const auto body = objectBody(req.body);
        if (!body)
            return Reply::error(400, QStringLiteral("Malformed JSON body"));
        call.body = *body;
    }
    return (this->*route->handler)(call);
}

void Backend::seed() {
    m_store.ensureAccount({0, "student", "Алексей Смирнов", "Алексей", "Смирнов", "student",
                           "Студент факультета математики и информационных технологий", false},
                          QStringLiteral("student"));
    if (m_store.accountId(QStringLiteral("teacher")))
        return;
    const qint64 teacherId =
        m_store.ensureAccount({0, "teacher", "Ольга Козлова", "Ольга", "Козлова", "teacher",
                               "Преподаватель кафедры", false},
                              QStringLiteral("teacher"));
    m_store.setStorageValue(teacherId, QStringLiteral("work_mode"), QStringLiteral("teacher"));
    m_store.setStorageValue(teacherId, QStringLiteral("teacher"), Catalog::demoTeacherName());
}

void Backend::setAccessTtl(int seconds) {
    m_options.accessTtlSeconds = seconds;
    m_store.setAccessTtl(seconds);
}

qint64 Backend::ensureUser(const QString& login) {
    Account a;
    a.login = login;
    a.displayName = login;
    a.role = QStringLiteral("student");
    return m_store.ensureAccount(a, login);
}

TokenPair Backend::signIn(const QString& login) {
    return m_store.openSession(ensureUser(login), QStringLiteral("test"), QStringLiteral("desktop"),
                               QStringLiteral("127.0.0.1"));
}

// ---- accounts and sessions ----

Reply Backend::login(Call& c) {
    const auto username = requiredText(c.body, "username");
    const auto password = requiredText(c.body, "password");
    const auto deviceName = optionalText(c.body, "device_name", QStringLiteral("unknown"));
    const auto deviceType = optionalText(c.body, "device_type", QStringLiteral("unknown"));
    if (!username || !password)
        return wrongType(!username ? "username" : "password");
    if (!deviceName || !deviceType)
        return wrongType(!deviceName ? "device_name" : "device_type");
    const auto account = m_store.checkPassword(*username, *password);
    if (!account)
        return Reply::error(401, QStringLiteral("Неверный логин или пароль"));
    const TokenPair t = m_store.openSession(account->id, deviceName->left(200),
                                            deviceType->left(50), peerText(c.req.peer));
    QJsonObject out = tokensJson(t, m_options.accessTtlSeconds);
    out.insert("success", 1);
    out.insert("user", userJson(*account));
    return Reply::json(out);
}

Reply Backend::refresh(Call& c) {
    const auto token = requiredText(c.body, "refresh_token");
    if (!token)
        return wrongType("refresh_token");
    const auto pair = m_store.rotate(*token);
    if (!pair)
        return Reply::error(401, QStringLiteral("Refresh token is invalid, used or revoked"));
    return Reply::json(tokensJson(*pair, m_options.accessTtlSeconds));
}

Reply Backend::logout(Call& c) {
    m_store.revokeSession(c.userId, c.sessionId);
    return Reply::json({{"success", 1}});
}

Reply Backend::me(Call& c) {
    const auto account = m_store.account(c.userId);
    if (!account)
        return Reply::error(404, QStringLiteral("User not found"));
    QJsonObject out = userJson(*account);
    out.insert("user", userJson(*account));
    out.insert("success", 1);
    return Reply::json(out);
}

Reply Backend::updateMe(Call& c) {
    QHash<QString, QString> fields;
    for (const char* key : {"display_name", "firstname", "lastname", "bio"}) {
        const auto value = optionalText(c.body, key, {});
        if (!value)
            return wrongType(key);
        if (c.body.contains(QLatin1String(key)))
            fields.insert(QLatin1String(key), value->left(1000));
    }
    m_store.updateProfile(c.userId, fields);
    return me(c);
}

Reply Backend::sessionList(Call& c) {
    QJsonArray list;
    for (const SessionInfo& s : m_store.sessions(c.userId))
        list.append(sessionJson(s, c.sessionId));
    return Reply::json({{"sessions", list}});
}

Reply Backend::currentSession(Call& c) {
    const auto s = m_store.session(c.userId, c.sessionId);
    if (!s)
        return Reply::error(404, QStringLiteral("Session not found"));
    return Reply::json({{"session", sessionJson(*s, c.sessionId)}});
}

Reply Backend::revokeSession(Call& c) {
    const auto id = wholeNumber(c.body.value("session_id"));
    if (!id)
        return wrongType("session_id");
    if (!m_store.revokeSession(c.userId, *id))
        return Reply::error(404, QStringLiteral("Session not found"));
    return Reply::json({{"success", 1}});
}

Reply Backend::revokeAll(Call& c) {
    const int revoked = m_store.revokeOtherSessions(c.userId, c.sessionId);
    return Reply::json({{"success", 1}, {"revoked", revoked}});
}

Reply Backend::accepted(Call&) {
    return Reply::json({{"ok", true}});
}

// ---- per-user store ----

Reply Backend::storageKeys(Call& c) {
    QJsonArray keys;
    for (const QString& k : m_store.storageKeys(c.userId))
        keys.append(QJsonObject{{"key", k}});
    return Reply::json({{"keys", keys}});
}

// {"key": k} answers {"key", "value"} (value null when absent); {"keys": [..]} answers the
// stored values under their own names at the top level, leaving absent keys out.
Reply Backend::storageGet(Call& c) {
    if (c.body.contains("keys")) {
        const QJsonValue list = c.body.value("keys");
        if (!list.isArray())
            return wrongType("keys");
        QJsonObject out;
        for (const QJsonValue& v : list.toArray()) {
            const auto key = storageKey(v);
            if (!key)
                return wrongType("keys");
            if (const auto value = m_store.storageValue(c.userId, *key))
                out.insert(*key, *value);
        }
        return Reply::json(out);
    }
    const auto key = storageKey(c.body.value("key"));
    if (!key)
        return wrongType("key");
    const auto value = m_store.storageValue(c.userId, *key);
    return Reply::json({{"key", *key}, {"value", value.value_or(QJsonValue::Null)}});
}

Reply Backend::storageSet(Call& c) {
    const auto key = storageKey(c.body.value("key"));
    if (!key)
        return wrongType("key");
    if (!c.body.contains("value"))
        return wrongType("value");
    m_store.setStorageValue(c.userId, *key, c.body.value("value"));
    return Reply::json({{"success", 1}, {"key", *key}});
}

Reply Backend::storageDelete(Call& c) {
    const auto key = storageKey(c.body.value("key"));
    if (!key)
        return wrongType("key");
    return Reply::json({{"success", 1}, {"deleted", m_store.removeStorageValue(c.userId, *key)}});
}

} // namespace standin
