// Accounts, sessions, tokens and the per-user key/value store, kept in SQLite so that a file
// database survives a restart of the stand-in.
#pragma once

#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <optional>

namespace standin {

struct Account {
    qint64 id = 0;
    QString login;
    QString displayName;
    QString firstname;
    QString lastname;
    QString role; // "student" or "teacher"
    QString bio;
    bool isAdmin = false;
};

struct SessionInfo {
    qint64 id = 0;
    QString deviceName;
    QString deviceType;
    QString ip;
    qint64 createdAt = 0;  // Unix seconds
    qint64 lastUsedAt = 0; // Unix seconds
};

struct TokenPair {
    QString access;
    QString refresh;
    qint64 sessionId = 0;
};

class Store {
  public:
    enum class AuthState { Ok, Unknown, Expired };
    struct Auth {
        AuthState state = AuthState::Unknown;
        qint64 userId = 0;
        qint64 sessionId = 0;
    };

    Store(const QString& path, int accessTtlSeconds);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    bool isOpen() const { return m_ok; }
    QString lastError() const { return m_error; }
    void setAccessTtl(int seconds) { m_ttlMs = qint64(seconds) * 1000; }

    // Creates the account when its login is free; returns its id either way.
    qint64 ensureAccount(const Account& a, const QString& password);
    std::optional<qint64> accountId(const QString& login) const;
    std::optional<Account> account(qint64 id) const;
    std::optional<Account> checkPassword(const QString& login, const QString& password) const;
    bool updateProfile(qint64 userId, const QHash<QString, QString>& fields);

    TokenPair openSession(qint64 userId, const QString& deviceName, const QString& deviceType,
                          const QString& ip);
    // A refresh token works once: it is replaced by a new pair. Used, revoked or unknown
    // tokens give nothing.
    std::optional<TokenPair> rotate(const QString& refreshToken);
    Auth authenticate(const QString& accessToken);
    void expireAccessTokens();

    QList<SessionInfo> sessions(qint64 userId) const;
    std::optional<SessionInfo> session(qint64 userId, qint64 sessionId) const;
    bool revokeSession(qint64 userId, qint64 sessionId);
    int revokeOtherSessions(qint64 userId, qint64 keepSessionId);

    QStringList storageKeys(qint64 userId) const;
    std::optional<QJsonValue> storageValue(qint64 userId, const QString& key) const;
    void setStorageValue(qint64 userId, const QString& key, const QJsonValue& value);
    bool removeStorageValue(qint64 userId, const QString& key);

  private:
    bool exec(const QString& sql);
    QString issueAccess(qint64 sessionId);

    QString m_connection;
    qint64 m_ttlMs;
    bool m_ok = false;
    QString m_error;
};

} // namespace standin
