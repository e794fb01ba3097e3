// The stand-in is a test tool: this guards what the other tests rely on it for — tokens and their
// rotation, scripted faults, latency, the database and the options, and the shapes of the answers
// the application reads. The request log is proved by the wire tests that read it.
#include "Faults.h"
#include "StandinClient.h"

#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using standin::Fault;
using standin::Server;

Q_DECLARE_METATYPE(standin::Fault)

namespace {
// A demo account's sign-in: its password is its login.
QJsonObject loginBody(const QString& user) {
    return {{"username", user}, {"password", user}};
}
QString enc(const QString& s) {
    return QString::fromLatin1(QUrl::toPercentEncoding(s));
}
} // namespace

class TestStandin : public QObject {
    Q_OBJECT
    std::unique_ptr<Server> server;
    std::unique_ptr<StandinClient> client;

    QString token(const QString& login = QStringLiteral("student")) {
        return server->issueTokens(login);
    }
    QJsonArray array(const QString& path, const char* member) {
        const Answer a = client->get(path, token());
        [&] { QCOMPARE(a.status, 200); }();
        return a.json().value(member).toArray();
    }
    QStringList groupNames(const QString& faculty) {
        QStringList names;
        for (const QJsonValue& g : array("/api/schedule/groups?faculty=" + enc(faculty), "groups"))
            names.append(g.toObject().value("name").toString());
        return names;
    }
    QString weekPath(int faculty, const QString& offset) {
        const QString name = Server::facultyNames()[faculty];
        return QString("/api/schedule/week?faculty=%1&group=%2&offset=%3")
            .arg(enc(name), enc(groupNames(name).first()), offset);
    }

  private slots:
    void init() {
        server = std::make_unique<Server>();
        QVERIFY(server->listen());
        QCOMPARE(server->baseUrl(), QString("http://127.0.0.1:%1").arg(server->port()));
        client = std::make_unique<StandinClient>(server->baseUrl());
    }
    void cleanup() {
        client.reset();
        server.reset();
    }

    // Refresh tokens rotate and are good once; access tokens expire on demand; a sign-out ends
    // both.
    void tokens() {
        QString first;
        const QString access = server->issueTokens("student", &first);
        QCOMPARE(client->get("/api/storage/keys", access).status, 200);
        server->expireAccessTokens();
        QCOMPARE(client->get("/api/storage/keys", access).status, 401);

        const Answer renewed = client->post("/api/auth/refresh", {{"refresh_token", first}});
        QCOMPARE(renewed.status, 200);
        const QString access2 = renewed.json().value("access_token").toString();
        const QString second = renewed.json().value("refresh_token").toString();
        QVERIFY(!second.isEmpty() && second != first);
        QCOMPARE(client->get("/api/users/me", access2).status, 200);
        QCOMPARE(client->post("/api/auth/refresh", {{"refresh_token", first}}).status, 401);
        QCOMPARE(client->post("/api/auth/refresh", {{"refresh_token", 5}}).status, 400);

        const Answer out = client->send("POST", "/api/auth/logout", {}, access2);
        QCOMPARE(out.json().value("success").toInt(), 1);
        QCOMPARE(client->get("/api/users/me", access2).status, 401);
        QCOMPARE(client->post("/api/auth/refresh", {{"refresh_token", second}}).status, 401);

        // A zero lifetime makes every new access token stale at once.
        server->setAccessTtl(0);
        QCOMPARE(client->get("/api/users/me", token()).status, 401);
    }

    // Refusals are JSON errors and leave the service serving.
    void refusals_data() {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        const auto row = [](const char* name, const char* method, const QString& path,
                            const QByteArray& body, int status) {
            QTest::newRow(name) << QByteArray(method) << path << body << status;
        };
        row("malformed json", "POST", "/api/storage/set", "{\"key\": ", 400);
        row("body over 1 MiB", "POST", "/api/storage/set",
            "{\"key\":\"k\",\"value\":\"" + QByteArray(1100000, 'a') + "\"}", 413);
        row("unknown api route", "GET", "/api/no/such/thing", {}, 404);
        row("wrong method", "DELETE", "/api/users/me", {}, 405);
        row("unknown faculty", "GET", "/api/schedule/week?faculty=X&group=Y&offset=0", {}, 404);
        row("groups of an unknown faculty", "GET", "/api/schedule/groups?faculty=" + enc("Нет"), {},
            404);
        row("unknown teacher", "GET", "/api/teachers/" + enc("Нетов Н.Н."), {}, 404);
    }
    void refusals() {
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        const Answer a = client->send(method, path, body, token());
        QCOMPARE(a.status, status);
        QVERIFY(a.contentType.startsWith("application/json"));
        QVERIFY2(!a.errorText().isEmpty(), a.body.left(200).constData());
        QVERIFY(server->storage("student", "k").isUndefined());
        QCOMPARE(client->get("/api/users/me").status, 401); // no token
        QCOMPARE(client->get("/api/users/me", token()).status, 200);
    }

    // Values keep their JSON type (the preferences read "true" and true differently); the key
    // list keeps first-write order; missing keys read as null; accounts do not share.
    void storage() {
        const QString t = token();
        for (const QJsonValue& v : {QJsonValue("true"), QJsonValue(false), QJsonValue(-12.5),
                                    QJsonValue(QJsonValue::Null), QJsonValue(QJsonArray{1, "b"})}) {
            QCOMPARE(client->post("/api/storage/set", {{"key", "k"}, {"value", v}}, t).status, 200);
            QCOMPARE(client->post("/api/storage/get", {{"key", "k"}}, t).json().value("value"), v);
        }
        for (const char* key : {"settings__theme", "work_mode", "k"})
            client->post("/api/storage/set", {{"key", key}, {"value", "x"}}, t);
        client->post("/api/storage/set", {{"key", "settings__theme"}, {"value", "dark"}}, t);
        QStringList keys;
        for (const QJsonValue& k :
             client->get("/api/storage/keys", t).json().value("keys").toArray())
            keys.append(k.toObject().value("key").toString());
        QCOMPARE(keys, (QStringList{"k", "settings__theme", "work_mode"}));

        const QJsonObject many =
            client->post("/api/storage/get", {{"keys", QJsonArray{"settings__theme", "absent"}}}, t)
                .json();
        QCOMPARE(many, (QJsonObject{{"settings__theme", "dark"}}));
        QCOMPARE(client->post("/api/storage/get", {{"key", "absent"}}, t).json(),
                 (QJsonObject{{"key", "absent"}, {"value", QJsonValue::Null}}));
        QCOMPARE(client->post("/api/storage/delete", {{"key", "work_mode"}}, t).status, 200);
        QVERIFY(server->storage("student", "work_mode").isUndefined());
        const Answer other = client->post("/api/storage/get", {{"key", "k"}}, token("teacher"));
        QVERIFY(other.json().value("value").isNull());
    }

    // The shapes the application reads: every item of each list carries these members, of
    // these types.
    void shapes_data() {
        QTest::addColumn<QString>("path"); // {group}: the first group of the third faculty
        QTest::addColumn<QString>("member");
        QTest::addColumn<int>("count"); // at least
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("numbers");
        const QString lessons = "/api/schedule/week?faculty=" + enc(Server::facultyNames()[2]) +
                                "&group={group}&offset=0";
        const QStringList lessonTexts{
            "classroom",  "date",   "day",     "faculty_name", "group_name",        "hash",
            "lessonType", "source", "subject", "teacher",      "teacher_full_name", "teacher_photo",
            "time"};
        const QStringList lessonNumbers{
            "dateTs", "faculty_id", "group_id",         "id",
            "number", "timeupdate", "timeLESSON_start", "timeLESSON_end"};
        QTest::newRow("faculties") << "/api/schedule/faculties"
                                   << "faculties" << 10 << QStringList{"name"} << QStringList{"id"};
        QTest::newRow("groups") << "/api/schedule/groups?faculty=" + enc(Server::facultyNames()[8])
                                << "groups" << 4 << QStringList{"name"} << QStringList{};
        QTest::newRow("teachers") << "/api/teachers?limit=100000&offset=0"
                                  << "teachers" << 150
                                  << QStringList{"name", "full_name", "photo_url",
                                                 "photo_thumb_url"}
                                  << QStringList{"id"};
        QTest::newRow("group week") << lessons << "schedule" << 6 << lessonTexts << lessonNumbers;
        QTest::newRow("teacher week")
            << "/api/teachers/" + enc(Server::demoTeacherName()) + "/schedule?offset=0"
            << "schedule" << 1 << lessonTexts << lessonNumbers;
        QTest::newRow("news") << "/api/collections/site_news/records"
                              << "items" << 30 << QStringList{"id",     "collectionId", "title",
                                                              "author", "date",         "preview"}
                              << QStringList{};
        QTest::newRow("sessions") << "/api/users/sessions"
                                  << "sessions" << 1
                                  << QStringList{"device_name", "device_type", "ip"}
                                  << QStringList{"id", "created_at", "last_used_at"};
    }
    void shapes() {
        QFETCH(QString, path);
        QFETCH(QString, member);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, numbers);
        path.replace("{group}", enc(groupNames(Server::facultyNames()[2]).first()));
        const QJsonArray items = array(path, qPrintable(member));
        QFETCH(int, count);
        QVERIFY2(items.size() >= count, qPrintable(QString::number(items.size())));
        for (const QJsonValue& v : items) {
            for (const QString& k : texts)
                QVERIFY2(v[k].isString(), qPrintable(k));
            for (const QString& k : numbers)
                QVERIFY2(v[k].isDouble(), qPrintable(k));
            // Group weeks name the other groups of a lesson, teacher weeks all of its groups.
            if (member == u"schedule")
                QVERIFY(
                    v[path.contains("teachers") ? "combined_groups" : "combined_with"].isArray());
        }
    }

    // The site's leftover faculty entry comes last and has no groups; teacher photos and news
    // pictures are public, their thumbnails smaller.
    void extras() {
        const QJsonArray faculties = array("/api/schedule/faculties", "faculties");
        QCOMPARE(faculties.last()["name"].toString(), QString("Расширенная настройка cookie"));
        QVERIFY(groupNames(faculties.last()["name"].toString()).isEmpty());

        QJsonObject withPhoto, withoutPhoto;
        for (const QJsonValue& v : array("/api/teachers?limit=100000&offset=0", "teachers"))
            (v["photo_url"].toString().isEmpty() ? withoutPhoto : withPhoto) = v.toObject();
        const auto local = [](const QJsonValue& url) {
            return QUrl(url.toString()).toString(QUrl::RemoveScheme | QUrl::RemoveAuthority);
        };
        const Answer photo = client->get(local(withPhoto.value("photo_url")));
        QCOMPARE(photo.contentType, QByteArray("image/png"));
        QVERIFY(
            QImage::fromData(client->get(local(withPhoto.value("photo_thumb_url"))).body).width() <
            QImage::fromData(photo.body).width());
        QCOMPARE(
            client->get(QString("/media/teachers/%1.png").arg(withoutPhoto.value("id").toInt()))
                .status,
            404);
        QCOMPARE(client->get("/media/teachers/..%2F..%2Fetc%2Fpasswd").status, 404);

        const QJsonObject news =
            client->get("/api/collections/site_news/records").json().value("items")[0].toObject();
        const QString file =
            QString("/api/files/%1/%2/%3")
                .arg(news.value("collectionId").toString(), news.value("id").toString(),
                     news.value("preview").toString());
        const Answer full = client->get(file);
        QCOMPARE(full.contentType, QByteArray("image/png"));
        QVERIFY(QImage::fromData(full.body).width() > 512);
        QCOMPARE(QImage::fromData(client->get(file + "?thumb=512x0").body).width(), 512);
    }

    // Weeks from 30 back to 1 ahead hold lessons.
    void weekRange_data() {
        QTest::addColumn<QString>("offset");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("lessons");
        QTest::newRow("oldest covered week") << "-30" << 200 << true;
        QTest::newRow("next week") << "1" << 200 << true;
        QTest::newRow("before the range") << "-31" << 200 << false;
        QTest::newRow("after the range") << "2" << 200 << false;
        QTest::newRow("not a number") << "abc" << 400 << false;
    }
    void weekRange() {
        QFETCH(QString, offset);
        QFETCH(int, status);
        const Answer a = client->get(weekPath(8, offset), token());
        QCOMPARE(a.status, status);
        QTEST(!a.json().value("schedule").toArray().isEmpty(), "lessons");
        const QString teacherWeek = QString("/api/teachers/%1/schedule?offset=%2")
                                        .arg(enc(Server::demoTeacherName()), offset);
        QCOMPARE(client->get(teacherWeek, token()).status, status);
    }

    void sitePages_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("home") << "/" << 200 << "Orvel Box";
        QTest::newRow("fallback page") << "/404?forApp" << 200 << "Страница не найдена";
        QTest::newRow("agreement") << "/user-agreement" << 200 << "Пользовательское соглашение";
        QTest::newRow("privacy") << "/privacy" << 200 << "Политика конфиденциальности";
        QTest::newRow("feedback") << "/report" << 200 << "Обратная связь";
        QTest::newRow("unknown news item") << "/news/nothing?forApp" << 404 << "Новость не найдена";
    }
    void sitePages() {
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(QString, text);
        const Answer a = client->get(path);
        QCOMPARE(a.status, status);
        QCOMPARE(a.contentType, QByteArray("text/html; charset=utf-8"));
        QVERIFY(QString::fromUtf8(a.body).contains(text));
        // Inside the application the site's own navigation is left out.
        QCOMPARE(a.body.contains("<nav>"), !path.contains("forApp"));
    }

    void scriptedFaults_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("transportError");
        const Fault html = fault::answer(500, "<html>oops</html>", "text/html");
        QTest::newRow("status with body") << "GET" << html << 500 << html.body << false;
        QTest::newRow("empty 200") << "*" << fault::answer(200) << 200 << QByteArray() << false;
        QTest::newRow("drop") << "GET" << fault::dropped() << 0 << QByteArray() << true;
        QTest::newRow("drop mid body") << "*" << fault::cut() << 200 << QByteArray() << true;
        QTest::newRow("drop mid scripted body")
            << "GET" << fault::cut(fault::answer(200, "{\"a\":\"0123456789\"}")) << 200
            << QByteArray() << true;
        QTest::newRow("redirect") << "GET" << fault::redirect("http://127.0.0.2:1/elsewhere") << 302
                                  << QByteArray() << false;
    }
    void scriptedFaults() {
        QFETCH(QString, method);
        QFETCH(Fault, fault);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, transportError);
        const QString t = token();
        server->setFault(method, "/api/users/me", fault);
        const Answer a = client->get("/api/users/me", t);
        QCOMPARE(a.error != QNetworkReply::NoError && a.status < 400, transportError);
        if (!transportError) {
            QCOMPARE(a.status, status);
            if (!fault.redirectTo.isEmpty())
                QCOMPARE(a.location, fault.redirectTo.toUtf8());
            else
                QCOMPARE(a.body, body);
        }
        // Still in force until cleared, then the real handler answers again.
        const Answer again = client->get("/api/users/me", t);
        QCOMPARE(again.status, a.status);
        QCOMPARE(again.error, a.error);
        server->clearFaults();
        QCOMPARE(client->get("/api/users/me", t).status, 200);
        // A connection closed before any answer byte makes the client resend once.
        if (fault.drop)
            QVERIFY(server->count("GET", "/api/users/me") > 3);
        else
            QCOMPARE(server->count("GET", "/api/users/me"), 3);
    }

    void faultTimesAndMethodPrecedence() {
        const QString t = token();
        server->setFault("GET", "/api/users/me", fault::times(2, fault::answer(503)));
        server->setFault("*", "/api/users/me", fault::answer(418));
        QCOMPARE(client->get("/api/users/me", t).status, 503);
        QCOMPARE(client->get("/api/users/me", t).status, 503);
        QCOMPARE(client->get("/api/users/me", t).status, 418);
        QCOMPARE(client->send("PATCH", "/api/users/me", "{}", t).status, 418);
        // Faults also apply to paths the server does not know.
        server->setFault("GET", "/api/unknown", fault::answer(503));
        QCOMPARE(client->get("/api/unknown", t).status, 503);
    }

    void delayedAnswerDoesNotBlockOthers() {
        const QString t = token();
        server->setFault("GET", "/api/users/me", fault::delayed(1500));
        QElapsedTimer clock;
        clock.start();
        QNetworkReply* slowReply = client->start("GET", "/api/users/me", {}, t);
        QCOMPARE(client->get("/api/storage/keys", t).status, 200);
        QVERIFY2(clock.elapsed() < 1000, "a delayed answer held up another client");
        QVERIFY(!slowReply->isFinished());
        const Answer late = StandinClient::finish(slowReply);
        QCOMPARE(late.json().value("login").toString(), QString("student"));
        QVERIFY(clock.elapsed() >= 1400);

        // A client that leaves during the delay does no harm.
        QNetworkReply* reply = client->start("GET", "/api/users/me", {}, t);
        QTest::qWait(50);
        reply->abort();
        reply->deleteLater();
        QTest::qWait(1600);
        QCOMPARE(client->get("/api/storage/keys", t).status, 200);
    }

    void fileDatabaseSurvivesRestart() {
        QTemporaryDir dir;
        standin::Options o;
        o.dbPath = dir.filePath("standin.sqlite");
        QString refresh;
        QString access;
        {
            Server first(o);
            QVERIFY(first.listen());
            access = first.issueTokens("student", &refresh);
        }
        Server second(o);
        QVERIFY(second.listen());
        StandinClient c(second.baseUrl());
        QCOMPARE(c.get("/api/users/me", access).status, 200);
        QCOMPARE(c.post("/api/auth/refresh", {{"refresh_token", refresh}}).status, 200);
        // Demo accounts are not seeded twice, and the teacher keeps its preset.
        QCOMPARE(c.post("/api/auth/login", loginBody("teacher")).status, 200);
        QCOMPARE(second.storage("teacher", "work_mode"), QJsonValue("teacher"));

        standin::Options unusable;
        unusable.dbPath = "/proc/no-such-dir/standin.sqlite";
        QVERIFY(!Server(unusable).listen());
    }

    void executableRefusesBadOptions_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("remote address") << QStringList{"--bind", "0.0.0.0", "--port", "0"};
        QTest::newRow("not an address") << QStringList{"--bind", "localhost:80"};
        QTest::newRow("port out of range") << QStringList{"--port", "65536"};
        QTest::newRow("negative lifetime") << QStringList{"--port", "0", "--access-ttl", "-5"};
        QTest::newRow("negative latency") << QStringList{"--port", "0", "--latency", "-5"};
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

    // Runs the executable on a file database, stores a value through it and reports whether a
    // value stored by an earlier run was still there, and how long its three answers took.
    static bool runExecutableOnce(const QString& db, const QStringList& extra, bool* hadValue,
                                  qint64* answersMs = nullptr) {
        QProcess p;
        p.start(STANDIN_EXECUTABLE, QStringList{"--port", "0", "--db", db} + extra);
        if (!p.waitForReadyRead(10000))
            return false;
        static const QRegularExpression ready(
            "^orvel-standin listening on (http://127\\.0\\.0\\.1:\\d+)\n$");
        const QRegularExpressionMatch m = ready.match(QString::fromUtf8(p.readLine()));
        if (!m.hasMatch())
            return false;
        StandinClient c(m.captured(1));
        QElapsedTimer clock;
        clock.start();
        const QString token =
            c.post("/api/auth/login", loginBody("student")).json().value("access_token").toString();
        *hadValue = c.post("/api/storage/get", {{"key", "k"}}, token).json().value("value") ==
                    QJsonValue("v");
        const bool stored =
            c.post("/api/storage/set", {{"key", "k"}, {"value", "v"}}, token).status == 200;
        if (answersMs)
            *answersMs = clock.elapsed();
        p.terminate();
        return p.waitForFinished(10000) && stored;
    }

    void executableKeepsItsDatabaseUntilReset() {
        QTemporaryDir dir;
        const QString db = dir.filePath("standin.sqlite");
        bool had = true;
        QVERIFY(runExecutableOnce(db, {}, &had));
        QVERIFY(!had);
        QVERIFY(runExecutableOnce(db, {}, &had));
        QVERIFY(had);
        QVERIFY(runExecutableOnce(db, {"--reset"}, &had));
        QVERIFY(!had);
        // --latency holds back every answer (here three) by that much.
        qint64 ms = 0;
        QVERIFY(runExecutableOnce(db, {"--latency", "250"}, &had, &ms));
        QVERIFY(had);
        QVERIFY2(ms >= 750, qPrintable(QString::number(ms)));
    }
};

QTEST_GUILESS_MAIN(TestStandin)
#include "tst_standin.moc"
