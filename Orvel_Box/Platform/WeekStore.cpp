#include "WeekStore.h"

#include "Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThreadPool>
#include <QVariant>
#include <functional>
#include <map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString& sharedPathSetting() {
    static QString path;
    return path;
}

QString defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/weeks.sqlite");
}

// Created owner-only before SQLite touches it: SQLite gives its journal files the mode of the
// database file, so they are owner-only too.
bool createOwnerOnly(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray native = QFile::encodeName(path);
    if (!QFileInfo::exists(path)) {
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL, S_IRUSR | S_IWUSR);
        if (fd < 0)
            return false;
        ::close(fd);
    }
    return ::chmod(native.constData(), S_IRUSR | S_IWUSR) == 0;
}

const char* const schema[] = {
    "CREATE TABLE weeks(account TEXT NOT NULL, mode TEXT NOT NULL, subject TEXT NOT NULL,"
    " monday TEXT NOT NULL, answer TEXT NOT NULL, fetched INTEGER NOT NULL,"
    " PRIMARY KEY(account, mode, subject, monday)) WITHOUT ROWID",
    "CREATE TABLE shown(account TEXT PRIMARY KEY, mode TEXT NOT NULL, subject TEXT NOT NULL)",
    "CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL)",
};
// Added after the first files were written; a file without it gains it, keeping its weeks.
const char* const preferencesTable =
    "CREATE TABLE IF NOT EXISTS preferences(account TEXT PRIMARY KEY, value TEXT NOT NULL)";
} // namespace

void WeekStore::loadDriverSoon() {
    QThreadPool::globalInstance()->start(
        [] { QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")); });
}

// One open database with its statements prepared once.
class WeekStore::Connection {
  public:
    explicit Connection(const QString& path)
        : m_name(QStringLiteral("weekstore-%1").arg(quintptr(this))) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        m_ok = db.open() && setUp(db);
    }
    ~Connection() {
        m_statements.clear();
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    bool ok() const { return m_ok; }
    QString error() const { return m_error; }

    // The statement `sql`, prepared on first use, with `values` bound in order; executed.
    QSqlQuery* exec(const char* sql, const QVariantList& values) {
        auto it = m_statements.find(sql);
        if (it == m_statements.end()) {
            auto q = std::make_unique<QSqlQuery>(QSqlDatabase::database(m_name, false));
            if (!q->prepare(QString::fromLatin1(sql)))
                return fail(q->lastError());
            it = m_statements.emplace(sql, std::move(q)).first;
        }
        QSqlQuery* q = it->second.get();
        for (int i = 0; i < values.size(); ++i)
            q->bindValue(i, values[i]);
        if (!q->exec())
            return fail(q->lastError());
        return q;
    }
    bool transaction(const std::function<bool()>& work) {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (!db.transaction()) {
            fail(db.lastError());
            return false;
        }
        if (work() && db.commit())
            return true;
        if (m_error.isEmpty())
            m_error = db.lastError().text();
        db.rollback();
        return false;
    }

  private:
    QSqlQuery* fail(const QSqlError& e) {
        m_error = e.text();
        return nullptr;
    }
    bool plain(QSqlDatabase& db, const QString& sql, QVariant* first = nullptr) {
        QSqlQuery q(db);
        if (!q.exec(sql))
            return fail(q.lastError()), false;
        if (first)
            *first = q.next() ? q.value(0) : QVariant();
        return true;
    }
    bool setUp(QSqlDatabase& db) {
        QVariant version;
        if (!plain(db, QStringLiteral("PRAGMA user_version"), &version))
            return false;
        if (version.toInt() == 0) {
            for (const char* sql : schema)
                if (!plain(db, QString::fromLatin1(sql)))
                    return false;
            if (!plain(db, QStringLiteral("PRAGMA user_version = %1").arg(schemaVersion)))
                return false;
        } else if (version.toInt() != schemaVersion) {
            m_error = QStringLiteral("schema version %1").arg(version.toInt());
            return false;
        }
        // Deleted weeks are overwritten, not merely unlinked: a signed-out account's timetable
        // should not be recoverable from the free pages.
        return plain(db, QString::fromLatin1(preferencesTable)) &&
               plain(db, QStringLiteral("PRAGMA journal_mode = WAL")) &&
               plain(db, QStringLiteral("PRAGMA synchronous = NORMAL")) &&
               plain(db, QStringLiteral("PRAGMA secure_delete = ON")) &&
               plain(db, QStringLiteral("PRAGMA busy_timeout = 200")) &&
               // Reading a table proves the file is a database of ours, not just a header.
               plain(db, QStringLiteral("SELECT count(*) FROM shown"));
    }

    QString m_name;
    bool m_ok = false;
    QString m_error;
    std::map<const char*, std::unique_ptr<QSqlQuery>> m_statements;
};

WeekStore::WeekStore(QString filePath) : m_path(std::move(filePath)) {}
WeekStore::~WeekStore() = default;

WeekStore& WeekStore::shared() {
    static std::unique_ptr<WeekStore> store;
    const QString path = sharedPathSetting().isEmpty() ? defaultPath() : sharedPathSetting();
    if (!store || store->filePath() != path) {
        // Closed while Qt's SQL layer still exists, not among the static destructors.
        if (!store)
            qAddPostRoutine([] { store.reset(); });
        store = std::make_unique<WeekStore>(path);
    }
    return *store;
}

void WeekStore::setSharedPath(const QString& filePath) {
    sharedPathSetting() = filePath;
}

template <typename Work> bool WeekStore::run(Work work) {
    for (int attempt = 0; attempt < 2 && !m_broken; ++attempt) {
        if (!m_db) {
            if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
                Log::line(Log::timetable(),
                          QStringLiteral("Хранилище недель недоступно: нет SQLite"));
                m_broken = true;
                return false;
            }
            if (createOwnerOnly(m_path))
                m_db = std::make_unique<Connection>(m_path);
        }
        if (m_db && m_db->ok() && work(*m_db))
            return true;
        // Whatever is wrong with the file, a fresh one is better than none: move it aside so
        // it can still be looked at, and start again.
        const QString why = m_db ? m_db->error() : QStringLiteral("cannot create the file");
        m_db.reset();
        const QString aside =
            m_path + QStringLiteral(".broken-") +
            QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-hhmmss"));
        QFile::remove(aside);
        const bool moved = QFile::rename(m_path, aside);
        QFile::remove(m_path + QStringLiteral("-wal"));
        QFile::remove(m_path + QStringLiteral("-shm"));
        Log::line(Log::timetable(), QStringLiteral("Хранилище недель %1 (%2): %3")
                                        .arg(moved ? QStringLiteral("отложено в ") + aside
                                                   : QStringLiteral("не открылось"),
                                             m_path, why));
    }
    m_broken = true;
    return false;
}

void WeekStore::openIfKept() {
    if (QFileInfo::exists(m_path))
        run([](Connection&) { return true; });
}

std::optional<WeekStore::Week> WeekStore::week(const QString& account, const Subject& subject,
                                               QDate monday) {
    std::optional<Week> out;
    run([&](Connection& c) {
        QSqlQuery* q = c.exec("SELECT answer, fetched FROM weeks WHERE account = ? AND mode = ?"
                              " AND subject = ? AND monday = ?",
                              {account, subject.mode, subject.key, monday.toString(Qt::ISODate)});
        if (!q)
            return false;
        if (q->next()) {
            const QJsonDocument doc = QJsonDocument::fromJson(q->value(0).toByteArray());
            if (doc.isObject())
                out = Week{doc.object(), QDateTime::fromMSecsSinceEpoch(q->value(1).toLongLong())};
        }
        q->finish();
        return true;
    });
    return out;
}

QList<std::pair<QDate, WeekStore::Week>> WeekStore::weeks(const QString& account,
                                                          const Subject& subject) {
    QList<std::pair<QDate, Week>> out;
    run([&](Connection& c) {
        out.clear();
        QSqlQuery* q = c.exec("SELECT monday, answer, fetched FROM weeks WHERE account = ?"
                              " AND mode = ? AND subject = ? ORDER BY monday",
                              {account, subject.mode, subject.key});
        if (!q)
            return false;
        while (q->next()) {
            const QJsonDocument doc = QJsonDocument::fromJson(q->value(1).toByteArray());
            const QDate monday = QDate::fromString(q->value(0).toString(), Qt::ISODate);
            if (doc.isObject() && monday.isValid())
                out.append({monday, Week{doc.object(), QDateTime::fromMSecsSinceEpoch(
                                                           q->value(2).toLongLong())}});
        }
        q->finish();
        return true;
    });
    return out;
}

void WeekStore::putWeek(const QString& account, const Subject& subject, QDate monday,
                        const QJsonObject& answer, const QDateTime& fetched) {
    const QString day = monday.toString(Qt::ISODate);
    const QByteArray json = QJsonDocument(answer).toJson(QJsonDocument::Compact);
    run([&](Connection& c) {
        return c.transaction([&] {
            return c.exec("INSERT OR REPLACE INTO weeks(account, mode, subject, monday, answer,"
                          " fetched) VALUES(?, ?, ?, ?, ?, ?)",
                          {account, subject.mode, subject.key, day, QString::fromUtf8(json),
                           fetched.toMSecsSinceEpoch()}) &&
                   // The newest weeks of the subject, and the subjects fetched most recently.
                   c.exec("DELETE FROM weeks WHERE account = ? AND mode = ? AND subject = ?"
                          " AND monday NOT IN (SELECT monday FROM weeks WHERE account = ?"
                          " AND mode = ? AND subject = ? ORDER BY monday DESC LIMIT ?)",
                          {account, subject.mode, subject.key, account, subject.mode, subject.key,
                           weeksPerSubject}) &&
                   c.exec("DELETE FROM weeks WHERE account = ? AND (mode, subject) NOT IN"
                          " (SELECT mode, subject FROM weeks WHERE account = ?"
                          " GROUP BY mode, subject ORDER BY max(fetched) DESC LIMIT ?)",
                          {account, account, subjectsPerAccount});
        });
    });
}

std::optional<WeekStore::Subject> WeekStore::lastShown(const QString& account) {
    std::optional<Subject> out;
    run([&](Connection& c) {
        QSqlQuery* q = c.exec("SELECT mode, subject FROM shown WHERE account = ?", {account});
        if (!q)
            return false;
        if (q->next())
            out = Subject{q->value(0).toString(), q->value(1).toString()};
        q->finish();
        return true;
    });
    return out;
}

void WeekStore::setLastShown(const QString& account, const Subject& subject) {
    run([&](Connection& c) {
        return c.transaction([&] {
            return c.exec("INSERT OR REPLACE INTO shown(account, mode, subject) VALUES(?, ?, ?)",
                          {account, subject.mode, subject.key}) &&
                   c.exec("INSERT OR REPLACE INTO meta(key, value) VALUES('account', ?)",
                          {account});
        });
    });
}

QString WeekStore::lastAccount() {
    QString out;
    run([&](Connection& c) {
        QSqlQuery* q = c.exec("SELECT value FROM meta WHERE key = 'account'", {});
        if (!q)
            return false;
        if (q->next())
            out = q->value(0).toString();
        q->finish();
        return true;
    });
    return out;
}

std::optional<QJsonObject> WeekStore::preferences(const QString& account) {
    std::optional<QJsonObject> out;
    run([&](Connection& c) {
        QSqlQuery* q = c.exec("SELECT value FROM preferences WHERE account = ?", {account});
        if (!q)
            return false;
        if (q->next()) {
            const QJsonDocument doc = QJsonDocument::fromJson(q->value(0).toByteArray());
            if (doc.isObject())
                out = doc.object();
        }
        q->finish();
        return true;
    });
    return out;
}

void WeekStore::setPreferences(const QString& account, const QJsonObject& values) {
    const QByteArray json = QJsonDocument(values).toJson(QJsonDocument::Compact);
    run([&](Connection& c) {
        return c.exec("INSERT OR REPLACE INTO preferences(account, value) VALUES(?, ?)",
                      {account, QString::fromUtf8(json)}) != nullptr;
    });
}

namespace {
template <typename C> bool checkpoint(C& c) {
    QSqlQuery* q = c.exec("PRAGMA wal_checkpoint(TRUNCATE)", {});
    if (q)
        q->finish();
    return q;
}
} // namespace

void WeekStore::eraseAccount(const QString& account) {
    run([&](Connection& c) {
        return c.transaction([&] {
            return c.exec("DELETE FROM weeks WHERE account = ?", {account}) &&
                   c.exec("DELETE FROM shown WHERE account = ?", {account}) &&
                   c.exec("DELETE FROM preferences WHERE account = ?", {account}) &&
                   c.exec("DELETE FROM meta WHERE key = 'account' AND value = ?", {account});
        }) &&
               // Old pages of the erased rows also leave the write-ahead log.
               checkpoint(c);
    });
}
