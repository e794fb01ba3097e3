// Platform services: the token file, typed JSON readers, device naming and the log.
#include "DeviceInfo.h"
#include "JsonRead.h"
#include "Log.h"
#include "OrvelApi.h"
#include "StallMeter.h"
#include "TestSupport.h"
#include "TokenStore.h"
#include "WeekStore.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

class TestPlatform : public QObject {
    Q_OBJECT
  private slots:
    void tokenFileIsOwnerOnly() {
        QTemporaryDir dir;
        const QString a1 = QStringLiteral("with=equals&;\"quotes\"");
        TokenStore store(dir.filePath(QStringLiteral("sub/tokens.ini")));
        store.write(QStringLiteral("access_token"), a1);
        QCOMPARE(QFile::permissions(store.filePath()) & 0x7077,
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(TokenStore(store.filePath()).read(QStringLiteral("access_token")),
                 std::optional<QString>(a1));
        QVERIFY(!store.read(QStringLiteral("refresh_token")));

        // A file that somebody loosened is tightened again by the next write.
        QFile::setPermissions(store.filePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                    QFileDevice::ReadOther |
                                                    QFileDevice::ReadGroup);
        store.write(QStringLiteral("refresh_token"), QStringLiteral("r1"));
        QCOMPARE(QFile::permissions(store.filePath()) & 0x7077,
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    // Whatever file it meets, the store ends up working, owner-only, with its rows bounded and
    // every account's weeks its own.
    void weekStore_data() {
        QTest::addColumn<QByteArray>("found"); // "" none, "version N" (with a foreign table)
        QTest::addColumn<int>("asideFiles");
        QTest::newRow("no file") << QByteArray() << 0;
        QTest::newRow("not a database") << QByteArray("SQLite format 3\0garbage", 24) << 1;
        QTest::newRow("another schema") << QByteArray("version 7") << 1;
        QTest::newRow("own version, other tables") << QByteArray("version 1") << 1;
    }
    void weekStore() {
        QFETCH(QByteArray, found);
        QFETCH(int, asideFiles);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("weeks.sqlite"));
        if (found.startsWith("version ")) {
            auto db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery(db).exec(QStringLiteral("PRAGMA user_version = ") + found.mid(8));
            QSqlQuery(db).exec(QStringLiteral("CREATE TABLE shown(a)"));
            db.close();
            db = {};
            QSqlDatabase::removeDatabase(QStringLiteral("old"));
        } else if (!found.isEmpty()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(found) == found.size());
        }
        LogCapture log;
        WeekStore store(path);
        const QString a = QStringLiteral("id:1"), b = QStringLiteral("id:2");
        const WeekStore::Subject group{QStringLiteral("student"), QStringLiteral("ФИТ\nИТ-21")};
        const WeekStore::Subject teacher{QStringLiteral("teacher"), QStringLiteral("0")};
        const QDate monday(2025, 3, 3);
        const QDateTime at = QDateTime::fromSecsSinceEpoch(1741000000);
        for (int w = 0; w < WeekStore::weeksPerSubject + 5; ++w)
            store.putWeek(a, group, monday.addDays(-7 * w), {{"schedule", w}}, at);
        QCOMPARE(log.lines.size(), asideFiles);
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("*.broken-*")}).size(), asideFiles);
        for (const QString& file : {path, path + QStringLiteral("-wal")})
            QCOMPARE(QFile::permissions(file) & 0x7077,
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        // The newest weeks stay, the oldest go; of six subjects, the one fetched longest ago.
        QCOMPARE(store.week(a, group, monday)->answer, (QJsonObject{{"schedule", 0}}));
        QCOMPARE(store.week(a, group, monday)->fetched, at);
        QVERIFY(store.week(a, group, monday.addDays(-7 * 39)));
        QVERIFY(!store.week(a, group, monday.addDays(-7 * 40)));
        for (int t = 0; t < WeekStore::subjectsPerAccount; ++t)
            store.putWeek(a, {teacher.mode, QString::number(t)}, monday, {}, at.addSecs(t + 1));
        QVERIFY(!store.week(a, group, monday));
        QVERIFY(store.week(a, teacher, monday));

        // Another account sees none of it, and erasing one leaves the other.
        store.setLastShown(a, group);
        store.putWeek(b, group, monday, {{"b", 1}}, at);
        store.setPreferences(a, {{"settings__theme", "dark"}});
        store.setPreferences(b, {{"settings__theme", "light"}});
        QVERIFY(!store.lastShown(b));
        QCOMPARE(store.preferences(a), (QJsonObject{{"settings__theme", "dark"}}));
        QCOMPARE(store.lastShown(a), group);
        QCOMPARE(store.lastAccount(), a);
        store.eraseAccount(a);
        QVERIFY(!store.lastShown(a) && !store.week(a, teacher, monday) && !store.preferences(a));
        QVERIFY(store.preferences(b));
        QVERIFY(store.lastAccount().isEmpty());
        QVERIFY(WeekStore(path).week(b, group, monday)); // kept on disk
        QCOMPARE(log.lines.size(), asideFiles);
    }

    void jsonReaders_data() {
        QTest::addColumn<QByteArray>("json"); // {"v": ...}
        QTest::addColumn<QString>("asText");  // "-" when absent
        QTest::addColumn<QString>("asInt");
        QTest::addColumn<QString>("asBool");
        const auto row = [](const char* name, const char* v, const char* t, const char* i,
                            const char* b) {
            QTest::newRow(name) << QByteArray(v) << QString(t) << QString(i) << QString(b);
        };
        // clang-format off
        row("text", R"({"v":"1"})", "1", "-", "-");
        row("true", R"({"v":true})", "-", "1", "true");
        row("one", R"({"v":1})", "-", "1", "true");
        row("zero", R"({"v":0})", "-", "0", "false");
        row("two", R"({"v":2})", "-", "2", "-");
        row("fraction", R"({"v":1.5})", "-", "-", "-");
        row("negative", R"({"v":-7})", "-", "-7", "-");
        row("huge", R"({"v":1e300})", "-", "-", "-");
        row("null", R"({"v":null})", "-", "-", "-");
        row("array", R"({"v":[1]})", "-", "-", "-");
        // clang-format on
    }
    void jsonReaders() {
        QFETCH(QByteArray, json);
        QFETCH(QString, asText);
        QFETCH(QString, asInt);
        QFETCH(QString, asBool);
        const QJsonValue v = QJsonDocument::fromJson(json).object().value(QStringLiteral("v"));
        const auto t = Json::text(v);
        const auto i = Json::integer(v);
        const auto b = Json::boolean(v);
        QCOMPARE(t ? *t : QStringLiteral("-"), asText);
        QCOMPARE(i ? QString::number(*i) : QStringLiteral("-"), asInt);
        QCOMPARE(b ? (*b ? QStringLiteral("true") : QStringLiteral("false")) : QStringLiteral("-"),
                 asBool);
    }

    void deviceNames_data() {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("name");
        // clang-format off
        QTest::newRow("mac") << "Mac16,8" << "MacBook Pro (14-inch, M4 Pro/Max, 2024)";
        QTest::newRow("wrong case") << "mac14,2" << "mac14,2";
        QTest::newRow("unknown") << "Unknown Mac" << "Unknown Mac";
        // clang-format on
    }
    void deviceNames() {
        QFETCH(QString, identifier);
        QFETCH(QString, name);
        QCOMPARE(DeviceInfo::deviceMarketingName(identifier), name);
    }

    void modelIdentifierFromDmi_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("line break, nul and spaces")
            << QByteArray(" OptiPlex 7090\n\0", 16) << "OptiPlex 7090";
        QTest::newRow("empty") << QByteArray() << "Unknown Mac";
        QTest::newRow("not utf-8") << QByteArray("\xff\xfe\xfd") << "Unknown Mac";
    }
    void modelIdentifierFromDmi() {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("product_name")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        QCOMPARE(DeviceInfo::modelIdentifierFromFile(f.fileName()), expected);
        QCOMPARE(DeviceInfo::modelIdentifierFromFile(dir.filePath(QStringLiteral("missing"))),
                 QStringLiteral("Unknown Mac"));
    }

    void logScrubsSecrets() {
        LogCapture log;
        OrvelApi api(QStringLiteral("http://127.0.0.1:1"), QStringLiteral("eyJhbGciOi.secret"),
                     QStringLiteral("refresh-secret-value"));
        Log::line(QStringLiteral("token eyJhbGciOi.secret and refresh-secret-value leaked"));
        QCOMPARE(log.lines.size(), 1);
        QVERIFY(!log.lines.first().contains(QStringLiteral("secret")));
        QVERIFY(log.lines.first().contains(QStringLiteral("***")));
    }

    // The end-to-end bound must still catch the window's own long work, and must not charge
    // it with time the main thread spent not running (a loaded machine, seen as a sleep here).
    void stallMeterChargesOnlyOwnWork() {
        for (const bool busy : {true, false}) {
            StallMeter meter;
            meter.start(QStringLiteral("probe"));
            QTest::qWait(20);
            // Counted in the thread's own time, so a loaded machine cannot shorten the work.
            const double begin = StallMeter::threadCpuMs();
            volatile quint64 sink = 0;
            while (busy && StallMeter::threadCpuMs() - begin < 150)
                sink = sink + 1;
            if (!busy)
                QThread::msleep(150);
            QTest::qWait(20);
            QVERIFY(meter.worstWallMs() >= 140);
            QVERIFY2(busy ? meter.worstMs() > StallMeter::boundMs : meter.worstMs() < 50,
                     qPrintable(meter.report()));
        }
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
