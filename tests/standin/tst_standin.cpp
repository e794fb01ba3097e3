// The stand-in is a test tool: this guards what the application's tests and the demo rely on it
// for — token rotation and sessions, the request log, scripted faults, refusals of bad input, a
// teacher's week agreeing with the groups' weeks, answers under load, and the executable's options
// and database across runs.
#include "Faults.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

using standin::Server;

namespace {
struct Answer {
    int status = 0;
    QJsonObject json;
};

QNetworkRequest request(const QString& url, const QString& token) {
    QNetworkRequest req{QUrl(url)};
    req.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    if (!token.isEmpty())
        req.setRawHeader("Authorization", "Bearer " + token.toLatin1());
    return req;
}

// A raw exchange: no token handling, no retries, so the test sees exactly what the server says.
Answer sendRaw(const QString& base, const QByteArray& method, const QString& path,
               const QByteArray& body, const QString& token = {}) {
    QNetworkAccessManager nam;
    std::unique_ptr<QNetworkReply> reply(
        nam.sendCustomRequest(request(base + path, token), method, body));
    if (!QTest::qWaitFor([&] { return reply->isFinished(); }, 10000))
        return {};
    return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
            QJsonDocument::fromJson(reply->readAll()).object()};
}
Answer send(const QString& base, const QByteArray& method, const QString& path,
            const QJsonObject& body = {}, const QString& token = {}) {
    return sendRaw(base, method, path, QJsonDocument(body).toJson(QJsonDocument::Compact), token);
}
} // namespace

class TestStandin : public QObject {
    Q_OBJECT
    std::unique_ptr<Server> server;

    Answer get(const QString& path, const QString& token) {
        return send(server->baseUrl(), "GET", path, {}, token);
    }
    Answer post(const QString& path, const QJsonObject& body, const QString& token = {}) {
        return send(server->baseUrl(), "POST", path, body, token);
    }

  private slots:
    void init() {
        server = std::make_unique<Server>();
        QVERIFY(server->listen());
    }
    void cleanup() { server.reset(); }

    // Refresh tokens rotate and work once; access tokens expire on demand or at once with a zero
    // lifetime; sign-out and revocation end a session, revoke-all spares the caller's.
    void tokensAndSessions() {
        QString first;
        const QString access = server->issueTokens("student", &first);
        server->expireAccessTokens();
        QCOMPARE(get("/api/users/me", access).status, 401);
        const Answer renewed = post("/api/auth/refresh", {{"refresh_token", first}});
        const QString access2 = renewed.json.value("access_token").toString();
        const QString second = renewed.json.value("refresh_token").toString();
        QVERIFY(!second.isEmpty() && second != first);
        QCOMPARE(get("/api/users/me", access2).status, 200);
        QCOMPARE(post("/api/auth/refresh", {{"refresh_token", first}}).status, 401);

        QString otherRefresh;
        server->issueTokens("student", &otherRefresh);
        qint64 other = -1;
        for (const QJsonValue& s : get("/api/users/sessions", access2).json["sessions"].toArray())
            other = s[u"is_current"].toBool() ? other : s[u"id"].toInteger();
        QCOMPARE(post("/api/users/sessions/revoke", {{"session_id", other}}, access2).status, 200);
        QCOMPARE(post("/api/auth/refresh", {{"refresh_token", otherRefresh}}).status, 401);
        server->issueTokens("student", &otherRefresh);
        QCOMPARE(post("/api/users/sessions/revoke-all", {}, access2).status, 200);
        QCOMPARE(post("/api/auth/refresh", {{"refresh_token", otherRefresh}}).status, 401);
        QCOMPARE(get("/api/users/me", access2).status, 200);

        QCOMPARE(post("/api/auth/logout", {}, access2).json.value("success").toInt(), 1);
        QCOMPARE(get("/api/users/me", access2).status, 401);
        QCOMPARE(post("/api/auth/refresh", {{"refresh_token", second}}).status, 401);
        server->setAccessTtl(0);
        QCOMPARE(get("/api/users/me", server->issueTokens("student")).status, 401);
    }

    // Scripted answers count down and a method's own fault goes before one for every method.
    void faults() {
        const QString t = server->issueTokens("student");
        server->setFault("GET", "/api/users/me", fault::times(2, fault::answer(503)));
        server->setFault("*", "/api/users/me", fault::answer(418));
        for (int expected : {503, 503, 418})
            QCOMPARE(get("/api/users/me", t).status, expected);
        QCOMPARE(send(server->baseUrl(), "PATCH", "/api/users/me", {}, t).status, 418);
        server->clearFaults();
        QCOMPARE(get("/api/users/me", t).status, 200);
        QCOMPARE(server->count("GET", "/api/users/me"), 4);
        QCOMPARE(server->count("*", "/api/users/me"), 5);
    }

    // Bad input is refused with a JSON error of the fitting status; the service serves on.
    void refusals_data() {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        const QByteArray post("POST");
        const QString set = QStringLiteral("/api/storage/set");
        QTest::newRow("malformed json") << post << set << QByteArray("{\"key\": ") << 400;
        QTest::newRow("wrong type") << post << set << QByteArray(R"({"key":5,"value":1})") << 400;
        QTest::newRow("invalid utf-8")
            << post << set << QByteArray("{\"key\":\"k\xff\",\"value\":1}") << 400;
        QTest::newRow("body over 1 MiB")
            << post << set << "{\"key\":\"k\",\"value\":\"" + QByteArray(1100000, 'a') + "\"}"
            << 413;
        QTest::newRow("unknown route")
            << QByteArray("GET") << "/api/no/such" << QByteArray() << 404;
    }
    void refusals() {
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        const QString token = server->issueTokens("student");
        const Answer a = sendRaw(server->baseUrl(), method, path, body, token);
        QTEST(a.status, "status");
        QVERIFY(!a.json.value("error").toString().isEmpty());
        QVERIFY(server->storage("student", "k").isUndefined());
        QCOMPARE(get("/api/users/me", token).status, 200);
    }

    // A teacher's week holds the lessons of a group's week that name them.
    void teacherWeekMatchesGroupWeek() {
        const QString t = server->issueTokens("student");
        const auto enc = [](const QString& s) {
            return QString::fromLatin1(QUrl::toPercentEncoding(s));
        };
        const QString faculty = enc(Server::facultyNames().value(2));
        const QString group = get("/api/schedule/groups?faculty=" + faculty, t)
                                  .json.value("groups")[0][u"name"]
                                  .toString();
        for (int offset : {-30, -1, 0, 1}) {
            const auto week = [&](const QString& path) {
                return get(path + QStringLiteral("offset=%1").arg(offset), t)
                    .json.value("schedule")
                    .toArray();
            };
            QJsonValue named = QJsonValue::Undefined;
            for (const QJsonValue& l :
                 week("/api/schedule/week?faculty=" + faculty + "&group=" + enc(group) + "&"))
                named = named.isUndefined() && !l[u"teacher"].toString().isEmpty() ? l : named;
            QVERIFY2(!named.isUndefined(), qPrintable(QString::number(offset)));
            bool found = false;
            for (const QJsonValue& l :
                 week("/api/teachers/" + enc(named[u"teacher"].toString()) + "/schedule?"))
                found = found || (l[u"day"] == named[u"day"] && l[u"time"] == named[u"time"] &&
                                  l[u"subject"] == named[u"subject"]);
            QVERIFY2(found, qPrintable(named[u"teacher"].toString()));
        }
    }

    // Eight clients at once, two hundred mixed requests each: every one is answered.
    void boundedLoad() {
        const QString token = server->issueTokens("student");
        constexpr int clients = 8, each = 200;
        QList<double> latencies;
        int failed = 0;
        QElapsedTimer wall;
        wall.start();
        std::vector<std::unique_ptr<QNetworkAccessManager>> nams;
        std::function<void(QNetworkAccessManager*, int)> next = [&](QNetworkAccessManager* nam,
                                                                    int i) {
            const QString paths[] = {"/api/users/me", "/api/schedule/faculties", "/api/storage/set",
                                     "/api/teachers?limit=20&offset=0"};
            const QNetworkRequest req = request(server->baseUrl() + paths[i % 4], token);
            QNetworkReply* reply =
                i % 4 == 2 ? nam->post(req, R"({"key":"load","value":1})") : nam->get(req);
            QElapsedTimer t;
            t.start();
            QObject::connect(reply, &QNetworkReply::finished, [&, nam, i, reply, t] {
                latencies.append(t.nsecsElapsed() / 1e6);
                failed += reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200;
                reply->deleteLater();
                if (i + 1 < each)
                    next(nam, i + 1);
            });
        };
        for (int c = 0; c < clients; ++c)
            next(nams.emplace_back(std::make_unique<QNetworkAccessManager>()).get(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(int(latencies.size()), clients * each, 120000);
        QCOMPARE(failed, 0);
        std::sort(latencies.begin(), latencies.end());
        qInfo("%d requests in %lld ms; p50 %.1f ms, p99 %.1f ms", clients * each, wall.elapsed(),
              latencies[latencies.size() / 2], latencies[latencies.size() * 99 / 100]);
    }

    void executableRefusesBadOptions_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("remote address") << QStringList{"--bind", "0.0.0.0", "--port", "0"};
        QTest::newRow("port out of range") << QStringList{"--port", "65536"};
        QTest::newRow("negative lifetime") << QStringList{"--port", "0", "--access-ttl", "-5"};
    }
    void executableRefusesBadOptions() {
        QFETCH(QStringList, args);
        QProcess p;
        p.start(STANDIN_EXECUTABLE, args << "--db"
                                         << ":memory:");
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardOutput().isEmpty());
        QVERIFY(!p.readAllStandardError().isEmpty());
    }

    // A value stored by one run is there at the next unless --reset.
    void executableKeepsItsDatabaseUntilReset_data() {
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<bool>("hadValue");
        QTest::newRow("first run") << QStringList{} << false;
        QTest::newRow("second run") << QStringList{} << true;
        QTest::newRow("reset") << QStringList{"--reset"} << false;
    }
    void executableKeepsItsDatabaseUntilReset() {
        QFETCH(QStringList, extra);
        static QTemporaryDir dir; // shared by the rows, which run in order
        QProcess p;
        p.start(STANDIN_EXECUTABLE,
                QStringList{"--port", "0", "--db", dir.filePath("standin.sqlite")} + extra);
        QVERIFY(p.waitForReadyRead(10000));
        static const QRegularExpression ready(
            "^orvel-standin listening on (http://127\\.0\\.0\\.1:\\d+)\n$");
        const QRegularExpressionMatch m = ready.match(QString::fromUtf8(p.readLine()));
        QVERIFY(m.hasMatch());
        const QString base = m.captured(1);
        // A demo account's password is its login.
        const QJsonObject student{{"username", "student"}, {"password", "student"}};
        const QString token =
            send(base, "POST", "/api/auth/login", student).json.value("access_token").toString();
        const Answer had = send(base, "POST", "/api/storage/get", {{"key", "k"}}, token);
        QTEST(had.json.value("value") == QJsonValue("v"), "hadValue");
        QCOMPARE(
            send(base, "POST", "/api/storage/set", {{"key", "k"}, {"value", "v"}}, token).status,
            200);
        p.terminate();
        QVERIFY(p.waitForFinished(10000));
    }
};

QTEST_GUILESS_MAIN(TestStandin)
#include "tst_standin.moc"
