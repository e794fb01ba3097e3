#pragma once
#include <QCoroTask>
#include <QString>
#include <memory>
#include <optional>

struct TokenPair {
    std::optional<QString> access;
    std::optional<QString> refresh;
};

class Keyring;

// Where the token pair lives. The desktop's keyring (a Secret Service reached through
// QtKeychain) when one answers on the session bus; otherwise an INI file read and written
// through QSettings under the keys "access_token" and "refresh_token", which only ever has
// owner read/write permission. read/write/remove reach the file alone; load/save/erase reach
// the pair wherever it lives.
class TokenStore {
  public:
    enum class KeyringUse { never, whereAnswering };

    // The default location: the user's configuration directory, and the keyring where one
    // answers (unless ORVEL_TOKEN_STORE=file).
    TokenStore();
    explicit TokenStore(QString filePath, KeyringUse keyring = KeyringUse::never);
    // Gives the keyring at most keyringBoundMs to take the changes still on their way to it.
    ~TokenStore();
    TokenStore(const TokenStore&) = delete;
    TokenStore& operator=(const TokenStore&) = delete;

    std::optional<QString> read(const QString& key) const;
    void write(const QString& key, const QString& value);
    void remove(const QString& key);
    QString filePath() const { return m_path; }

    // The stored pair. The first load decides where the pair lives: a keyring that does not
    // answer within keyringBoundMs is given up for the file (one log line). A pair found in
    // the file while the keyring answers is moved into the keyring; the file goes only once
    // the keyring has taken it.
    QCoro::Task<TokenPair> load();
    // A refresh token left out keeps the stored one.
    void save(const QString& access, const std::optional<QString>& refresh);
    // Removes the pair from the keyring and from the file.
    void erase();
    bool inKeyring() const;
    // Waits until the keyring has taken every change (at most `ms`); true when it has.
    bool flush(int ms = keyringBoundMs);

    static constexpr const char* accessKey = "access_token";
    static constexpr const char* refreshKey = "refresh_token";
    static constexpr int keyringBoundMs = 3000;

  private:
    void tighten() const;
    void writeFile(const TokenPair& pair);
    QString m_path;
    KeyringUse m_keyringUse;
    TokenPair m_pair;
    std::unique_ptr<Keyring> m_keyring; // present once load found a Secret Service
};
