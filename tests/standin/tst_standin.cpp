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

class TestStandin : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<Server> server;
    std::unique_ptr<StandinClient> client;

    QJsonObject loginBody(const QString& user, const QString& password,
                          const QString& device = QStringLiteral("Test PC")) {
        return {{"username", user},
                {"password", password},
                {"device_name", device},
                {"device_type", "desktop"}};
    }

    static QString enc(const QString& s) { return QString::fromLatin1(QUrl::toPercentEncoding(s)); }

    QJsonArray array(const QString& path, const char* member) {
        const Answer a = client->get(path, server->issueTokens("student"));
        [&] { QCOMPARE(a.status, 200); }();
        return a.json().value(member).toArray();
    }

    QJsonArray groupWeek(const QString& faculty, const QString& group, int offset = 0) {
        return array(QString("/api/schedule/week?faculty=%1&group=%2&offset=%3")
                         .arg(enc(faculty), enc(group))
                         .arg(offset),
                     "schedule");
    }

    QStringList groupNames(const QString& faculty) {
        QStringList names;
        for (const QJsonValue& g : array("/api/schedule/groups?faculty=" + enc(faculty), "groups"))
            names.append(g.toObject().value("name").toString());
        return names;
    }

    // The server must still answer normally after whatever a test threw at it.
    void expectStillServing() {
        const QString token = server->issueTokens("student");
        const Answer a = client->get("/api/users/me", token);
        QCOMPARE(a.status, 200);
        QCOMPARE(a.json().value("login").toString(), QString("student"));
    }

  private slots:
    void init() {
        server = std::make_unique<Server>();
        QVERIFY(server->listen());
        QVERIFY(server->port() != 0);
        QCOMPARE(server->baseUrl(), QString("http://127.0.0.1:%1").arg(server->port()));
        client = std::make_unique<StandinClient>(server->baseUrl());
    }

    void cleanup() {
        client.reset();
        server.reset();
    }

    void login_data() {
        QTest::addColumn<QJsonObject>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        QTest::newRow("student") << loginBody("student", "student") << 200 << QString();
        QTest::newRow("teacher") << loginBody("teacher", "teacher") << 200 << QString();
        QTest::newRow("wrong password")
            << loginBody("student", "Student") << 401 << QString("Неверный логин или пароль");
        QTest::newRow("unknown login")
            << loginBody("nobody", "student") << 401 << QString("Неверный логин или пароль");
        QTest::newRow("login with blanks is not trimmed")
            << loginBody(" student", "student") << 401 << QString("Неверный логин или пароль");
        QTest::newRow("password as number")
            << QJsonObject{{"username", "student"}, {"password", 1}} << 400 << QString("*");
        QTest::newRow("missing password")
            << QJsonObject{{"username", "student"}} << 400 << QString("*");
        QTest::newRow("device name as object") << QJsonObject{{"username", "student"},
                                                              {"password", "student"},
                                                              {"device_name", QJsonObject{}}}
                                               << 400 << QString("*");
    }

    void login() {
        QFETCH(QJsonObject, body);
        QFETCH(int, status);
        QFETCH(QString, error);
        const Answer a = client->post("/api/auth/login", body);
        QCOMPARE(a.status, status);
        QVERIFY(a.contentType.startsWith("application/json"));
        if (status == 200) {
            const QJsonObject o = a.json();
            QCOMPARE(o.value("success").toInt(), 1);
            QVERIFY(!o.value("access_token").toString().isEmpty());
            QVERIFY(!o.value("refresh_token").toString().isEmpty());
            QCOMPARE(o.value("user").toObject().value("login"), body.value("username"));
            const Answer me = client->get("/api/users/me", o.value("access_token").toString());
            QCOMPARE(me.status, 200);
            QCOMPARE(me.json().value("user").toObject().value("username"), body.value("username"));
        } else if (error == "*") {
            QVERIFY(!a.errorText().isEmpty());
        } else {
            QCOMPARE(a.errorText(), error);
        }
    }

    void refreshRotatesAndRefusesUsedTokens() {
        const Answer login = client->post("/api/auth/login", loginBody("student", "student"));
        const QString firstRefresh = login.json().value("refresh_token").toString();

        const Answer second = client->post("/api/auth/refresh", {{"refresh_token", firstRefresh}});
        QCOMPARE(second.status, 200);
        const QString access = second.json().value("access_token").toString();
        const QString refresh = second.json().value("refresh_token").toString();
        QVERIFY(!access.isEmpty());
        QVERIFY(!refresh.isEmpty());
        QVERIFY(refresh != firstRefresh);
        QCOMPARE(client->get("/api/users/me", access).status, 200);

        const Answer reused = client->post("/api/auth/refresh", {{"refresh_token", firstRefresh}});
        QCOMPARE(reused.status, 401);
        QVERIFY(!reused.errorText().isEmpty());
        QCOMPARE(client->post("/api/auth/refresh", {{"refresh_token", refresh}}).status, 200);
        QCOMPARE(client->post("/api/auth/refresh", {{"refresh_token", "rt_unknown"}}).status, 401);
        QCOMPARE(client->post("/api/auth/refresh", {{"refresh_token", 5}}).status, 400);
    }

    void expiredAccessTokenAnswers401UntilRefreshed() {
        QString refresh;
        const QString access = server->issueTokens("student", &refresh);
        QCOMPARE(client->get("/api/storage/keys", access).status, 200);

        server->expireAccessTokens();
        const Answer expired = client->get("/api/storage/keys", access);
        QCOMPARE(expired.status, 401);
        QVERIFY(!expired.errorText().isEmpty());

        const Answer renewed = client->post("/api/auth/refresh", {{"refresh_token", refresh}});
        QCOMPARE(renewed.status, 200);
        QCOMPARE(client->get("/api/storage/keys", renewed.json().value("access_token").toString())
                     .status,
                 200);

        // A zero lifetime makes every new access token stale at once.
        server->setAccessTtl(0);
        QCOMPARE(client->get("/api/users/me", server->issueTokens("student")).status, 401);
    }

    void logoutEndsTheSession() {
        QString refresh;
        const QString access = server->issueTokens("student", &refresh);
        const Answer out = client->send("POST", "/api/auth/logout", {}, access);
        QCOMPARE(out.status, 200);
        QCOMPARE(out.json().value("success").toInt(), 1);
        QCOMPARE(client->get("/api/users/me", access).status, 401);
        QCOMPARE(client->post("/api/auth/refresh", {{"refresh_token", refresh}}).status, 401);
        QCOMPARE(client->send("POST", "/api/auth/logout").status, 401);
    }

    void badInputAnswersJsonError_data() {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("withToken");
        QTest::addColumn<int>("status");
        const auto row = [](const char* name, const char* method, const QString& path,
                            const QByteArray& body, bool token, int status) {
            QTest::newRow(name) << QByteArray(method) << path << body << token << status;
        };
        row("malformed json", "POST", "/api/storage/set", "{\"key\": ", true, 400);
        row("array instead of object", "POST", "/api/storage/set", "[1,2]", true, 400);
        row("empty body", "POST", "/api/auth/login", "", false, 400);
        row("invalid utf-8 in a string", "POST", "/api/auth/login",
            "{\"username\":\"st\xff\xfe\",\"password\":\"x\"}", false, 400);
        row("key as number", "POST", "/api/storage/get", "{\"key\": 12}", true, 400);
        row("huge session id", "POST", "/api/users/sessions/revoke", "{\"session_id\": 1e400}",
            true, 400);
        row("fractional session id", "POST", "/api/users/sessions/revoke", "{\"session_id\": 1.5}",
            true, 400);
        row("session id as text", "POST", "/api/users/sessions/revoke", "{\"session_id\": \"1\"}",
            true, 400);
        row("deeply nested value", "POST", "/api/storage/set",
            "{\"key\":\"k\",\"value\":" + QByteArray(5000, '['), true, 400);
        row("body over 1 MiB", "POST", "/api/storage/set",
            "{\"key\":\"k\",\"value\":\"" + QByteArray(1100000, 'a') + "\"}", true, 413);
        row("set without value", "POST", "/api/storage/set", R"({"key":"k"})", true, 400);
        row("set with empty key", "POST", "/api/storage/set", R"({"key":"","value":1})", true, 400);
        row("get with neither key nor keys", "POST", "/api/storage/get", "{}", true, 400);
        row("keys not a list", "POST", "/api/storage/get", R"({"keys":"a"})", true, 400);
        row("keys with a number", "POST", "/api/storage/get", R"({"keys":["a",1]})", true, 400);
        row("overlong key", "POST", "/api/storage/delete",
            "{\"key\":\"" + QByteArray(300, 'k') + "\"}", true, 400);
        row("unknown api route", "GET", "/api/no/such/thing", {}, true, 404);
        row("unknown site path", "GET", "/nothing-here", {}, false, 404);
        row("wrong method", "DELETE", "/api/users/me", {}, true, 405);
        row("missing token", "GET", "/api/users/me", {}, false, 401);
        row("catalogue route without token", "GET", "/api/themes/active", {}, false, 401);
        const QString faculty = enc(Server::facultyNames()[0]);
        row("group of another faculty", "GET",
            QString("/api/schedule/week?faculty=%1&group=%2&offset=0").arg(faculty, enc("ЮФ-221")),
            {}, true, 404);
        row("unknown faculty", "GET", "/api/schedule/week?faculty=X&group=Y&offset=0", {}, true,
            404);
        row("empty parameters", "GET", "/api/schedule/week?faculty=&group=&offset=0", {}, true,
            404);
        row("groups of an unknown faculty", "GET",
            "/api/schedule/groups?faculty=" + enc("Нет такого"), {}, true, 404);
        row("groups without a faculty", "GET", "/api/schedule/groups", {}, true, 400);
        row("unknown teacher", "GET", "/api/teachers/" + enc("Нетов Н.Н."), {}, true, 404);
        row("unknown teacher week", "GET",
            "/api/teachers/" + enc("Нетов Н.Н.") + "/schedule?offset=0", {}, true, 404);
        row("invalid utf-8 name", "GET", "/api/teachers/%FF%FE", {}, true, 404);
        row("negative teacher limit", "GET", "/api/teachers?limit=-1&offset=0", {}, true, 400);
        row("teacher offset not a number", "GET", "/api/teachers?limit=10&offset=x", {}, true, 400);
    }

    void badInputAnswersJsonError() {
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QFETCH(bool, withToken);
        QFETCH(int, status);
        const QString token = withToken ? server->issueTokens("student") : QString();
        const Answer a = client->send(method, path, body, token);
        QCOMPARE(a.status, status);
        QVERIFY(a.contentType.startsWith("application/json"));
        QVERIFY2(!a.errorText().isEmpty(), a.body.left(200).constData());
        QVERIFY(server->storage("student", "k").isUndefined());
        expectStillServing();
    }

    void garbageTokensAreRefused_data() {
        QTest::addColumn<QByteArray>("header");
        QTest::newRow("unknown token") << QByteArray("Bearer at_nothing");
        QTest::newRow("empty bearer") << QByteArray("Bearer ");
        QTest::newRow("basic scheme") << QByteArray("Basic c3R1ZGVudDpzdHVkZW50");
        QTest::newRow("refresh token as access token") << QByteArray("Bearer rt_");
    }

    void garbageTokensAreRefused() {
        QFETCH(QByteArray, header);
        QNetworkAccessManager nam;
        QNetworkRequest req(QUrl(server->baseUrl() + "/api/users/me"));
        req.setRawHeader("Authorization", header);
        const Answer a = StandinClient::finish(nam.get(req));
        QCOMPARE(a.status, 401);
        QVERIFY(!a.errorText().isEmpty());
    }

    void uploadRoutesTakeLargerBodies() {
        const QString token = server->issueTokens("student");
        const QByteArray twoMiB(2 << 20, 'x');
        QCOMPARE(client->send("POST", "/api/users/me/avatar", twoMiB, token).status, 200);
        const QByteArray elevenMiB(11 << 20, 'x');
        QCOMPARE(client->send("POST", "/api/users/me/avatar", elevenMiB, token).status, 413);
    }

    void storedValuesKeepTheirJsonType_data() {
        QTest::addColumn<QJsonValue>("value");
        QTest::newRow("text") << QJsonValue("dark");
        QTest::newRow("text true") << QJsonValue("true");
        QTest::newRow("cyrillic text") << QJsonValue("Юридический факультет");
        QTest::newRow("boolean") << QJsonValue(false);
        QTest::newRow("number") << QJsonValue(-12.5);
        QTest::newRow("null") << QJsonValue(QJsonValue::Null);
        QTest::newRow("empty text") << QJsonValue("");
        QTest::newRow("object") << QJsonValue(QJsonObject{{"a", QJsonArray{1, "b"}}});
    }

    void storedValuesKeepTheirJsonType() {
        QFETCH(QJsonValue, value);
        const QString token = server->issueTokens("student");
        const Answer set =
            client->post("/api/storage/set", {{"key", "k"}, {"value", value}}, token);
        QCOMPARE(set.status, 200);
        const Answer one = client->post("/api/storage/get", {{"key", "k"}}, token);
        QCOMPARE(one.status, 200);
        QCOMPARE(one.json().value("value"), value);
        const Answer many = client->post("/api/storage/get", {{"keys", QJsonArray{"k"}}}, token);
        QCOMPARE(many.json().value("k"), value);
        QCOMPARE(server->storage("student", "k"), value);
    }

    void storageKeysGetManyAndDelete() {
        const QString token = server->issueTokens("student");
        for (const char* key : {"settings__theme", "settings__current_lesson", "work_mode"})
            client->post("/api/storage/set", {{"key", key}, {"value", "x"}}, token);
        // Overwriting keeps a key's place in the list.
        client->post("/api/storage/set", {{"key", "settings__theme"}, {"value", "dark"}}, token);

        const QJsonArray keys =
            client->get("/api/storage/keys", token).json().value("keys").toArray();
        QCOMPARE(keys.size(), 3);
        QCOMPARE(keys[0].toObject().value("key").toString(), QString("settings__theme"));
        QCOMPARE(keys[2].toObject().value("key").toString(), QString("work_mode"));

        const QJsonObject many =
            client
                ->post("/api/storage/get", {{"keys", QJsonArray{"settings__theme", "absent"}}},
                       token)
                .json();
        QCOMPARE(many.value("settings__theme").toString(), QString("dark"));
        QVERIFY(!many.contains("absent"));
        QCOMPARE(client->post("/api/storage/get", {{"keys", QJsonArray{}}}, token).json(),
                 QJsonObject());

        const QJsonObject missing =
            client->post("/api/storage/get", {{"key", "absent"}}, token).json();
        QCOMPARE(missing.value("key").toString(), QString("absent"));
        QVERIFY(missing.value("value").isNull());

        QCOMPARE(client->post("/api/storage/delete", {{"key", "work_mode"}}, token).status, 200);
        QVERIFY(server->storage("student", "work_mode").isUndefined());
        QCOMPARE(client->get("/api/storage/keys", token).json().value("keys").toArray().size(), 2);

        // Another account sees nothing of it.
        const QString other = server->issueTokens("teacher");
        const QJsonObject foreign =
            client->post("/api/storage/get", {{"key", "settings__theme"}}, other).json();
        QVERIFY(foreign.value("value").isNull());
    }

    void sessionsListCurrentAndRevoke() {
        const QString phone =
            client->post("/api/auth/login", loginBody("student", "student", "iPhone 15"))
                .json()
                .value("access_token")
                .toString();
        const Answer desk =
            client->post("/api/auth/login", loginBody("student", "student", "Mac14,2"));
        const QString deskToken = desk.json().value("access_token").toString();
        const QString deskRefresh = desk.json().value("refresh_token").toString();

        const QJsonArray list =
            client->get("/api/users/sessions", phone).json().value("sessions").toArray();
        QCOMPARE(list.size(), 2);
        qint64 deskId = 0;
        int current = 0;
        for (const QJsonValue& v : list) {
            const QJsonObject s = v.toObject();
            QVERIFY(s.value("id").isDouble());
            QCOMPARE(s.value("device_type").toString(), QString("desktop"));
            QCOMPARE(s.value("ip").toString(), QString("127.0.0.1"));
            QVERIFY(s.value("created_at").toInteger() > 1600000000);
            QVERIFY(s.value("last_used_at").toInteger() >= s.value("created_at").toInteger());
            current += s.value("is_current").toBool();
            if (s.value("device_name").toString() == "Mac14,2")
                deskId = s.value("id").toInteger();
        }
        QCOMPARE(current, 1);
        QVERIFY(deskId != 0);

        const QJsonObject mine =
            client->get("/api/sessions/current", deskToken).json().value("session").toObject();
        QCOMPARE(mine.value("id").toInteger(), deskId);
        QCOMPARE(mine.value("device_name").toString(), QString("Mac14,2"));

        // Another account cannot end this session, and unknown ids are refused.
        const QString stranger = server->issueTokens("teacher");
        QCOMPARE(
            client->post("/api/users/sessions/revoke", {{"session_id", deskId}}, stranger).status,
            404);
        QCOMPARE(client->post("/api/users/sessions/revoke", {{"session_id", 999999}}, phone).status,
                 404);
        QCOMPARE(client->get("/api/users/me", deskToken).status, 200);

        const Answer revoked =
            client->post("/api/users/sessions/revoke", {{"session_id", deskId}}, phone);
        QCOMPARE(revoked.status, 200);
        QCOMPARE(client->get("/api/users/me", deskToken).status, 401);
        QCOMPARE(client->post("/api/auth/refresh", {{"refresh_token", deskRefresh}}).status, 401);
        QCOMPARE(
            client->get("/api/users/sessions", phone).json().value("sessions").toArray().size(), 1);
    }

    void revokeAllKeepsTheCallingSession() {
        const QString keep = server->issueTokens("student");
        const QString other1 = server->issueTokens("student");
        const QString other2 = server->issueTokens("student");
        const Answer a = client->send("POST", "/api/users/sessions/revoke-all", {}, keep);
        QCOMPARE(a.status, 200);
        QCOMPARE(a.json().value("revoked").toInt(), 2);
        QCOMPARE(client->get("/api/users/me", keep).status, 200);
        QCOMPARE(client->get("/api/users/me", other1).status, 401);
        QCOMPARE(client->get("/api/users/me", other2).status, 401);
    }

    void profileUpdateChangesOnlyGivenFields() {
        const QString token = server->issueTokens("student");
        const QString before =
            client->get("/api/users/me", token).json().value("display_name").toString();
        const Answer a = client->send("PATCH", "/api/users/me", R"({"bio":"Люблю матан"})", token);
        QCOMPARE(a.status, 200);
        QCOMPARE(a.json().value("bio").toString(), QString("Люблю матан"));
        QCOMPARE(a.json().value("display_name").toString(), before);
        QCOMPARE(client->send("PATCH", "/api/users/me", R"({"bio":5})", token).status, 400);
        QCOMPARE(client->get("/api/users/me", token).json().value("bio").toString(),
                 QString("Люблю матан"));
    }

    void facultiesAndGroups() {
        QStringList names;
        for (const QJsonValue& f : array("/api/schedule/faculties", "faculties"))
            names.append(f.toObject().value("name").toString());
        QCOMPARE(Server::facultyNames().size(), 9);
        for (const QString& name : Server::facultyNames()) {
            const QStringList groups = groupNames(name);
            QVERIFY2(names.contains(name) && groups.size() >= 4, qPrintable(name));
            QCOMPARE(QSet<QString>(groups.begin(), groups.end()).size(), groups.size());
        }
        // The site's leftover entry is listed and has no groups.
        QCOMPARE(names.last(), QString("Расширенная настройка cookie"));
        QVERIFY(groupNames(names.last()).isEmpty());
    }

    void weekLessonsCarryEveryRecordField() {
        const QString faculty = Server::facultyNames()[2];
        const QString group = groupNames(faculty).first();
        const QJsonArray week = groupWeek(faculty, group);
        QVERIFY(week.size() >= 6);
        static const QStringList texts{
            "classroom",  "date",   "day",     "faculty_name", "group_name",        "hash",
            "lessonType", "source", "subject", "teacher",      "teacher_full_name", "teacher_photo",
            "time"};
        static const QStringList numbers{
            "dateTs", "faculty_id", "group_id",         "id",
            "number", "timeupdate", "timeLESSON_start", "timeLESSON_end"};
        static const QStringList days{"Понедельник", "Вторник", "Среда",
                                      "Четверг",     "Пятница", "Суббота"};
        static const QRegularExpression time("^(\\d\\d):(\\d\\d)-(\\d\\d):(\\d\\d)$");
        QSet<qint64> ids;
        for (const QJsonValue& v : week) {
            const QJsonObject l = v.toObject();
            for (const QString& k : texts)
                QVERIFY2(l.value(k).isString(), qPrintable(k));
            for (const QString& k : numbers)
                QVERIFY2(l.value(k).isDouble() &&
                             l.value(k).toDouble() == double(l.value(k).toInteger()),
                         qPrintable(k));
            QVERIFY(l.value("is_combined").isBool());
            for (const char* k : {"combined_with", "combined_main_groups"})
                for (const QJsonValue& g : l.value(k).toArray())
                    QVERIFY(g.isString());
            QVERIFY(!l.contains("combined_groups"));
            QCOMPARE(l.value("group_name").toString(), group);
            QCOMPARE(l.value("faculty_name").toString(), faculty);
            QVERIFY(days.contains(l.value("day").toString()));
            const QRegularExpressionMatch m = time.match(l.value("time").toString());
            QVERIFY(m.hasMatch());
            QCOMPARE(l.value("timeLESSON_start").toInt(),
                     m.captured(1).toInt() * 60 + m.captured(2).toInt());
            QCOMPARE(l.value("timeLESSON_end").toInt(),
                     m.captured(3).toInt() * 60 + m.captured(4).toInt());
            QVERIFY(!ids.contains(l.value("id").toInteger()));
            ids.insert(l.value("id").toInteger());
        }
    }

    void weekRange_data() {
        QTest::addColumn<QString>("offset");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("lessons");
        QTest::newRow("oldest covered week") << "-30" << 200 << true;
        QTest::newRow("next week") << "1" << 200 << true;
        QTest::newRow("before the range") << "-31" << 200 << false;
        QTest::newRow("after the range") << "2" << 200 << false;
        QTest::newRow("largest integer") << "9223372036854775807" << 200 << false;
        QTest::newRow("smallest integer") << "-9223372036854775808" << 200 << false;
        QTest::newRow("beyond 64 bits") << "99999999999999999999" << 400 << false;
        QTest::newRow("not a number") << "abc" << 400 << false;
        QTest::newRow("fraction") << "0.5" << 400 << false;
    }

    void weekRange() {
        QFETCH(QString, offset);
        QFETCH(int, status);
        QFETCH(bool, lessons);
        const QString faculty = Server::facultyNames()[8];
        const QString group = groupNames(faculty).first();
        const QString token = server->issueTokens("student");
        for (const QString& path : {QString("/api/schedule/week?faculty=%1&group=%2&offset=%3")
                                        .arg(enc(faculty), enc(group), offset),
                                    QString("/api/teachers/%1/schedule?offset=%2")
                                        .arg(enc(Server::demoTeacherName()), offset)}) {
            const Answer a = client->get(path, token);
            QCOMPARE(a.status, status);
            if (status == 200 && path.contains("week"))
                QCOMPARE(a.json().value("schedule").toArray().isEmpty(), !lessons);
        }
    }

    // Every lesson of a teacher's week is an event of the groups that name the teacher, and the
    // other way round; combined lectures appear once with all their groups.
    void teacherWeekMatchesTheGroupWeeks() {
        const QString faculty = Server::facultyNames()[2];
        QHash<QString, QSet<QString>> fromGroups; // teacher -> "date|time|subject|group"
        for (const QString& group : groupNames(faculty)) {
            for (const QJsonValue& v : groupWeek(faculty, group, -1)) {
                const QJsonObject l = v.toObject();
                if (!l.value("teacher").toString().isEmpty())
                    fromGroups[l.value("teacher").toString()].insert(
                        QStringList{l.value("date").toString(), l.value("time").toString(),
                                    l.value("subject").toString(), group}
                            .join('|'));
            }
        }
        QVERIFY(fromGroups.size() >= 8);
        for (auto it = fromGroups.cbegin(); it != fromGroups.cend(); ++it) {
            QSet<QString> fromTeacher;
            QSet<QString> taken;
            for (const QJsonValue& v :
                 array("/api/teachers/" + enc(it.key()) + "/schedule?offset=-1", "schedule")) {
                const QJsonObject l = v.toObject();
                QCOMPARE(l.value("teacher").toString(), it.key());
                QVERIFY(!l.contains("combined_with"));
                const QString slot = l.value("date").toString() + l.value("time").toString();
                QVERIFY2(!taken.contains(slot), "a teacher is in two places at once");
                taken.insert(slot);
                const QJsonArray groups = l.value("combined_groups").toArray();
                QVERIFY(!groups.isEmpty());
                QCOMPARE(groups.first().toString(), l.value("group_name").toString());
                for (const QJsonValue& g : groups)
                    fromTeacher.insert(QStringList{l.value("date").toString(),
                                                   l.value("time").toString(),
                                                   l.value("subject").toString(), g.toString()}
                                           .join('|'));
            }
            QCOMPARE(fromTeacher, it.value());
        }
    }

    void teacherListAndLookup() {
        const QJsonArray all = array("/api/teachers?limit=100000&offset=0", "teachers");
        QCOMPARE(all.size(), 150);
        static const QRegularExpression shortName(
            "^[А-ЯЁ][а-яё]+(-[А-ЯЁ][а-яё]+)? [А-ЯЁ]\\.[А-ЯЁ]\\.$");
        QSet<QString> names;
        for (const QJsonValue& v : all) {
            QVERIFY(shortName.match(v.toObject().value("name").toString()).hasMatch());
            names.insert(v.toObject().value("name").toString());
        }
        QCOMPARE(names.size(), all.size());
        QVERIFY(names.contains(Server::demoTeacherName()));
        QCOMPARE(array("/api/teachers?limit=5&offset=10", "teachers")[0], all[10]);
        const QString surname = all[20].toObject().value("name").toString().section(' ', 0, 0);
        const QJsonArray found =
            array("/api/teachers?limit=100&offset=0&search=" + enc(surname.toLower()), "teachers");
        QVERIFY(!found.isEmpty());
        for (const QJsonValue& v : found)
            QVERIFY(
                v.toObject().value("full_name").toString().contains(surname, Qt::CaseInsensitive));
        QVERIFY(
            array("/api/teachers?limit=9223372036854775807&offset=9223372036854775807", "teachers")
                .isEmpty());
        const QString token = server->issueTokens("student");
        const QString name = all[3].toObject().value("name").toString();
        QCOMPARE(client->get("/api/teachers/" + enc(name), token).json().value("teacher"), all[3]);
    }

    void teacherPhotosArePictures() {
        QJsonObject withPhoto, withoutPhoto;
        for (const QJsonValue& v : array("/api/teachers?limit=100000&offset=0", "teachers"))
            (v.toObject().value("photo_url").toString().isEmpty() ? withoutPhoto : withPhoto) =
                v.toObject();
        // Pictures are fetched without any token.
        const auto local = [](const QJsonValue& url) {
            return QUrl(url.toString()).toString(QUrl::RemoveScheme | QUrl::RemoveAuthority);
        };
        const Answer photo = client->get(local(withPhoto.value("photo_url")));
        const Answer thumb = client->get(local(withPhoto.value("photo_thumb_url")));
        QCOMPARE(photo.contentType, QByteArray("image/png"));
        QVERIFY(QImage::fromData(thumb.body).width() < QImage::fromData(photo.body).width());
        QCOMPARE(
            client->get(QString("/media/teachers/%1.png").arg(withoutPhoto.value("id").toInt()))
                .status,
            404);
        QCOMPARE(client->get("/media/teachers/..%2F..%2Fetc%2Fpasswd").status, 404);
    }

    void newsRecordsAndTheirPictures() {
        // The content service is public: no token at all.
        const Answer list = client->get("/api/collections/site_news/records");
        QCOMPARE(list.status, 200);
        const QJsonArray items = list.json().value("items").toArray();
        QCOMPARE(items.size(), 30);
        QSet<QString> ids;
        QDate previous = QDate::currentDate();
        for (const QJsonValue& v : items) {
            const QJsonObject n = v.toObject();
            for (const char* k : {"id", "collectionId", "title", "author", "date", "preview"})
                QVERIFY2(!n.value(k).toString().isEmpty(), k);
            ids.insert(n.value("id").toString());
            const QDate date = QDate::fromString(n.value("date").toString(), "dd.MM.yyyy");
            QVERIFY(date.isValid() && date <= previous);
            previous = date;
        }
        QCOMPARE(ids.size(), items.size());

        const QJsonObject first = items[0].toObject();
        const QString file =
            QString("/api/files/%1/%2/%3")
                .arg(first.value("collectionId").toString(), first.value("id").toString(),
                     first.value("preview").toString());
        const Answer full = client->get(file);
        const Answer thumb = client->get(file + "?thumb=512x0");
        QCOMPARE(full.status, 200);
        QCOMPARE(full.contentType, QByteArray("image/png"));
        QCOMPARE(QImage::fromData(thumb.body).width(), 512);
        QVERIFY(QImage::fromData(full.body).width() > 512);
        QCOMPARE(client->get(file + "?thumb=big").status, 400);
        // The picture address is composed even when parts are missing; it must simply fail.
        QCOMPARE(client
                     ->get(QString("/api/files/%1/%2/")
                               .arg(first.value("collectionId").toString(),
                                    first.value("id").toString()))
                     .status,
                 404);
        QCOMPARE(client
                     ->get("/api/files/other/" + first.value("id").toString() + "/" +
                           first.value("preview").toString())
                     .status,
                 404);
    }

    void newsPaging_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("count");
        QTest::newRow("third page of ten") << "?page=3&perPage=10" << 200 << 10;
        QTest::newRow("past the end") << "?page=4&perPage=10" << 200 << 0;
        QTest::newRow("page zero") << "?page=0" << 400 << 0;
        QTest::newRow("page not a number") << "?page=x" << 400 << 0;
        QTest::newRow("huge page") << "?page=2147483647&perPage=500" << 200 << 0;
    }

    void newsPaging() {
        QFETCH(QString, query);
        QFETCH(int, status);
        QFETCH(int, count);
        const Answer a = client->get("/api/collections/site_news/records" + query);
        QCOMPARE(a.status, status);
        if (status == 200) {
            QCOMPARE(a.json().value("items").toArray().size(), count);
            QCOMPARE(a.json().value("totalItems").toInt(), 30);
        }
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
        QTest::newRow("unusual status")
            << "GET" << fault::answer(299, "[]") << 299 << QByteArray("[]") << false;
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
        const QString token = server->issueTokens("student");
        server->setFault(method, "/api/users/me", fault);
        const Answer a = client->get("/api/users/me", token);
        QCOMPARE(a.error != QNetworkReply::NoError && a.status < 400, transportError);
        if (!transportError) {
            QCOMPARE(a.status, status);
            if (!fault.redirectTo.isEmpty())
                QCOMPARE(a.location, fault.redirectTo.toUtf8());
            else
                QCOMPARE(a.body, body);
        }
        // Still in force until cleared, then the real handler answers again.
        const Answer again = client->get("/api/users/me", token);
        QCOMPARE(again.status, a.status);
        QCOMPARE(again.error, a.error);
        server->clearFaults();
        QCOMPARE(client->get("/api/users/me", token).status, 200);
        // A connection closed before any answer byte makes the client resend once.
        if (fault.drop)
            QVERIFY(server->count("GET", "/api/users/me") > 3);
        else
            QCOMPARE(server->count("GET", "/api/users/me"), 3);
    }

    void faultTimesAndMethodPrecedence() {
        const QString token = server->issueTokens("student");
        const Fault twice = fault::times(2, fault::answer(503));
        server->setFault("GET", "/api/users/me", twice);
        server->setFault("*", "/api/users/me", fault::answer(418));
        QCOMPARE(client->get("/api/users/me", token).status, 503);
        QCOMPARE(client->get("/api/users/me", token).status, 503);
        QCOMPARE(client->get("/api/users/me", token).status, 418);
        QCOMPARE(client->send("PATCH", "/api/users/me", "{}", token).status, 418);
        // Faults also apply to paths the server does not know.
        QCOMPARE(client->get("/api/unknown", token).status, 404);
        server->setFault("GET", "/api/unknown", twice);
        QCOMPARE(client->get("/api/unknown", token).status, 503);
    }

    void delayedAnswerDoesNotBlockOthers() {
        const QString token = server->issueTokens("student");
        server->setFault("GET", "/api/users/me", fault::delayed(1500));
        QElapsedTimer clock;
        clock.start();
        QNetworkReply* slowReply = client->start("GET", "/api/users/me", {}, token);
        const Answer fast = client->get("/api/storage/keys", token);
        QCOMPARE(fast.status, 200);
        QVERIFY2(clock.elapsed() < 1000, "a delayed answer held up another client");
        QVERIFY(!slowReply->isFinished());
        const Answer late = StandinClient::finish(slowReply);
        QCOMPARE(late.status, 200);
        QVERIFY(clock.elapsed() >= 1400);
        QCOMPARE(late.json().value("login").toString(), QString("student"));
    }

    void clientLeavingDuringDelayIsHarmless() {
        const QString token = server->issueTokens("student");
        server->setFault("GET", "/api/users/me", fault::delayed(300, fault::answer(200, "{}")));
        QNetworkReply* reply = client->start("GET", "/api/users/me", {}, token);
        QTest::qWait(50);
        reply->abort();
        reply->deleteLater();
        QTest::qWait(400); // the delayed write now finds the connection gone
        server->clearFaults();
        expectStillServing();
    }

    void requestLogRecordsEverything() {
        const QString token = server->issueTokens("student");
        server->setFault("POST", "/api/storage/set", fault::dropped());

        client->get("/api/schedule/week?faculty=%D0%AE%D1%80&group=A+B%26C&offset=-1", token);
        client->post("/api/storage/set", {{"key", "k"}, {"value", 1}}, token);
        client->get("/nothing/here");
        client->get("/api/teachers/%D0%98%D0%B2%D0%B0%D0%BD%D0%BE%D0%B2%20%D0%98.%D0%98.", token);

        // The dropped POST appears twice: the client resends once when a connection closes
        // before any answer byte.
        QList<standin::LoggedRequest> log = server->requests();
        QCOMPARE(log.size(), 5);
        QCOMPARE(log[2].body, log[1].body);
        log.removeAt(2);
        QCOMPARE(log[0].method, QString("GET"));
        QCOMPARE(log[0].path, QString("/api/schedule/week"));
        QCOMPARE(log[0].rawQuery, QString("faculty=%D0%AE%D1%80&group=A+B%26C&offset=-1"));
        QCOMPARE(log[0].query.queryItemValue("faculty", QUrl::FullyDecoded), QString("Юр"));
        QCOMPARE(log[0].query.queryItemValue("offset"), QString("-1"));
        QCOMPARE(log[0].headers.value("authorization"), "Bearer " + token.toLatin1());
        QCOMPARE(log[1].method, QString("POST"));
        QCOMPARE(log[1].body, QByteArray("{\"key\":\"k\",\"value\":1}"));
        QCOMPARE(log[1].headers.value("content-type"), QByteArray("application/json"));
        QCOMPARE(log[2].path, QString("/nothing/here"));
        QCOMPARE(log[3].path, QString("/api/teachers/Иванов И.И."));
        QCOMPARE(server->count("*", "/api/storage/set"), 2);
        QCOMPARE(server->count("get", "/api/storage/set"), 0);
        server->clearLog();
        QVERIFY(server->requests().isEmpty());
    }

    void fileDatabaseSurvivesRestart() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        standin::Options o;
        o.dbPath = dir.filePath("standin.sqlite");
        QString refresh;
        QString access;
        {
            Server first(o);
            QVERIFY(first.listen());
            access = first.issueTokens("student", &refresh);
            first.setStorage("student", "settings__theme", "dark");
        }
        Server second(o);
        QVERIFY(second.listen());
        StandinClient c(second.baseUrl());
        QCOMPARE(c.get("/api/users/me", access).status, 200);
        QCOMPARE(second.storage("student", "settings__theme"), QJsonValue("dark"));
        const Answer renewed = c.post("/api/auth/refresh", {{"refresh_token", refresh}});
        QCOMPARE(renewed.status, 200);
        // Demo accounts are not seeded twice, and the teacher keeps its preset.
        QCOMPARE(c.post("/api/auth/login", loginBody("teacher", "teacher")).status, 200);
        QCOMPARE(second.storage("teacher", "work_mode"), QJsonValue("teacher"));
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
            c.post("/api/auth/login", {{"username", "student"}, {"password", "student"}})
                .json()
                .value("access_token")
                .toString();
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

    void unusableDatabaseFailsToListen() {
        standin::Options o;
        o.dbPath = "/proc/no-such-dir/standin.sqlite";
        Server s(o);
        QVERIFY(!s.listen());
    }
};

QTEST_GUILESS_MAIN(TestStandin)
#include "tst_standin.moc"
