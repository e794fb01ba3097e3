// Start-up decision and sign-out of the coordinator, with the token file on disk.
#include "CO.h"
#include "CoordinatorModel.h"
#include "Preferences.h"
#include "RequestGate.h"
#include "StandinServer.h"
#include "StandinSession.h"
#include "SystemColors.h"
#include "TestSupport.h"
#include "WeekStore.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTcpServer>
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

    // What the token file holds decides the start-up screen; a renewed pair is stored, one
    // the service refuses is erased, and an empty file is never written.
    void startUpFromStoredTokens_data() {
        QTest::addColumn<QString>("tokens"); // none, valid, expired, revoked
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("refreshes");
        QTest::addColumn<QString>("logged");
        QTest::newRow("none") << "none"
                              << "login" << 0 << "Ошибка при проверке авторизации: API Error: ";
        QTest::newRow("valid") << "valid"
                               << "home" << 0 << "";
        QTest::newRow("expired") << "expired"
                                 << "home" << 1 << "";
        QTest::newRow("revoked") << "revoked"
                                 << "login" << 1
                                 << "Ошибка при проверке авторизации: Token refresh failed;";
    }
    void startUpFromStoredTokens() {
        QFETCH(QString, tokens);
        QFETCH(QString, state);
        QFETCH(int, refreshes);
        QFETCH(QString, logged);
        QString refresh, access;
        if (tokens == u"revoked") {
            store->write(QStringLiteral("access_token"), QStringLiteral("stale-access"));
            store->write(QStringLiteral("refresh_token"), QStringLiteral("revoked-refresh"));
        } else if (tokens != u"none") {
            access = signInto(*server, QStringLiteral("student"), *store, &refresh);
        }
        if (tokens != u"valid")
            server->expireAccessTokens();
        LogCapture log;
        CO co(server->baseUrl(), store);
        QCOMPARE(co.appState(), CO::appStates::loading);
        QVERIFY(settles(co));
        QCOMPARE(co.stateName(), state);
        QCOMPARE(server->count(QStringLiteral("POST"), QStringLiteral("/api/auth/refresh")),
                 refreshes);
        QVERIFY(logged.isEmpty() || log.contains(logged));
        if (tokens == u"none") {
            QVERIFY(log.lines.last().endsWith(u';'));
            QVERIFY(!QFileInfo::exists(store->filePath()));
            QVERIFY(!server->requests().value(0).headers.contains("authorization"));
        }
        QCOMPARE(stored(TokenStore::accessKey), co.api()->accessToken());
        QCOMPARE(stored(TokenStore::refreshKey), co.api()->refreshToken());
        QCOMPARE(stored(TokenStore::accessKey).has_value(), state == u"home");
        if (tokens == u"expired") {
            QVERIFY(stored(TokenStore::accessKey) != std::optional<QString>(access));
            QVERIFY(stored(TokenStore::refreshKey) != std::optional<QString>(refresh));
        }
    }

    // Only a failure without any answer keeps a signed-in user out (offline, with a retry
    // coming and the session kept); any answer decides as it always has, the service saying
    // "offline" included. The preference bootstrap goes offline either way.
    void startUpOutcome_data() {
        QTest::addColumn<QString>("path"); // the request that fails
        QTest::addColumn<int>("failure");  // 0 no network, 1 port closed, 2 dropped, else a status
        QTest::addColumn<QString>("screen");
        QTest::addColumn<bool>("retrying");
        const QString me = QStringLiteral("/api/users/me");
        const QString keys = QStringLiteral("/api/storage/keys");
        QTest::newRow("no network") << me << 0 << "offline" << true;
        QTest::newRow("refused connection") << me << 1 << "offline" << true;
        QTest::newRow("dropped connection") << me << 2 << "offline" << true;
        QTest::newRow("service says offline") << me << 503 << "login" << false;
        QTest::newRow("500") << me << 500 << "login" << false;
        QTest::newRow("bootstrap dropped") << keys << 2 << "offline" << true;
        QTest::newRow("bootstrap 500") << keys << 500 << "offline" << false;
        QTest::newRow("preference read 500") << "/api/storage/get" << 500 << "offline" << false;
    }
    void startUpOutcome() {
        QFETCH(QString, path);
        QFETCH(int, failure);
        QFETCH(QString, screen);
        QFETCH(bool, retrying);
        signInto(*server, QStringLiteral("student"), *store);
        QString base = server->baseUrl();
        QTcpServer closed;
        if (failure == 0)
            base = QStringLiteral("http://orvel-box-test.invalid");
        if (failure == 1) {
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            base = QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort());
            closed.close();
        }
        server->setFault(QStringLiteral("*"), path, // the preference read is a POST
                         failure == 2 ? fault::dropped()
                                      : fault::answer(failure, R"({"error":"Service offline"})"));
        OfflineRetry::setSecondMs(60000);
        LogCapture log;
        CoordinatorModel model(new CO(base, store));
        QVERIFY(detail::spinUntil([&] { return model.screen() != u"loading"; }, 10000));
        QCOMPARE(model.screen(), screen);
        OfflineRetry* retry = model.co()->offlineRetry();
        QCOMPARE(retry->active(), retrying);
        QCOMPARE(retry->secondsLeft(), retrying ? 2 : 0);
        QVERIFY(stored(TokenStore::accessKey));
        if (failure == 503)
            QVERIFY(log.lines.contains(QStringLiteral(
                "Ошибка при проверке авторизации: API Error: Service offline (Code: 503);")));
    }

    // The start-up check runs again when asked and when the network comes back (the countdown
    // ending is the window's journey), and a success goes on as a normal start; nothing goes
    // out while the countdown runs. A retry that times out waits the next, longer delay.
    void retryGetsIn_data() {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QString>("path");
        const QString me = QStringLiteral("/api/users/me");
        QTest::newRow("network back") << "network" << me;
        QTest::newRow("bootstrap retried") << "button"
                                           << "/api/storage/keys";
        QTest::newRow("retry times out") << "time-out" << me;
    }
    void retryGetsIn() {
        QFETCH(QString, trigger);
        QFETCH(QString, path);
        signInto(*server, QStringLiteral("student"), *store);
        server->setFault(QStringLiteral("GET"), path, fault::dropped());
        OfflineRetry::setSecondMs(60000);
        CoordinatorModel model(new CO(server->baseUrl(), store));
        OfflineRetry* retry = model.co()->offlineRetry();
        QVERIFY(detail::spinUntil([&] { return model.screen() == u"offline"; }, 10000));
        const int checks = server->count(QStringLiteral("GET"), QStringLiteral("/api/users/me"));
        const qsizetype sent = server->requests().size();
        server->clearFaults();
        model.co()->api()->setTimeoutMs(200);
        if (trigger == u"time-out")
            server->setFault(QStringLiteral("GET"), path, fault::delayed(5000));
        detail::spinUntil([] { return false; }, 150);
        QCOMPARE(server->requests().size(), sent);
        trigger == u"network" ? retry->networkReturned() : retry->retry();
        QVERIFY(retry->checking());
        QVERIFY(detail::spinUntil([&] { return !retry->checking(); }, 5000));
        QCOMPARE(server->count(QStringLiteral("GET"), QStringLiteral("/api/users/me")), checks + 1);
        QCOMPARE(retry->secondsLeft(), trigger == u"time-out" ? 4 : 0);
        QCOMPARE(retry->active(), trigger == u"time-out");
        if (trigger != u"time-out")
            QVERIFY(detail::spinUntil([&] { return model.screen() == u"home"; }, 5000));
    }

    // With this week of the account's last shown timetable kept, home shows before any answer,
    // in the kept colours, and asks nothing beyond the check and the preference load until they
    // succeed; the check's outcome decides what follows. Without a pair or this week kept, the
    // start is the loading screen as ever.
    void earlyStart_data() {
        QTest::addColumn<QString>("kept");    // "this week", "last week", "nothing"
        QTest::addColumn<QString>("service"); // "dark" (as kept), "light", "refused", "500", "down"
        QTest::addColumn<bool>("tokens");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("then");
        QTest::addColumn<int>("colourChanges");
        // clang-format off
        QTest::newRow("answers as kept") << "this week" << "dark" << true << "home" << "home" << 0;
        QTest::newRow("answers otherwise") << "this week" << "light" << true << "home" << "home" << 1;
        QTest::newRow("refresh refused") << "this week" << "refused" << true << "home" << "login" << 1;
        QTest::newRow("check answers 500") << "this week" << "500" << true << "home" << "login" << 1;
        QTest::newRow("unreachable") << "this week" << "down" << true << "home" << "offline" << 0;
        QTest::newRow("no token pair") << "this week" << "dark" << false << "loading" << "login" << 0;
        QTest::newRow("only last week kept") << "last week" << "dark" << true << "loading" << "home" << 1;
        QTest::newRow("nothing kept") << "nothing" << "dark" << true << "loading" << "home" << 1;
        // clang-format on
    }
    void earlyStart() {
        QFETCH(QString, kept);
        QFETCH(QString, service);
        QFETCH(bool, tokens);
        QFETCH(QString, first);
        QFETCH(QString, then);
        QFETCH(int, colourChanges);
        QTemporaryDir dir;
        WeekStore::setSharedPath(dir.filePath(QStringLiteral("weeks.sqlite")));
        WeekStore& weeks = WeekStore::shared();
        const QString login = QStringLiteral("student");
        const QString access = signInto(*server, login, *store);
        const auto me = await(OrvelApi(server->baseUrl(), access, std::nullopt).getMe());
        QJsonObject user = me->value();
        if (user.value(u"user").isObject())
            user = user.value(u"user").toObject();
        const QString account = QStringLiteral("id:%1").arg(user.value(u"id").toInteger());
        const WeekStore::Subject subject{QStringLiteral("teacher"), QStringLiteral("Иванов")};
        const QDate today = QDate::currentDate();
        const QDate monday = today.addDays(1 - today.dayOfWeek() - (kept == u"last week" ? 7 : 0));
        const QJsonObject keptValues{{"settings__theme", "dark"},
                                     {"settings__accent_color", "green"},
                                     {"settings__current_lesson", false},
                                     {"settings__next_lesson", true}};
        if (kept != u"nothing") {
            weeks.putWeek(account, subject, monday, {}, QDateTime::currentDateTime());
            weeks.setLastShown(account, subject);
            weeks.setPreferences(account, keptValues);
        }
        for (auto it = keptValues.begin(); it != keptValues.end(); ++it)
            server->setStorage(login, it.key(), it.value());
        if (service == u"light")
            server->setStorage(login, QStringLiteral("settings__theme"), QStringLiteral("light"));
        if (service == u"refused") {
            store->write(QStringLiteral("refresh_token"), QStringLiteral("revoked"));
            server->expireAccessTokens();
        }
        if (service == u"down" || service == u"500")
            server->setFault(QStringLiteral("GET"), QStringLiteral("/api/users/me"),
                             service == u"down" ? fault::dropped() : fault::answer(500));
        if (!tokens)
            QFile::remove(store->filePath());
        server->clearLog();
        OfflineRetry::setSecondMs(60000);

        CoordinatorModel model(new CO(server->baseUrl(), store));
        QSignalSpy colours(model.preferences(), &Preferences::changed);
        QCOMPARE(model.screen(), first);
        QCOMPARE(model.co()->early(), first == u"home");
        if (first == u"home")
            QCOMPARE(model.preferences()->theme(), QStringLiteral("dark"));
        QVERIFY(detail::spinUntil(
            [&] {
                return model.screen() == then && !model.co()->early() &&
                       (then != u"home" || !model.preferences()->loading());
            },
            10000));
        QCOMPARE(colours.count(), colourChanges);
        if (then == u"home") {
            // The same requests, in the same order, as a start with nothing kept.
            QStringList sent;
            for (const standin::LoggedRequest& r : server->requests())
                sent << r.method + u' ' + r.path;
            QCOMPARE(sent, QStringList({"GET /api/users/me", "GET /api/storage/keys",
                                        "POST /api/storage/get"}));
            QJsonObject expected = keptValues;
            expected[QStringLiteral("settings__theme")] = service;
            QCOMPARE(weeks.preferences(account), expected);
        }
        // A session the service refuses takes the account's kept week and colours with it; no
        // answer at all keeps them for the offline screen.
        if (service == u"refused" || service == u"500")
            QVERIFY(!weeks.lastShown(account) && !weeks.preferences(account));
        if (service == u"down")
            QVERIFY(weeks.lastShown(account) && weeks.preferences(account) == keptValues);
        QVERIFY(!RequestGate::instance().held());
        WeekStore::setSharedPath({});
    }

    void backoffSchedule() {
        const QList<int> seconds{2, 4, 8, 16, 30, 60, 60, 60};
        for (int i = 0; i < seconds.size(); ++i)
            QCOMPARE(OfflineRetry::delaySeconds(i), seconds.at(i));
    }

    void logoutEndsInLogin_data() {
        QTest::addColumn<bool>("serviceDown");
        QTest::newRow("service answers") << false;
        QTest::newRow("service down") << true;
    }
    void logoutEndsInLogin() {
        QFETCH(bool, serviceDown);
        signInto(*server, QStringLiteral("student"), *store);
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
