#include "TokenStore.h"

#include "Log.h"

#include <QCoroSignal>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <qt6keychain/keychain.h>

#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString defaultPath() {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    return dir + QStringLiteral("/tokens.ini");
}

const QString keyringService = QStringLiteral("org.orvelbox.OrvelBox");
const QString secretsName = QStringLiteral("org.freedesktop.secrets");
const QString keyringItem = QStringLiteral("token_pair");

QByteArray encoded(const TokenPair& pair) {
    QJsonObject o;
    if (pair.access)
        o.insert(QLatin1String(TokenStore::accessKey), *pair.access);
    if (pair.refresh)
        o.insert(QLatin1String(TokenStore::refreshKey), *pair.refresh);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

TokenPair decoded(const QByteArray& data) {
    const QJsonObject o = QJsonDocument::fromJson(data).object();
    const auto text = [&](const char* key) -> std::optional<QString> {
        const QJsonValue v = o.value(QLatin1String(key));
        return v.isString() ? std::optional(v.toString()) : std::nullopt;
    };
    return {text(TokenStore::accessKey), text(TokenStore::refreshKey)};
}
} // namespace

// The Secret Service through QtKeychain. Its jobs run one after another in the order they were
// started; writes and deletions are not awaited by anyone, only counted, so that an exit can
// wait for them.
class Keyring {
  public:
    // Only a Secret Service that is running counts: asking for the name would make the bus
    // start one (gnome-keyring is activatable), which may sit locked behind a password prompt.
    static bool present() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        return bus.isConnected() && bus.interface() &&
               bus.interface()->isServiceRegistered(secretsName);
    }

    enum class Outcome { found, absent, failed, silent };
    struct Read {
        Outcome outcome;
        TokenPair pair;
        QString error;
    };

    QCoro::Task<Read> read(int boundMs) {
        QElapsedTimer spent;
        spent.start();
        // Asked directly first: a service that never answers then holds up only this call,
        // not QtKeychain's queue of jobs (which runs them one at a time) for the whole run.
        QDBusMessage probe = QDBusMessage::createMethodCall(
            secretsName, QStringLiteral("/org/freedesktop/secrets"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        probe << QStringLiteral("org.freedesktop.Secret.Service") << QStringLiteral("Collections");
        auto* watcher = new QDBusPendingCallWatcher(
            QDBusConnection::sessionBus().asyncCall(probe, boundMs), &m_context);
        co_await qCoro(watcher, &QDBusPendingCallWatcher::finished);
        watcher->deleteLater();
        if (watcher->isError()) {
            const QDBusError::ErrorType e = watcher->error().type();
            if (e == QDBusError::NoReply || e == QDBusError::Timeout)
                co_return Read{Outcome::silent, {}, {}};
            co_return Read{Outcome::failed, {}, watcher->error().name()};
        }

        auto* job = new QKeychain::ReadPasswordJob(keyringService);
        job->setAutoDelete(false);
        job->setKey(keyringItem);
        auto finished =
            qCoro(job, &QKeychain::Job::finished,
                  std::chrono::milliseconds(qMax<qint64>(boundMs - spent.elapsed(), 1)));
        job->start();
        if (!co_await std::move(finished)) {
            // Left to end whenever it does; nobody reads it any more.
            QObject::connect(job, &QKeychain::Job::finished, job, &QObject::deleteLater);
            co_return Read{Outcome::silent, {}, {}};
        }
        job->deleteLater();
        if (job->error() == QKeychain::EntryNotFound)
            co_return Read{Outcome::absent, {}, {}};
        if (job->error() != QKeychain::NoError)
            co_return Read{Outcome::failed, {}, job->errorString()};
        co_return Read{Outcome::found, decoded(job->textData().toUtf8()), {}};
    }

    // `done` learns whether the keyring took the pair.
    void write(const TokenPair& pair, std::function<void(bool, QString)> done) {
        auto* job = new QKeychain::WritePasswordJob(keyringService);
        job->setTextData(QString::fromUtf8(encoded(pair)));
        run(job, std::move(done));
    }

    void erase() {
        run(new QKeychain::DeletePasswordJob(keyringService), [](bool, const QString&) {});
    }

    bool flush(int ms) {
        if (m_pending == 0)
            return true;
        QEventLoop loop;
        m_idle = [&loop] { loop.quit(); };
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        m_idle = nullptr;
        return m_pending == 0;
    }

  private:
    void run(QKeychain::Job* job, std::function<void(bool, QString)> done) {
        job->setKey(keyringItem);
        ++m_pending;
        QObject::connect(job, &QKeychain::Job::finished, &m_context, [this, job, done] {
            --m_pending;
            const bool ok =
                job->error() == QKeychain::NoError || job->error() == QKeychain::EntryNotFound;
            done(ok, job->errorString());
            if (m_pending == 0 && m_idle)
                m_idle();
        });
        job->start();
    }

    QObject m_context; // ends the callbacks with the keyring
    int m_pending = 0;
    std::function<void()> m_idle;
};

TokenStore::TokenStore()
    : TokenStore(defaultPath(), qEnvironmentVariable("ORVEL_TOKEN_STORE") == u"file"
                                    ? KeyringUse::never
                                    : KeyringUse::whereAnswering) {}

TokenStore::TokenStore(QString filePath, KeyringUse keyring)
    : m_path(std::move(filePath)), m_keyringUse(keyring) {}

TokenStore::~TokenStore() {
    if (m_keyring && !m_keyring->flush(keyringBoundMs))
        Log::line(Log::session(),
                  QStringLiteral("Связка ключей не приняла последние изменения токенов"));
}

bool TokenStore::inKeyring() const {
    return m_keyring && m_keyringUse == KeyringUse::whereAnswering;
}

bool TokenStore::flush(int ms) {
    return !m_keyring || m_keyring->flush(ms);
}

QCoro::Task<TokenPair> TokenStore::load() {
    const TokenPair inFile{read(QLatin1String(accessKey)), read(QLatin1String(refreshKey))};
    if (m_keyringUse == KeyringUse::never || !Keyring::present()) {
        m_keyringUse = KeyringUse::never;
        m_pair = inFile;
        co_return m_pair;
    }
    m_keyring = std::make_unique<Keyring>();
    const Keyring::Read found = co_await m_keyring->read(keyringBoundMs);
    if (found.outcome == Keyring::Outcome::silent || found.outcome == Keyring::Outcome::failed) {
        // Kept for erase(): the pair may still be in there.
        m_keyringUse = KeyringUse::never;
        Log::line(
            Log::session(),
            found.outcome == Keyring::Outcome::silent
                ? QStringLiteral("Связка ключей не ответила за %1 мс: токены хранятся в файле")
                      .arg(keyringBoundMs)
                : QStringLiteral("Связка ключей недоступна (%1): токены хранятся в файле")
                      .arg(found.error));
        m_pair = inFile;
        co_return m_pair;
    }
    // A pair in the file is always the newer one: the keyring never leaves one there.
    if (!inFile.access && !inFile.refresh) {
        m_pair = found.pair;
        co_return m_pair;
    }
    m_pair = inFile;
    m_keyring->write(m_pair, [this](bool ok, const QString& error) {
        if (ok) {
            if (inKeyring())
                QFile::remove(m_path);
            return;
        }
        // The file stays the pair's home for this run, so that it never falls behind the keyring.
        m_keyringUse = KeyringUse::never;
        Log::line(Log::session(),
                  QStringLiteral("Связка ключей не приняла токены (%1): они остаются в файле")
                      .arg(error));
    });
    co_return m_pair;
}

void TokenStore::save(const QString& access, const std::optional<QString>& refresh) {
    m_pair.access = access;
    if (refresh)
        m_pair.refresh = refresh;
    if (!inKeyring()) {
        writeFile({access, refresh});
        return;
    }
    m_keyring->write(m_pair, [this](bool ok, const QString& error) {
        if (ok)
            return;
        // Not lost to a keyring that refused it: the file keeps it for the rest of this run,
        // and the next start moves it into the keyring.
        Log::line(Log::session(),
                  QStringLiteral("Связка ключей не приняла токены (%1): они хранятся в файле")
                      .arg(error));
        m_keyringUse = KeyringUse::never;
        writeFile(m_pair); // empty when the pair was erased meanwhile
    });
}

void TokenStore::erase() {
    m_pair = {};
    if (m_keyring)
        m_keyring->erase();
    remove(QLatin1String(accessKey));
    remove(QLatin1String(refreshKey));
}

void TokenStore::writeFile(const TokenPair& pair) {
    if (pair.access)
        write(QLatin1String(accessKey), *pair.access);
    if (pair.refresh)
        write(QLatin1String(refreshKey), *pair.refresh);
}

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
