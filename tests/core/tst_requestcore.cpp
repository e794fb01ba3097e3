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
    // refused before anything goes out.
    void baseUrl_data() {
        QTest::addColumn<QString>("base");  // {S}: the stand-in's address
        QTest::addColumn<QString>("error"); // none: the request reaches the service
        QTest::newRow("bare") << "{S}" << QString();
        QTest::newRow("trailing slash") << "{S}/" << QString();
        QTest::newRow("several slashes") << "{S}///" << QString();
        const QString invalid = QStringLiteral("Invalid URL");
        QTest::newRow("empty") << "" << invalid;
        QTest::newRow("port out of range") << "http://127.0.0.1:99999" << invalid;
        QTest::newRow("other scheme") << "file:///etc" << QStringLiteral("Invalid Response");
    }
    void baseUrl() {
        QFETCH(QString, base);
        QFETCH(QString, error);
        OrvelApi api(base.replace(QStringLiteral("{S}"), server->baseUrl()), QStringLiteral("tok"),
                     std::nullopt);
        const ApiResult r = call(api, QStringLiteral("/api/probe"));
        const auto log = server->requests();
        QCOMPARE(log.size(), error.isEmpty() ? 1 : 0);
        if (error.isEmpty()) {
            QCOMPARE(api.baseUrl(), server->baseUrl());
            QCOMPARE(log.first().path, QStringLiteral("/api/probe"));
        } else {
            QVERIFY(!r.ok() && !r.error().isTransport());
            QCOMPARE(r.error().description(), error);
        }
    }

    void headers_data() {
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("skipAuth");
        QTest::addColumn<QByteArray>("expectedAuth");
        QTest::newRow("token sent") << "abc.def" << false << QByteArray("Bearer abc.def");
        QTest::newRow("skipAuth hides token") << "abc.def" << true << QByteArray();
        QTest::newRow("no token, no header") << QString() << false << QByteArray();
    }
    void headers() {
        QFETCH(QString, token);
        QFETCH(bool, skipAuth);
        QFETCH(QByteArray, expectedAuth);
        OrvelApi api(server->baseUrl(), token.isNull() ? std::nullopt : std::optional(token),
                     std::nullopt);
        const QByteArray body("{\"k\":\"значение\"}"); // sent as given
        await(api.request(QStringLiteral("/api/probe"), QStringLiteral("PATCH"), body,
                          QStringLiteral("application/json"), skipAuth));
        const auto log = server->requests();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log.first().method, QStringLiteral("PATCH"));
        QCOMPARE(log.first().body, body);
        QCOMPARE(log.first().headers.value("content-type"), QByteArray("application/json"));
        QCOMPARE(log.first().headers.contains("authorization"), !expectedAuth.isEmpty());
        QCOMPARE(log.first().headers.value("authorization"), expectedAuth);
        QVERIFY(!log.first().headers.contains("cookie"));
    }

    void classification_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected"); // "ok" or the error description
        QTest::newRow("200 empty object") << 200 << QByteArray("{}") << "ok";
        QTest::newRow("201 object, returned unchanged")
            << 201 << QByteArray(R"({"s":"текст","n":1.5,"b":true,"z":null,"a":[1,"x"],"o":{}})")
            << "ok";
        QTest::newRow("200 array") << 200 << QByteArray("[1,2]") << "Invalid Response";
        QTest::newRow("200 empty body") << 200 << QByteArray() << "Invalid Response";
        QTest::newRow("200 truncated json") << 200 << QByteArray("{\"a\":") << "Invalid Response";
        QTest::newRow("204 no content") << 204 << QByteArray() << "Invalid Response";
        QTest::newRow("404 string error") << 404 << QByteArray("{\"error\":\"Группа не найдена\"}")
                                          << "API Error: Группа не найдена (Code: 404)";
        QTest::newRow("500 html") << 500 << QByteArray("<html><body>oops</body></html>")
                                  << "HTTP Error: 500";
        QTest::newRow("400 numeric error")
            << 400 << QByteArray("{\"error\":5}") << "HTTP Error: 400";
        QTest::newRow("400 empty object") << 400 << QByteArray("{}") << "HTTP Error: 400";
        QTest::newRow("403 no error key")
            << 403 << QByteArray("{\"message\":\"no\"}") << "HTTP Error: 403";
        QTest::newRow("422 error and more")
            << 422 << QByteArray("{\"error\":\"bad\",\"field\":\"x\"}")
            << "API Error: bad (Code: 422)";
        QTest::newRow("401 without refresh token")
            << 401 << QByteArray("{\"error\":\"Unauthorized\"}")
            << "API Error: Unauthorized (Code: 401)";
    }
    void classification() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        server->setFault(QStringLiteral("GET"), QStringLiteral("/api/probe"),
                         fault::answer(status, body));
        int logouts = 0;
        OrvelApi api(server->baseUrl(), QStringLiteral("tok"), std::nullopt, {},
                     [&] { ++logouts; });
        const ApiResult r = call(api, QStringLiteral("/api/probe"));
        QCOMPARE(r.ok() ? QStringLiteral("ok") : r.error().description(), expected);
        if (r.ok())
            QCOMPARE(r.value(), QJsonDocument::fromJson(body).object());
        if (!r.ok() && !r.error().isTransport() && r.error().status >= 0)
            QCOMPARE(r.error().status, status);
        // A failure never touches the tokens unless a refresh was attempted.
        QCOMPARE(api.accessToken(), std::optional<QString>(QStringLiteral("tok")));
        QCOMPARE(logouts, 0);
        QCOMPARE(server->count(QStringLiteral("POST"), QStringLiteral("/api/auth/refresh")), 0);
    }

    void transportFaults_data() {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("description"); // none: the toolkit's own words
        const Fault big = fault::answer(200, "{\"long\":\"" + QByteArray(64 * 1024, 'x') + "\"}");
        QTest::newRow("stall past the time-out")
            << fault::delayed(5000, big) << QStringLiteral("The request timed out.");
        QTest::newRow("connection dropped") << fault::dropped() << QString();
        QTest::newRow("dropped mid answer") << fault::cut(big) << QString();
    }
    void transportFaults() {
        QFETCH(Fault, fault);
        QFETCH(QString, description);
        server->setFault(QStringLiteral("GET"), QStringLiteral("/api/probe"), fault);
        OrvelApi api(server->baseUrl(), QStringLiteral("tok"), QStringLiteral("ref"));
        api.setTimeoutMs(300);
        QElapsedTimer t;
        t.start();
        const ApiResult r = call(api, QStringLiteral("/api/probe"));
        QVERIFY(!r.ok());
        QVERIFY2(r.error().isTransport(), qPrintable(r.error().description()));
        QVERIFY(!r.error().isOffline() && r.error().isUnreachable() && !r.error().isClientGone());
        QVERIFY(!r.error().description().isEmpty());
        if (!description.isNull())
            QCOMPARE(r.error().description(), description);
        QVERIFY(t.elapsed() < 4000);
        QCOMPARE(api.accessToken(), std::optional<QString>(QStringLiteral("tok")));
    }

    // The service drops the kept-alive connection the moment the request arrives. Qt would
    // send it again by itself; a request that changes something must reach the service once
    // (a rotated refresh token presented twice ends the session), and fails as the dropped
    // connection it met. A read may be repeated.
    void changesAreSentOnce_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("sends");
        const QString post = QStringLiteral("POST");
        QTest::newRow("refresh") << post << "/api/auth/refresh" << 1;
        QTest::newRow("storage write") << post << "/api/storage/set" << 1;
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
    void redirects_data() {
        QTest::addColumn<bool>("sameOrigin");
        QTest::newRow("same origin is followed") << true;
        QTest::newRow("other origin is refused") << false;
    }
    void redirects() {
        QFETCH(bool, sameOrigin);
        standin::Server other;
        QVERIFY(other.listen());
        standin::Server& target = sameOrigin ? *server : other;
        server->setFault(QStringLiteral("GET"), QStringLiteral("/api/old"),
                         fault::redirect(target.baseUrl() + QStringLiteral("/api/users/me")));
        OrvelApi api(server->baseUrl(), server->issueTokens(QStringLiteral("student")),
                     std::nullopt);
        QCOMPARE(call(api, QStringLiteral("/api/old")).ok(), sameOrigin);
        QCOMPARE(target.count(QStringLiteral("GET"), QStringLiteral("/api/users/me")),
                 sameOrigin ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestRequestCore)
#include "tst_requestcore.moc"
