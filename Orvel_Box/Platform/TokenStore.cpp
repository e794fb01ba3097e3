#include "TokenStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString defaultPath() {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    return dir + QStringLiteral("/tokens.ini");
}
} // namespace

TokenStore::TokenStore() : TokenStore(defaultPath()) {}

TokenStore::TokenStore(QString filePath) : m_path(std::move(filePath)) {}

std::optional<QString> TokenStore::read(const QString& key) const {
    if (!QFileInfo::exists(m_path))
        return std::nullopt;
    QSettings s(m_path, QSettings::IniFormat);
    const QVariant v = s.value(key);
    if (!v.isValid())
        return std::nullopt;
    return v.toString();
}

void TokenStore::write(const QString& key, const QString& value) {
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    // Create the file owner-only before any secret is written, so no window exists in which
    // another user could read it.
    if (!QFileInfo::exists(m_path)) {
        const QByteArray native = QFile::encodeName(m_path);
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL, S_IRUSR | S_IWUSR);
        if (fd >= 0)
            ::close(fd);
    }
    tighten();
    {
        QSettings s(m_path, QSettings::IniFormat);
        s.setValue(key, value);
        s.sync();
    }
    tighten();
}

void TokenStore::remove(const QString& key) {
    if (!QFileInfo::exists(m_path))
        return;
    {
        QSettings s(m_path, QSettings::IniFormat);
        s.remove(key);
        s.sync();
    }
    tighten();
}

void TokenStore::tighten() const {
    // QSettings replaces the file on sync; whatever mode the new file got, take it back to 0600.
    if (QFileInfo::exists(m_path))
        QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}
