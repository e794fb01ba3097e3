// The token pair in a real desktop keyring: gnome-keyring-daemon on the private session bus this
// test runs in (dbus-run-session), started and unlocked by the test once the cases that need no
// keyring (none on the bus, one that never answers) have run.
#include "CO.h"
#include "StandinSession.h"
#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusVirtualObject>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <signal.h>

namespace {
const QString secrets = QStringLiteral("org.freedesktop.secrets");

// Owns the Secret Service's name and never answers a call.
class SilentKeyring : public QDBusVirtualObject {
  public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage&, const QDBusConnection&) override { return true; }
};

bool secretsOwned() {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(secrets);
}

TokenPair loaded(TokenStore& store) {
    return await(store.load()).value_or(TokenPair{QStringLiteral("<no answer>"), std::nullopt});
}
} // namespace

class TestKeyring : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    uint daemonPid = 0;
    const TokenPair pair{QStringLiteral("a.1"), QStringLiteral("r.1")};

    QString file() const { return dir.filePath(QStringLiteral("tokens.ini")); }
    std::shared_ptr<TokenStore> store() const {
        return std::make_shared<TokenStore>(file(), TokenStore::KeyringUse::whereAnswering);
    }
    void writeFile() {
        TokenStore f(file());
        f.write(QString::fromLatin1(TokenStore::accessKey), *pair.access);
        f.write(QString::fromLatin1(TokenStore::refreshKey), *pair.refresh);
    }

  private slots:
    void initTestCase() {
        if (!QDBusConnection::sessionBus().isConnected() ||
            QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon")).isEmpty())
            QSKIP("keyring daemon cannot run: no session bus or no gnome-keyring-daemon");
        QVERIFY(!secretsOwned());
    }
    void cleanup() { QFile::remove(file()); }
    void cleanupTestCase() {
        if (daemonPid)
            ::kill(pid_t(daemonPid), SIGTERM);
    }

    // Nothing owns the name (and none is started for it): the file at once. A keyring that
    // never answers: the file after the bound, said once. Either way the file stays 0600.
    void withoutAnAnsweringKeyringTheFile_data() {
        QTest::addColumn<bool>("silent");
        QTest::newRow("no keyring on the bus") << false;
        QTest::newRow("keyring never answers") << true;
    }
    void withoutAnAnsweringKeyringTheFile() {
        QFETCH(bool, silent);
        writeFile();
        SilentKeyring stub;
        QDBusConnection bus =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("stub"));
        if (silent)
            QVERIFY(
                bus.registerVirtualObject(QStringLiteral("/"), &stub, QDBusConnection::SubPath) &&
                bus.registerService(secrets));
        LogCapture log;
        auto s = store();
        QElapsedTimer t;
        t.start();
        QCOMPARE(loaded(*s).refresh, pair.refresh);
        const int bound = silent ? TokenStore::keyringBoundMs : 0;
        QVERIFY2(t.elapsed() >= bound * 0.9 && t.elapsed() < bound + 1000,
                 qPrintable(QString::number(t.elapsed())));
        QCOMPARE(log.lines.size(), silent ? 1 : 0);
        s->save(QStringLiteral("a.2"), std::nullopt);
        QVERIFY(!s->inKeyring());
        QCOMPARE(TokenStore(file()).read(QStringLiteral("access_token")),
                 std::optional<QString>(QStringLiteral("a.2")));
        QCOMPARE(QFile::permissions(file()) & 0x7077,
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        bus.unregisterService(secrets);
        QVERIFY(detail::spinUntil([] { return !secretsOwned(); }, 5000));
    }

    void startKeyring() {
        QProcess daemon;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
        env.insert(QStringLiteral("HOME"), dir.path()); // a keyring of its own, made afresh
        daemon.setProcessEnvironment(env);
        daemon.start(QStringLiteral("gnome-keyring-daemon"),
                     {QStringLiteral("--unlock"), QStringLiteral("--components=secrets")});
        daemon.write("test-password");
        daemon.closeWriteChannel();
        if (!daemon.waitForFinished(10000) || daemon.exitCode() != 0 ||
            !detail::spinUntil(secretsOwned, 5000))
            QSKIP("keyring daemon cannot run here");
        daemonPid = QDBusConnection::sessionBus().interface()->servicePid(secrets);
    }

    // A file found at a start moves into the keyring and is gone once the keyring has it, even
    // when the program ends at once; a pair saved there is what the next start signs in with,
    // with no file anywhere, and signing out erases it there.
    void keyringKeepsThePair() {
        if (!daemonPid)
            QSKIP("keyring daemon cannot run here");
        LogCapture log;
        writeFile();
        auto first = store();
        QCOMPARE(loaded(*first).access, pair.access);
        QVERIFY(first->inKeyring());
        first.reset(); // an exit right away: the store waits for the keyring to take it
        QVERIFY(!QFileInfo::exists(file()));
        StandinSession session;
        QVERIFY(session.start());
        auto next = store();
        QCOMPARE(loaded(*next).refresh, pair.refresh);
        next->save(session.access, session.refresh);
        next.reset();
        {
            CO co(session.server->baseUrl(), store());
            QVERIFY(detail::spinUntil([&] { return co.appState() == CO::appStates::home; }, 10000));
            QVERIFY(awaitVoid(co.logout()));
        }
        QVERIFY(!loaded(*store()).access);
        QVERIFY(!QFileInfo::exists(file()));
        QVERIFY(log.lines.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestKeyring)
#include "tst_keyring.moc"
