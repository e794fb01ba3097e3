// The request core on the wire: how requests are built and how every kind of answer is judged.
#include "Faults.h"
#include "OrvelApi.h"
#include "TestSupport.h"

#include <QJsonDocument>
#include <QTcpServer>

using standin::Fault;
Q_DECLARE_METATYPE(Fault)

class TestRequestCore : public QObject {
    Q_OBJECT
    std::unique_ptr<standin::Server> server;

    ApiResult call(OrvelApi& api, const QString& path, bool skipAuth = false,
                   const QString& method = QStringLiteral("GET")) {
        auto r = await(
            api.request(path, method, std::nullopt, QStringLiteral("application/json"), skipAuth));
        if (!r)
            return ApiError::transport(-1, QStringLiteral("test: no answer in time"));
        return *r;
    }

  private slots:
    void init() {
        server = std::make_unique<standin::Server>();
        QVERIFY(server->listen());
    }
    void cleanup() { server.reset(); }

    // Trailing slashes of the base address are joined away; an address that cannot be used is
    // refused before anything goes out. Without a token no authorization header goes out.
    void baseUrl_data() {
        QTest::addColumn<QString>("base");  // {S}: the stand-in's address
        QTest::addColumn<QString>("error"); // none: the request reaches the service
        QTest::newRow("bare") << "{S}" << QString();
        QTest::newRow("several slashes") << "{S}///" << QString();
        const QString invalid = QStringLiteral("Invalid URL");
        QTest::newRow("empty") << "" << invalid;
        QTest::newRow("other scheme") << "file:///etc" << QStringLiteral("Invalid Response");
    }
    void baseUrl() {
        QFETCH(QString, base);
        QFETCH(QString, error);
        OrvelApi api(base.replace(QStringLiteral("{S}"), server->baseUrl()), std::nullopt,
                     std::nullopt);
        const ApiResult r = call(api, QStringLiteral("/api/probe"));
        const auto log = server->requests();
        QCOMPARE(log.size(), error.isEmpty() ? 1 : 0);
        if (error.isEmpty()) {
            QCOMPARE(api.baseUrl(), server->baseUrl());
            QCOMPARE(log.first().path, QStringLiteral("/api/probe"));
            QVERIFY(!log.first().headers.contains("authorization"));
        } else {
            QVERIFY(!r.ok() && !r.error().isTransport());
            QCOMPARE(r.error().description(), error);
        }
    }

    // Every kind of answer judged; no failure touches the tokens or is taken for an expiry.
    void answers_data() {
        QTest::addColumn<Fault>("answer");
        QTest::addColumn<QString>("expected"); // "ok", the error's text, or none: the toolkit's
        QTest::addColumn<bool>("transport");
        const auto row = [](const char* tag, const Fault& f, const char* expected,
                            bool transport = false) {
            QTest::newRow(tag) << f << (expected ? QString::fromUtf8(expected) : QString())
                               << transport;
        };
        row("200 empty object", fault::answer(200, "{}"), "ok");
        row("201 object, returned unchanged",
            fault::answer(201, R"({"s":"текст","n":1.5,"b":true,"z":null,"a":[1,"x"],"o":{}})"),
            "ok");
        row("200 array", fault::answer(200, "[1,2]"), "Invalid Response");
        row("200 empty body", fault::answer(200), "Invalid Response");
        row("200 truncated json", fault::answer(200, "{\"a\":"), "Invalid Response");
        row("204 no content", fault::answer(204), "Invalid Response");
        row("404 string error", fault::answer(404, R"({"error":"Группа не найдена"})"),
            "API Error: Группа не найдена (Code: 404)");
        row("500 html", fault::answer(500, "<html><body>oops</body></html>"), "HTTP Error: 500");
        row("400 numeric error", fault::answer(400, R"({"error":5})"), "HTTP Error: 400");
        row("403 no error key", fault::answer(403, R"({"message":"no"})"), "HTTP Error: 403");
        row("401 without refresh token", fault::answer(401, R"({"error":"Unauthorized"})"),
            "API Error: Unauthorized (Code: 401)");
        const Fault big = fault::answer(200, "{\"long\":\"" + QByteArray(64 * 1024, 'x') + "\"}");
        row("stall past the time-out", fault::delayed(5000, big), "The request timed out.", true);
        row("connection dropped", fault::dropped(), nullptr, true);
        row("dropped mid answer", fault::cut(big), nullptr, true);
    }
    void answers() {
        QFETCH(Fault, answer);
        QFETCH(QString, expected);
        QFETCH(bool, transport);
        server->setFault(QStringLiteral("GET"), QStringLiteral("/api/probe"), answer);
        int logouts = 0;
        OrvelApi api(server->baseUrl(), QStringLiteral("tok"), std::nullopt, {},
                     [&] { ++logouts; });
        if (transport)
            api.setTimeoutMs(300);
        QElapsedTimer t;
        t.start();
        const ApiResult r = call(api, QStringLiteral("/api/probe"));
        QVERIFY(t.elapsed() < 4000);
        if (!expected.isNull())
            QCOMPARE(r.ok() ? QStringLiteral("ok") : r.error().description(), expected);
        if (r.ok()) {
            QCOMPARE(r.value(), QJsonDocument::fromJson(answer.body).object());
        } else {
            QVERIFY(!r.error().description().isEmpty());
            QCOMPARE(r.error().isTransport(), transport);
            QCOMPARE(r.error().isUnreachable(), transport);
            QVERIFY(!r.error().isOffline() && !r.error().isClientGone());
            if (!transport && r.error().status >= 0)
                QCOMPARE(r.error().status, answer.status);
        }
        QCOMPARE(api.accessToken(), std::optional<QString>(QStringLiteral("tok")));
        QCOMPARE(logouts, 0);
        QCOMPARE(server->count(QStringLiteral("POST"), QStringLiteral("/api/auth/refresh")), 0);
    }

    // A kept-alive connection dropped on arrival: Qt may resend a read, but a change must reach
    // the service once (a rotated refresh token presented twice ends the session).
    void changesAreSentOnce_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("sends");
        QTest::newRow("refresh") << QStringLiteral("POST") << "/api/auth/refresh" << 1;
        QTest::newRow("storage write") << QStringLiteral("POST") << "/api/storage/set" << 1;
        QTest::newRow("revoke") << QStringLiteral("POST") << "/api/users/sessions/revoke" << 1;
        QTest::newRow("read") << QStringLiteral("GET") << "/api/users/me" << 2;
    }
    void changesAreSentOnce() {
        QFETCH(QString, method);
        QFETCH(QString, path);
        QFETCH(int, sends);
        QString refresh;
        OrvelApi api(server->baseUrl(), server->issueTokens(QStringLiteral("student"), &refresh),
                     refresh);
        QVERIFY(call(api, QStringLiteral("/api/users/sessions")).ok()); // keeps a connection
        server->setFault(method, path, fault::dropped());
        server->clearLog();
        const auto r = await([&]() -> QCoro::Task<ApiResult> {
            if (path == u"/api/auth/refresh") {
                const VoidResult v = co_await api.refreshTokens();
                co_return v.ok() ? ApiResult(QJsonObject()) : ApiResult(v.error());
            }
            if (path == u"/api/storage/set")
                co_return co_await api.storageSet(QStringLiteral("k"), 1);
            if (path == u"/api/users/sessions/revoke")
                co_return co_await api.revokeSession(1);
            co_return co_await api.getMe();
        }());
        QVERIFY(r && !r->ok());
        QCOMPARE(server->count(method, path), sends);
        QVERIFY(r->error().isTransport());
        QCOMPARE(r->error().transportCode, int(QNetworkReply::RemoteHostClosedError));
        QCOMPARE(r->error().description(), QStringLiteral("Connection closed"));
    }

    // What a failure means travels as its kind; only the offline kind carries the wording the
    // start-up check shows.
    void transportKinds_data() {
        QTest::addColumn<int>("situation"); // 0 unknown host, 1 closed port, 2 and 3 client gone
        QTest::addColumn<int>("cause");
        QTest::newRow("unknown host") << 0 << int(ApiError::Cause::offline);
        QTest::newRow("refused connection") << 1 << int(ApiError::Cause::other);
        QTest::newRow("client gone while out") << 2 << int(ApiError::Cause::clientGone);
        QTest::newRow("client gone during a refresh") << 3 << int(ApiError::Cause::clientGone);
    }
    void transportKinds() {
        QFETCH(int, situation);
        QFETCH(int, cause);
        QString base = server->baseUrl();
        if (situation == 0)
            base = QStringLiteral("http://orvel-box-test.invalid");
        QTcpServer probe;
        if (situation == 1) {
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            base = QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort());
            probe.close();
        }
        // The client goes away while the slow exchange is out: the request itself, or the
        // refresh its 401 started.
        const QString slowMethod = situation == 2 ? QStringLiteral("GET") : QStringLiteral("POST");
        const QString slowPath =
            situation == 2 ? QStringLiteral("/api/users/me") : QStringLiteral("/api/auth/refresh");
        server->setFault(slowMethod, slowPath, fault::delayed(300));
        auto api = std::make_unique<OrvelApi>(base, QStringLiteral("stale"), QStringLiteral("ref"));
        auto pending = api->request(QStringLiteral("/api/users/me"), QStringLiteral("GET"),
                                    std::nullopt, QStringLiteral("application/json"), false);
        if (situation >= 2) {
            QVERIFY(
                detail::spinUntil([&] { return server->count(slowMethod, slowPath) == 1; }, 5000));
            api.reset();
        }
        const auto r = await(std::move(pending));
        QVERIFY(r && !r->ok());
        const ApiError& e = r->error();
        QVERIFY(e.isTransport());
        QCOMPARE(int(e.cause), cause);
        QCOMPARE(e.isOffline(), cause == int(ApiError::Cause::offline));
        QCOMPARE(e.isClientGone(), cause == int(ApiError::Cause::clientGone));
        QCOMPARE(e.isUnreachable(), !e.isClientGone());
        QCOMPARE(e.description().contains(QStringLiteral("offline")), e.isOffline());
    }

    // A redirect is followed only within the service; the token never reaches another origin.
    void redirects() {
        standin::Server other;
        QVERIFY(other.listen());
        OrvelApi api(server->baseUrl(), server->issueTokens(QStringLiteral("student")),
                     std::nullopt);
        for (standin::Server* target : {server.get(), &other}) {
            const bool sameOrigin = target == server.get();
            server->setFault(QStringLiteral("GET"), QStringLiteral("/api/old"),
                             fault::redirect(target->baseUrl() + QStringLiteral("/api/users/me")));
            QCOMPARE(call(api, QStringLiteral("/api/old")).ok(), sameOrigin);
            QCOMPARE(target->count(QStringLiteral("GET"), QStringLiteral("/api/users/me")),
                     sameOrigin ? 1 : 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestRequestCore)
#include "tst_requestcore.moc"
