#include "Store.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>

namespace standin {
namespace {

qint64 nowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}
qint64 nowSecs() {
    return QDateTime::currentSecsSinceEpoch();
}

QString randomToken(const char* prefix) {
    quint32 words[6];
    QRandomGenerator::system()->fillRange(words);
    const QByteArray raw(reinterpret_cast<const char*>(words), sizeof words);
    return QLatin1String(prefix) +
           QString::fromLatin1(
               raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString passwordHash(const QString& salt, const QString& password) {
    return QString::fromLatin1(
        QCryptographicHash::hash((salt + QLatin1Char(':') + password).toUtf8(),
                                 QCryptographicHash::Sha256)
            .toHex());
}

// Scalars cannot be stored as a JSON document on their own, so every value is wrapped in a
// one-element array.
QString encodeValue(const QJsonValue& v) {
    return QString::fromUtf8(QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact));
}

QJsonValue decodeValue(const QString& text) {
    return QJsonDocument::fromJson(text.toUtf8()).array().at(0);
}

const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS users (id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " login TEXT UNIQUE NOT NULL, salt TEXT NOT NULL, password TEXT NOT NULL,"
    " display_name TEXT, firstname TEXT, lastname TEXT, role TEXT, bio TEXT,"
    " is_admin INTEGER DEFAULT 0)",
    "CREATE TABLE IF NOT EXISTS sessions (id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " user_id INTEGER NOT NULL, device_name TEXT, device_type TEXT, ip TEXT,"
    " created_at INTEGER, last_used_at INTEGER, refresh_token TEXT UNIQUE,"
    " revoked INTEGER DEFAULT 0)",
    "CREATE TABLE IF NOT EXISTS access_tokens (token TEXT PRIMARY KEY,"
    " session_id INTEGER NOT NULL, expires_at INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS storage (user_id INTEGER NOT NULL, key TEXT NOT NULL,"
    " value TEXT NOT NULL, PRIMARY KEY (user_id, key))",
};

std::atomic<int> g_connectionCounter{0};

} // namespace

// Positional binding keeps every statement a prepared one: keys, logins and device names come
// straight from request bodies.
static QSqlQuery run(const QString& connection, const char* sql,
                     std::initializer_list<QVariant> args = {}) {
    QSqlQuery q(QSqlDatabase::database(connection));
    q.prepare(QString::fromLatin1(sql));
    for (const QVariant& a : args)
        q.addBindValue(a);
    if (!q.exec())
        qWarning("standin: SQL failed: %s", qPrintable(q.lastError().text()));
    return q;
}

Store::Store(const QString& path, int accessTtlSeconds)
    : m_connection(QStringLiteral("standin-%1").arg(++g_connectionCounter)),
      m_ttlMs(qint64(accessTtlSeconds) * 1000) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(path);
    if (!db.open()) {
        m_error = db.lastError().text();
        return;
    }
    m_ok = true;
    for (const char* stmt : kSchema)
        m_ok = m_ok && exec(QString::fromLatin1(stmt));
}

Store::~Store() {
    { QSqlDatabase::database(m_connection).close(); }
    QSqlDatabase::removeDatabase(m_connection);
}

bool Store::exec(const QString& sql) {
    QSqlQuery q(QSqlDatabase::database(m_connection));
    if (q.exec(sql))
        return true;
    m_error = q.lastError().text();
    return false;
}

qint64 Store::ensureAccount(const Account& a, const QString& password) {
    const QString salt = randomToken("");
    run(m_connection,
        "INSERT OR IGNORE INTO users (login, salt, password, display_name, firstname, lastname,"
        " role, bio, is_admin) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {a.login, salt, passwordHash(salt, password), a.displayName, a.firstname, a.lastname,
         a.role, a.bio, a.isAdmin ? 1 : 0});
    return accountId(a.login).value_or(0);
}

std::optional<qint64> Store::accountId(const QString& login) const {
    QSqlQuery q = run(m_connection, "SELECT id FROM users WHERE login = ?", {login});
    return q.next() ? std::optional(q.value(0).toLongLong()) : std::nullopt;
}

std::optional<Account> Store::account(qint64 id) const {
    QSqlQuery q = run(m_connection,
                      "SELECT id, login, display_name, firstname, lastname, role, bio, is_admin"
                      " FROM users WHERE id = ?",
                      {id});
    if (!q.next())
        return std::nullopt;
    return Account{q.value(0).toLongLong(), q.value(1).toString(),  q.value(2).toString(),
                   q.value(3).toString(),   q.value(4).toString(),  q.value(5).toString(),
                   q.value(6).toString(),   q.value(7).toInt() != 0};
}

std::optional<Account> Store::checkPassword(const QString& login, const QString& password) const {
    QSqlQuery q =
        run(m_connection, "SELECT id, salt, password FROM users WHERE login = ?", {login});
    if (!q.next() || passwordHash(q.value(1).toString(), password) != q.value(2).toString())
        return std::nullopt;
    return account(q.value(0).toLongLong());
}

bool Store::updateProfile(qint64 userId, const QHash<QString, QString>& fields) {
    // Column names come from this fixed list only, never from the request.
    static const QStringList columns{"display_name", "firstname", "lastname", "bio"};
    for (const QString& column : columns) {
        if (!fields.contains(column))
            continue;
        QSqlQuery q(QSqlDatabase::database(m_connection));
        q.prepare(QStringLiteral("UPDATE users SET %1 = ? WHERE id = ?").arg(column));
        q.addBindValue(fields.value(column));
        q.addBindValue(userId);
        if (!q.exec())
            return false;
    }
    return true;
}

QString Store::issueAccess(qint64 sessionId) {
    const QString token = randomToken("at_");
    run(m_connection, "INSERT INTO access_tokens (token, session_id, expires_at) VALUES (?, ?, ?)",
        {token, sessionId, nowMs() + m_ttlMs});
    return token;
}

TokenPair Store::openSession(qint64 userId, const QString& deviceName, const QString& deviceType,
                             const QString& ip) {
    const QString refresh = randomToken("rt_");
    const qint64 now = nowSecs();
    QSqlQuery q = run(m_connection,
                      "INSERT INTO sessions (user_id, device_name, device_type, ip, created_at,"
                      " last_used_at, refresh_token) VALUES (?, ?, ?, ?, ?, ?, ?)",
                      {userId, deviceName, deviceType, ip, now, now, refresh});
    const qint64 sessionId = q.lastInsertId().toLongLong();
    return {issueAccess(sessionId), refresh, sessionId};
}

std::optional<TokenPair> Store::rotate(const QString& refreshToken) {
    QSqlQuery q =
        run(m_connection, "SELECT id FROM sessions WHERE refresh_token = ? AND revoked = 0",
            {refreshToken});
    if (refreshToken.isEmpty() || !q.next())
        return std::nullopt;
    const qint64 sessionId = q.value(0).toLongLong();
    const QString refresh = randomToken("rt_");
    run(m_connection, "UPDATE sessions SET refresh_token = ?, last_used_at = ? WHERE id = ?",
        {refresh, nowSecs(), sessionId});
    return TokenPair{issueAccess(sessionId), refresh, sessionId};
}

Store::Auth Store::authenticate(const QString& accessToken) {
    QSqlQuery q = run(m_connection,
                      "SELECT s.user_id, s.id, t.expires_at FROM access_tokens t"
                      " JOIN sessions s ON s.id = t.session_id"
                      " WHERE t.token = ? AND s.revoked = 0",
                      {accessToken});
    if (!q.next())
        return {};
    Auth auth{AuthState::Ok, q.value(0).toLongLong(), q.value(1).toLongLong()};
    if (q.value(2).toLongLong() <= nowMs()) {
        auth.state = AuthState::Expired;
        return auth;
    }
    run(m_connection, "UPDATE sessions SET last_used_at = ? WHERE id = ?",
        {nowSecs(), auth.sessionId});
    return auth;
}

void Store::expireAccessTokens() {
    exec(QStringLiteral("UPDATE access_tokens SET expires_at = 0"));
}

static SessionInfo sessionFrom(const QSqlQuery& q) {
    return {q.value(0).toLongLong(), q.value(1).toString(),   q.value(2).toString(),
            q.value(3).toString(),   q.value(4).toLongLong(), q.value(5).toLongLong()};
}

QList<SessionInfo> Store::sessions(qint64 userId) const {
    QSqlQuery q = run(m_connection,
                      "SELECT id, device_name, device_type, ip, created_at, last_used_at"
                      " FROM sessions WHERE user_id = ? AND revoked = 0"
                      " ORDER BY last_used_at DESC, id DESC",
                      {userId});
    QList<SessionInfo> out;
    while (q.next())
        out.append(sessionFrom(q));
    return out;
}

std::optional<SessionInfo> Store::session(qint64 userId, qint64 sessionId) const {
    QSqlQuery q = run(m_connection,
                      "SELECT id, device_name, device_type, ip, created_at, last_used_at"
                      " FROM sessions WHERE user_id = ? AND id = ? AND revoked = 0",
                      {userId, sessionId});
    if (!q.next())
        return std::nullopt;
    return sessionFrom(q);
}

bool Store::revokeSession(qint64 userId, qint64 sessionId) {
    QSqlQuery q =
        run(m_connection,
            "UPDATE sessions SET revoked = 1 WHERE user_id = ? AND id = ? AND revoked = 0",
            {userId, sessionId});
    return q.numRowsAffected() > 0;
}

int Store::revokeOtherSessions(qint64 userId, qint64 keepSessionId) {
    QSqlQuery q =
        run(m_connection,
            "UPDATE sessions SET revoked = 1 WHERE user_id = ? AND id <> ? AND revoked = 0",
            {userId, keepSessionId});
    return q.numRowsAffected();
}

QStringList Store::storageKeys(qint64 userId) const {
    QSqlQuery q =
        run(m_connection, "SELECT key FROM storage WHERE user_id = ? ORDER BY rowid", {userId});
    QStringList keys;
    while (q.next())
        keys.append(q.value(0).toString());
    return keys;
}

std::optional<QJsonValue> Store::storageValue(qint64 userId, const QString& key) const {
    QSqlQuery q =
        run(m_connection, "SELECT value FROM storage WHERE user_id = ? AND key = ?", {userId, key});
    if (!q.next())
        return std::nullopt;
    return decodeValue(q.value(0).toString());
}

void Store::setStorageValue(qint64 userId, const QString& key, const QJsonValue& value) {
    // An upsert keeps the row (and so the key's place in the key list) when the value changes.
    run(m_connection,
        "INSERT INTO storage (user_id, key, value) VALUES (?, ?, ?)"
        " ON CONFLICT (user_id, key) DO UPDATE SET value = excluded.value",
        {userId, key, encodeValue(value)});
}

bool Store::removeStorageValue(qint64 userId, const QString& key) {
    return run(m_connection, "DELETE FROM storage WHERE user_id = ? AND key = ?", {userId, key})
               .numRowsAffected() > 0;
}

} // namespace standin
