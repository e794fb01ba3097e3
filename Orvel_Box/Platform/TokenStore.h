#pragma once
#include <QString>
#include <optional>

// The token pair on disk: an INI file read and written through QSettings under the keys
// "access_token" and "refresh_token". The file only ever has owner read/write permission.
class TokenStore {
public:
    // The default location: the user's configuration directory.
    TokenStore();
    explicit TokenStore(QString filePath);

    std::optional<QString> read(const QString& key) const;
    void write(const QString& key, const QString& value);
    void remove(const QString& key);
    QString filePath() const { return m_path; }

    static constexpr const char* accessKey = "access_token";
    static constexpr const char* refreshKey = "refresh_token";

private:
    void tighten() const;
    QString m_path;
};
