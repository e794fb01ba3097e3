// Token renewal under concurrency (one refresh for many 401s, shared outcome, no loops), and
// which tokens a sign-in or a sign-out leaves.
#include "CO.h"
#include "OrvelApi.h"
#include "StandinSession.h"
#include "TestSupport.h"

#include <QTemporaryDir>

using OptText = std::optional<QString>;
Q_DECLARE_METATYPE(standin::Fault)
Q_DECLARE_METATYPE(OptText)

namespace {
// Starts n requests together, runs `meanwhile` while they are out, and waits for all of them.
QList<ApiResult> concurrently(OrvelApi* api, int n, const std::function<void()>& meanwhile = {}) {
    auto done = std::make_shared<QList<std::optional<ApiResult>>>(n);
    for (int i = 0; i < n; ++i)
        [](OrvelApi* a, int k, auto out) -> QCoro::Task<void> {
            (*out)[k] = co_await a->getMe();
        }(api, i, done);
    if (meanwhile)
        meanwhile();
    detail::spinUntil([&] { return !done->contains(std::nullopt); }, 10000);
    QList<ApiResult> out;
    for (const auto& r : *done)
        out.append(r.value_or(ApiError::transport(-1, QStringLiteral("no answer"))));
    return out;
}
} // namespace

class TestRefresh : public QObject {
    Q_OBJECT
    StandinSession session;
    standin::Server* server = nullptr;
    struct {
        QList<QPair<QString, OptText>> updates;
        int logouts = 0;
    } rec;
    std::unique_ptr<OrvelApi> api;

    int refreshCount() const {
        return server->count(QStringLiteral("POST"), QStringLiteral("/api/auth/refresh"));
    }
    int meCount() const {
        return server->count(QStringLiteral("GET"), QStringLiteral("/api/users/me"));
    }
    void scriptRefresh(int status, const QByteArray& body) {
        server->setFault(QStringLiteral("POST"), QStringLiteral("/api/auth/refresh"),
                         fault::delayed(300, fault::answer(status, body)));
    }

  private slots:
    void init() {
        QVERIFY(session.start());
        server = session.server.get();
        rec = {};
        api = std::make_unique<OrvelApi>(
            server->baseUrl(), session.access, session.refresh,
            [this](const QString& a, const OptText& r) {
                rec.updates.append({a, r});
            },
            [this] { ++rec.logouts; });
        server->expireAccessTokens();
        server->clearLog();
    }
    void cleanup() {
        api.reset();
        session.server.reset();
    }

    void fiveConcurrent401sShareOneRefresh() {
        // Slow, so every request meets its 401 while the refresh is out.
        server->setFault(QStringLiteral("POST"), QStringLiteral("/api/auth/refresh"),
                         fault::delayed(300));
        const auto results = concurrently(api.get(), 5);
        for (const auto& r : results)
            QVERIFY2(r.ok(), qPrintable(r.ok() ? QString() : r.error().description()));
        QCOMPARE(refreshCount(), 1);
        QCOMPARE(meCount(), 10);
        // The refresh carries the refresh token in its body and no bearer token; each request
        // is repeated exactly once, with the new token.
        const QByteArray newBearer = "Bearer " + api->accessToken().value().toUtf8();
        int withNew = 0;
        for (const auto& req : server->requests()) {
            if (req.path == u"/api/auth/refresh") {
                QVERIFY(!req.headers.contains("authorization"));
                QVERIFY(req.body.contains(session.refresh.toUtf8()));
            }
            withNew += req.path == u"/api/users/me" && req.headers["authorization"] == newBearer;
        }
        QCOMPARE(withNew, 5);
        QCOMPARE(rec.updates.size(), 1);
        QCOMPARE(rec.logouts, 0);
        // The finished refresh is not reused: a later expiry starts a new one.
        server->expireAccessTokens();
        QVERIFY(await(api->getMe())->ok());
        QCOMPARE(refreshCount(), 2);
        QCOMPARE(rec.updates.size(), 2);
    }

    // However the renewal fails (refused, lost on the way, or the repeat after it lost), every
    // waiting request fails alike, none is repeated for a refused pair, and the session is over.
    void failedRenewalEndsTheSession_data() {
        QTest::addColumn<standin::Fault>("refreshFault");
        QTest::addColumn<bool>("repeatDropped");
        QTest::addColumn<QString>("error"); // none: the transport's own
        QTest::newRow("refresh refused")
            << fault::delayed(300, fault::answer(401, R"({"error":"invalid refresh token"})"))
            << false << QStringLiteral("Token refresh failed");
        QTest::newRow("refresh dropped")
            << fault::delayed(300, fault::dropped()) << false << QString();
        QTest::newRow("repeat dropped") << fault::delayed(300) << true << QString();
    }
    void failedRenewalEndsTheSession() {
        QFETCH(standin::Fault, refreshFault);
        QFETCH(bool, repeatDropped);
        QFETCH(QString, error);
        server->setFault(QStringLiteral("POST"), QStringLiteral("/api/auth/refresh"), refreshFault);
        const auto results = concurrently(api.get(), 3, [&] {
            // Only the repeats meet the drop: every first send was answered 401 by now.
            QVERIFY(detail::spinUntil([&] { return meCount() >= 3 && refreshCount() >= 1; }, 5000));
            if (repeatDropped)
                server->setFault(QStringLiteral("GET"), QStringLiteral("/api/users/me"),
                                 fault::dropped());
        });
        for (const auto& r : results) {
            QVERIFY(!r.ok());
            QCOMPARE(r.error(), results.first().error());
        }
        const ApiError& e = results.first().error();
        QCOMPARE(e.isTransport(), error.isNull());
        if (!error.isNull())
            QVERIFY(e.is(OrvelApiError::refreshFailed) && e.description() == error);
        QCOMPARE(refreshCount(), 1);
        QCOMPARE(rec.updates.size(), repeatDropped ? 1 : 0);
        if (!repeatDropped)
            QCOMPARE(meCount(), 3);
        QVERIFY(!api->accessToken());
        QVERIFY(!api->refreshToken());
        QVERIFY(rec.logouts >= 1);
    }

    void refreshAnswerShapes_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<QString>("newRefresh"); // empty: the old one is kept
        QTest::newRow("no refresh_token keeps old")
            << 200 << QByteArray(R"({"access_token":"A2"})") << true << "";
        QTest::newRow("numeric refresh_token keeps old")
            << 200 << QByteArray(R"({"access_token":"A2","refresh_token":7})") << true << "";
        QTest::newRow("403 with access_token is success")
            << 403 << QByteArray(R"({"access_token":"A2","refresh_token":"R2"})") << true << "R2";
        QTest::newRow("numeric access_token")
            << 200 << QByteArray(R"({"access_token":5})") << false << "";
        QTest::newRow("200 empty object") << 200 << QByteArray("{}") << false << "";
    }
    // Through the application's coordinator, so the pair is checked where it is kept: in the
    // token file, not only in what the client reports.
    void refreshAnswerShapes() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, succeeds);
        QFETCH(QString, newRefresh);
        scriptRefresh(status, body);
        QTemporaryDir dir;
        auto store = std::make_shared<TokenStore>(dir.filePath(QStringLiteral("tokens.ini")));
        session.writeTo(*store);
        CO co(server->baseUrl(), store); // its start-up check meets the expired token
        QVERIFY(detail::spinUntil([&] { return co.appState() != CO::appStates::loading; }, 10000));
        QCOMPARE(co.appState(), CO::appStates::login);
        QCOMPARE(refreshCount(), 1);
        const auto stored = [&](const char* key) { return store->read(QString::fromLatin1(key)); };
        if (succeeds) {
            // "A2" is unknown to the service, so the repeat meets 401 again: an ordinary
            // failure, never a second refresh.
            QCOMPARE(meCount(), 2);
            const QString expectedRefresh = newRefresh.isEmpty() ? session.refresh : newRefresh;
            QCOMPARE(stored("access_token"), std::optional<QString>(QStringLiteral("A2")));
            QCOMPARE(stored("refresh_token"), std::optional<QString>(expectedRefresh));
        } else {
            QVERIFY(!stored("access_token"));
            QVERIFY(!stored("refresh_token"));
            QCOMPARE(meCount(), 1);
        }
    }

    // Signed out while a refresh was out: its answer is stored nowhere (one without a refresh
    // token once left an empty one for the next start to send).
    void refreshOutlivingASignOutStoresNothing() {
        scriptRefresh(200, R"({"access_token":"A2"})");
        server->setFault(QStringLiteral("POST"), QStringLiteral("/api/auth/logout"),
                         fault::answer(200, R"({"success":1})"));
        auto pending = api->getMe();
        QVERIFY(detail::spinUntil([&] { return refreshCount() == 1; }, 5000));
        QVERIFY(awaitVoid(api->logout()));
        const auto r = await(std::move(pending));
        QVERIFY(r && !r->ok());
        QVERIFY(r->error().is(OrvelApiError::refreshFailed));
        QCOMPARE(rec.updates.size(), 0);
        QVERIFY(!api->accessToken());
        QVERIFY(!api->refreshToken());
        QCOMPARE(meCount(), 1);
    }

    // Signing out ends the session here whatever the service answers.
    void logoutNeverFails_data() {
        QTest::addColumn<standin::Fault>("logoutFault");
        QTest::addColumn<bool>("refreshRefused");
        QTest::newRow("accepted") << standin::Fault() << false;
        QTest::newRow("500") << fault::answer(500) << false;
        QTest::newRow("service down") << fault::dropped() << false;
        QTest::newRow("401 and refresh refused") << standin::Fault() << true;
    }
    void logoutNeverFails() {
        QFETCH(standin::Fault, logoutFault);
        QFETCH(bool, refreshRefused);
        server->setFault(QStringLiteral("POST"), QStringLiteral("/api/auth/logout"), logoutFault);
        if (refreshRefused)
            scriptRefresh(401, R"({"error":"no"})");
        else // a live token, so the service takes the sign-out unless scripted otherwise
            QVERIFY(await(api->getMe()));
        rec.logouts = 0;
        QVERIFY(awaitVoid(api->logout()));
        QVERIFY(!api->accessToken());
        QVERIFY(!api->refreshToken());
        QVERIFY(rec.logouts >= 1);
    }

    // A sign-in takes each token only when the answer carries it as text (a missing one clears
    // the old); a refused one changes nothing and is never taken for an expired token.
    void signInAnswer_data() {
        QTest::addColumn<standin::Fault>("answer"); // none: the stand-in judges the password
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<OptText>("takenAccess");
        QTest::addColumn<OptText>("takenRefresh");
        QTest::newRow("no refresh token") << fault::answer(200, R"({"access_token":"A"})")
                                          << "student" << true << OptText("A") << OptText();
        QTest::newRow("access token a number")
            << fault::answer(200, R"({"access_token":5,"refresh_token":"R"})") << "student" << true
            << OptText() << OptText("R");
        const OptText none;
        QTest::newRow("wrong password") << standin::Fault() << "wrong" << false << none << none;
        QTest::newRow("server error")
            << fault::answer(500, "<html>oops</html>") << "student" << false << none << none;
        QTest::newRow("not an object")
            << fault::answer(200, R"(["access_token"])") << "student" << false << none << none;
    }
    void signInAnswer() {
        QFETCH(standin::Fault, answer);
        QFETCH(QString, password);
        QFETCH(bool, accepted);
        server->setFault(QStringLiteral("POST"), QStringLiteral("/api/auth/login"), answer);
        const auto r = await(api->login(QStringLiteral("student"), password));
        QVERIFY(r);
        QCOMPARE(r->ok(), accepted);
        QFETCH(OptText, takenAccess);
        QFETCH(OptText, takenRefresh);
        if (accepted) {
            QCOMPARE(api->accessToken(), takenAccess);
            QCOMPARE(api->refreshToken(), takenRefresh);
            QCOMPARE(rec.updates.size(), 1);
            QCOMPARE(rec.updates.first().first, takenAccess.value_or(QString()));
            QCOMPARE(rec.updates.first().second, takenRefresh);
        } else {
            QCOMPARE(api->accessToken(), OptText(session.access));
            QCOMPARE(api->refreshToken(), OptText(session.refresh));
            QVERIFY(rec.updates.isEmpty());
        }
        QCOMPARE(rec.logouts, 0);
        QCOMPARE(refreshCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestRefresh)
#include "tst_refresh.moc"
