// Token renewal under concurrency: one refresh for many 401s, shared outcome, no loops.
#include "CO.h"
#include "OrvelApi.h"
#include "StandinSession.h"
#include "TestSupport.h"

#include <QTemporaryDir>

Q_DECLARE_METATYPE(standin::Fault)

namespace {
struct Recorder {
    QList<QPair<QString, std::optional<QString>>> updates;
    int logouts = 0;
};

QCoro::Task<ApiResult> me(OrvelApi* api) {
    return api->request(QStringLiteral("/api/users/me"), QStringLiteral("GET"), std::nullopt,
                        QStringLiteral("application/json"), false);
}

// Starts n requests together, runs `meanwhile` while they are out, and waits for all of them.
QList<ApiResult> concurrently(OrvelApi* api, int n, const std::function<void()>& meanwhile = {}) {
    auto done = std::make_shared<QList<std::optional<ApiResult>>>(n);
    for (int i = 0; i < n; ++i)
        [](OrvelApi* a, int k, auto out) -> QCoro::Task<void> {
            (*out)[k] = co_await me(a);
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
    Recorder rec;
    std::unique_ptr<OrvelApi> api;
    QString refresh;

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
        refresh = session.refresh;
        rec = {};
        api = std::make_unique<OrvelApi>(
            server->baseUrl(), session.access, refresh,
            [this](const QString& a, const std::optional<QString>& r) {
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
        // The refresh carries the refresh token in its body and no bearer token.
        for (const auto& req : server->requests()) {
            if (req.path == u"/api/auth/refresh") {
                QVERIFY(!req.headers.contains("authorization"));
                QVERIFY(req.body.contains(refresh.toUtf8()));
            }
        }
        // Each request is repeated exactly once, with the new token.
        const QByteArray newBearer = "Bearer " + api->accessToken().value().toUtf8();
        int withNew = 0;
        for (const auto& req : server->requests())
            if (req.path == u"/api/users/me" && req.headers.value("authorization") == newBearer)
                ++withNew;
        QCOMPARE(withNew, 5);
        QCOMPARE(rec.updates.size(), 1);
        QCOMPARE(rec.updates.first().first, api->accessToken().value());
        QVERIFY(api->refreshToken() != std::optional<QString>(refresh)); // rotated
        QCOMPARE(rec.logouts, 0);
        QVERIFY(!api->refreshCoordinator().isRefreshing);
        QCOMPARE(api->refreshCoordinator().waiting(), 0);
        // The finished refresh is not reused: a later expiry starts a new one.
        server->expireAccessTokens();
        QVERIFY(await(me(api.get()))->ok());
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
        QTest::newRow("200 empty object") << 200 << QByteArray("{}") << false << "";
        QTest::newRow("numeric access_token")
            << 200 << QByteArray(R"({"access_token":5})") << false << "";
        QTest::newRow("not json") << 200 << QByteArray("access_token=A2") << false << "";
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
            QCOMPARE(co.api()->accessToken(), std::optional<QString>(QStringLiteral("A2")));
            const QString expectedRefresh = newRefresh.isEmpty() ? refresh : newRefresh;
            QCOMPARE(co.api()->refreshToken(), std::optional<QString>(expectedRefresh));
            QCOMPARE(stored("access_token"), std::optional<QString>(QStringLiteral("A2")));
            QCOMPARE(stored("refresh_token"), std::optional<QString>(expectedRefresh));
        } else {
            QVERIFY(!co.api()->accessToken());
            QVERIFY(!co.api()->refreshToken());
            QVERIFY(!stored("access_token"));
            QVERIFY(!stored("refresh_token"));
            QCOMPARE(meCount(), 1);
        }
    }

    // Signed out while a refresh was out: its answer, whatever it holds, is stored nowhere
    // (an answer without a refresh token once left an empty one for the next start to send).
    void refreshOutlivingASignOutStoresNothing_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("new pair") << QByteArray(R"({"access_token":"A2","refresh_token":"R2"})");
        QTest::newRow("access token only") << QByteArray(R"({"access_token":"A2"})");
    }
    void refreshOutlivingASignOutStoresNothing() {
        QFETCH(QByteArray, answer);
        scriptRefresh(200, answer);
        server->setFault(QStringLiteral("POST"), QStringLiteral("/api/auth/logout"),
                         fault::answer(200, R"({"success":1})"));
        auto pending = me(api.get());
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

    void logoutNeverFails_data() {
        QTest::addColumn<int>(
            "mode"); // 0 normal, 1 server error, 2 service down, 3 401 + failing refresh
        QTest::newRow("accepted") << 0;
        QTest::newRow("500") << 1;
        QTest::newRow("service down") << 2;
        QTest::newRow("401 and refresh refused") << 3;
    }
    void logoutNeverFails() {
        QFETCH(int, mode);
        if (mode == 1)
            server->setFault(QStringLiteral("POST"), QStringLiteral("/api/auth/logout"),
                             fault::answer(500));
        if (mode == 3)
            scriptRefresh(401, R"({"error":"no"})");
        if (mode == 2) {
            session.server.reset();
            server = nullptr;
        }
        if (mode != 3 && server) {
            // A live token so the service accepts the sign-out when nothing is scripted.
            QVERIFY(await(me(api.get())));
        }
        rec.logouts = 0;
        QVERIFY(awaitVoid(api->logout()));
        QVERIFY(!api->accessToken());
        QVERIFY(!api->refreshToken());
        QVERIFY(rec.logouts >= 1);
    }
};

QTEST_GUILESS_MAIN(TestRefresh)
#include "tst_refresh.moc"
