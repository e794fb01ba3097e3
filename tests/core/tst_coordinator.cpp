// Start-up decision and sign-out of the coordinator, with the token file on disk.
#include "CO.h"
#include "SystemColors.h"
#include "Preferences.h"
#include "StandinServer.h"
#include "StandinSession.h"
#include "TestSupport.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

class TestCoordinator : public QObject {
    Q_OBJECT
    FreshService service;
    std::unique_ptr<standin::Server>& server = service.server;
    std::shared_ptr<TokenStore>& store = service.store;

    static bool settles(CO& co) {
        return detail::spinUntil([&] { return co.appState() != CO::appStates::loading; }, 10000);
    }
    std::optional<QString> stored(const char* key) const {
        return store->read(QString::fromLatin1(key));
    }

  private slots:
    void init() { QVERIFY(service.start()); }
    void cleanup() { service.stop(); }

    void emptyStoreGoesToLoginAndWritesNothing() {
        LogCapture log;
        CO co(server->baseUrl(), store);
        QCOMPARE(co.appState(), CO::appStates::loading);
        QVERIFY(settles(co));
        QCOMPARE(co.appState(), CO::appStates::login);
        QCOMPARE(co.stateName(), QStringLiteral("login"));
        QVERIFY(!QFileInfo::exists(store->filePath()));
        QVERIFY(!server->requests().value(0).headers.contains("authorization"));
        QVERIFY(log.contains(QStringLiteral("Ошибка при проверке авторизации: API Error: ")));
        QVERIFY(log.lines.last().endsWith(u';'));
    }

    void validTokensGoHome() {
        QString refresh;
        store->write(QStringLiteral("access_token"),
                     server->issueTokens(QStringLiteral("student"), &refresh));
        store->write(QStringLiteral("refresh_token"), refresh);
        CO co(server->baseUrl(), store);
        QVERIFY(settles(co));
        QCOMPARE(co.appState(), CO::appStates::home);
        QCOMPARE(server->count(QStringLiteral("POST"), QStringLiteral("/api/auth/refresh")), 0);
    }

    void expiredAccessIsRenewedAndStored() {
        QString refresh;
        const QString access = server->issueTokens(QStringLiteral("student"), &refresh);
        store->write(QStringLiteral("access_token"), access);
        store->write(QStringLiteral("refresh_token"), refresh);
        server->expireAccessTokens();
        CO co(server->baseUrl(), store);
        QVERIFY(settles(co));
        QCOMPARE(co.appState(), CO::appStates::home);
        QCOMPARE(stored(TokenStore::accessKey), co.api()->accessToken());
        QCOMPARE(stored(TokenStore::refreshKey), co.api()->refreshToken());
        QVERIFY(stored(TokenStore::accessKey) != std::optional<QString>(access));
        QVERIFY(stored(TokenStore::refreshKey) != std::optional<QString>(refresh));
    }

    void unrefreshableTokensAreErased() {
        store->write(QStringLiteral("access_token"), QStringLiteral("stale-access"));
        store->write(QStringLiteral("refresh_token"), QStringLiteral("revoked-refresh"));
        LogCapture log;
        CO co(server->baseUrl(), store);
        QVERIFY(settles(co));
        QCOMPARE(co.appState(), CO::appStates::login);
        QVERIFY(!stored(TokenStore::accessKey));
        QVERIFY(!stored(TokenStore::refreshKey));
        QVERIFY(
            log.contains(QStringLiteral("Ошибка при проверке авторизации: Token refresh failed;")));
    }

    // Only a missing network is "offline", a screen with no way out; a service that merely
    // says the word sends the user to sign in.
    void offlineOnlyWithoutNetwork_data() {
        QTest::addColumn<bool>("network");
        QTest::addColumn<QString>("state");
        QTest::newRow("no network") << false << "offline";
        QTest::newRow("service says offline") << true << "login";
    }
    void offlineOnlyWithoutNetwork() {
        QFETCH(bool, network);
        QFETCH(QString, state);
        standin::Fault f;
        f.status = 503;
        f.body = R"({"error":"Service offline"})";
        server->setFault(QStringLiteral("GET"), QStringLiteral("/api/users/me"), f);
        LogCapture log;
        CO co(network ? server->baseUrl() : QStringLiteral("http://orvel-box-test.invalid"), store);
        QVERIFY(settles(co));
        QCOMPARE(co.stateName(), state);
        if (network)
            QCOMPARE(
                log.lines.last(),
                QStringLiteral(
                    "Ошибка при проверке авторизации: API Error: Service offline (Code: 503);"));
    }

    void logoutEndsInLogin_data() {
        QTest::addColumn<bool>("serviceDown");
        QTest::newRow("service answers") << false;
        QTest::newRow("service down") << true;
    }
    void logoutEndsInLogin() {
        QFETCH(bool, serviceDown);
        QString refresh;
        store->write(QStringLiteral("access_token"),
                     server->issueTokens(QStringLiteral("student"), &refresh));
        store->write(QStringLiteral("refresh_token"), refresh);
        CO co(server->baseUrl(), store);
        QVERIFY(settles(co));
        QCOMPARE(co.appState(), CO::appStates::home);
        if (serviceDown)
            server.reset();
        else
            server->clearLog();
        QSignalSpy spy(&co, &CO::appStateChanged);
        QVERIFY(awaitVoid(co.logout()));
        QCOMPARE(co.appState(), CO::appStates::login);
        QCOMPARE(spy.count(), 1);
        QVERIFY(!stored(TokenStore::accessKey));
        QVERIFY(!stored(TokenStore::refreshKey));
        if (!serviceDown)
            QCOMPARE(server->count(QStringLiteral("POST"), QStringLiteral("/api/auth/logout")), 1);
    }

    // A stored accent is one of twelve exact names; anything else falls back to blue.
    void accentNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("colour");
        for (const char* n : {"red", "orange", "yellow", "green", "mint", "teal", "cyan", "blue",
                              "indigo", "purple", "pink", "brown"})
            QTest::newRow(n) << n << n;
        for (const char* n : {"Red", " red", "magenta", "gray", ""})
            QTest::addRow("'%s' falls back", n) << n << "blue";
    }
    void accentNames() {
        QFETCH(QString, name);
        QFETCH(QString, colour);
        QCOMPARE(Preferences::accentColorOf(name), *SystemColors::named(colour));
    }
};

QTEST_GUILESS_MAIN(TestCoordinator)
#include "tst_coordinator.moc"
