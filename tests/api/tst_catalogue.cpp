// Every operation of the service client on the wire, one row per operation and per shape of its
// optional arguments; the query escape; calls refused before anything goes out; multipart bodies.
#include "DeviceInfo.h"
#include "OrvelApi.h"
#include "StandinServer.h"
#include "TestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <cmath>
#include <functional>

// One client operation, as a data column.
using Call = std::function<QCoro::Task<ApiResult>(OrvelApi&)>;
Q_DECLARE_METATYPE(Call)

// The operation `a.<call>` as a data column, and a wire row named by its call.
#define OP(...) Call([](OrvelApi& a) { return a.__VA_ARGS__; })
#define ROW(call, ...)                                                                             \
    Row {                                                                                          \
#call, OP(call), __VA_ARGS__                                                               \
    }

namespace {
// `request` is "METHOD /path?key=value&…" with path and query decoded. `body` is JSON text
// compared as an object ({R}: the client's refresh token), multipart bytes with {B} for the
// boundary, or empty for none.
struct Row {
    QString tag; // the call, or the operation's name
    Call call;
    QString request;
    QByteArray body = {};
};

const QByteArray kPng("\x89PNG\r\n\x1a\n\0\x01", 10);
const QJsonObject kTheme{{"name", "Ночь"}, {"colors", QJsonObject{{"accent", "#FF8800"}}}};
const QJsonObject kTeacher{{"name", "Петров П.П."}, {"department", "Кафедра физики"}};
const QByteArray kAvatar = "--{B}\r\nContent-Disposition: form-data; name=\"avatar\"; "
                           "filename=\"me.png\"\r\nContent-Type: image/png\r\n\r\n" +
                           kPng + "\r\n--{B}--\r\n";

QByteArray json(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

const QList<Row>& rows() {
    const QString device = DeviceInfo::deviceMarketingName(DeviceInfo::deviceModelIdentifier());
    static const QList<Row> all{
        // clang-format off
        // Sign-in, profile and sessions. A given device name is sent as it is; only spaces and
        // tabs are trimmed from the user name, any other character stops the trim.
        ROW(login(" \tstudent\t ", "secret ", "Mac16,8", "tablet"), "POST /api/auth/login",
            R"({"username":"student","password":"secret ","device_name":"Mac16,8",
                "device_type":"tablet"})"),
        ROW(login(" \u00A0Иван Петров \n", "p", "M", "t"), "POST /api/auth/login",
            R"({"username":"\u00A0Иван Петров \n","password":"p","device_name":"M",
                "device_type":"t"})"),
        ROW(login("student", "student"), "POST /api/auth/login",
            json({{"username", "student"}, {"password", "student"}, {"device_name", device},
                  {"device_type", "desktop"}})),
        {"logout",
         [](OrvelApi& a) -> QCoro::Task<ApiResult> { co_await a.logout(); co_return QJsonObject(); },
         "POST /api/auth/logout"},
        ROW(getMe(), "GET /api/users/me"),
        ROW(updateMe(), "PATCH /api/users/me", "{}"),
        ROW(updateMe("Лёша", "Алексей", "Смирнов", ""), "PATCH /api/users/me",
            R"({"display_name":"Лёша","firstname":"Алексей","lastname":"Смирнов","bio":""})"),
        ROW(uploadAvatar(kPng, "me.png", "image/png"), "POST /api/users/me/avatar", kAvatar),
        ROW(deleteAvatar(), "DELETE /api/users/me/avatar"),
        ROW(getSessions(), "GET /api/users/sessions"),
        ROW(getCurrentSession(), "GET /api/sessions/current"),
        ROW(revokeSession(42), "POST /api/users/sessions/revoke", R"({"session_id":42})"),
        ROW(revokeAllSessions(), "POST /api/users/sessions/revoke-all"),

        // Per-user store, reminders and push.
        ROW(storageKeys(), "GET /api/storage/keys"),
        ROW(storageGet("work_mode"), "POST /api/storage/get", R"({"key":"work_mode"})"),
        ROW(storageGetMany({"settings__theme", "work_mode"}),
            "POST /api/storage/get", R"({"keys":["settings__theme","work_mode"]})"),
        ROW(storageSet("settings__theme", "dark"),
            "POST /api/storage/set", R"({"key":"settings__theme","value":"dark"})"),
        ROW(storageDelete("teacher"), "POST /api/storage/delete", R"({"key":"teacher"})"),
        ROW(subscribeNotifications("ФМ ИТ", "МИ-21", 10), "POST /api/notifications/subscribe",
            R"({"faculty":"ФМ ИТ","group":"МИ-21","min_before":10})"),
        ROW(unsubscribeNotifications("МИ-21"),
            "POST /api/notifications/unsubscribe", R"({"group":"МИ-21"})"),
        ROW(getNotificationSettings(), "GET /api/notifications/settings"),
        ROW(getVapidKey(), "GET /api/push/vapid-key"),
        ROW(registerPush({{"endpoint", "https://p.example"}, {"keys", 1}}),
            "POST /api/push/register",
            R"({"platform":"web","token":{"endpoint":"https://p.example","keys":1},
                "refresh_token":"{R}"})"),
        ROW(unregisterPush(), "POST /api/push/unregister", R"({"refresh_token":"{R}"})"),

        // Timetable, news and teachers.
        ROW(getFaculties(), "GET /api/schedule/faculties"),
        ROW(getGroups("ФМ ИТ"), "GET /api/schedule/groups?faculty=ФМ ИТ"),
        ROW(getWeekSchedule("ФМ ИТ", "МИ-21", -1),
            "GET /api/schedule/week?faculty=ФМ ИТ&group=МИ-21&offset=-1"),
        ROW(getDaySchedule("ФМ ИТ", "МИ-21", "Понедельник"),
            "GET /api/schedule/day?faculty=ФМ ИТ&group=МИ-21&day=Понедельник"),
        ROW(getDateSchedule("ФМ ИТ", "МИ-21", "2025-09-01"),
            "GET /api/schedule/date?faculty=ФМ ИТ&group=МИ-21&date=2025-09-01"),
        ROW(getTodaySchedule("ФМ ИТ", "МИ-21"),
            "GET /api/schedule/today?faculty=ФМ ИТ&group=МИ-21"),
        ROW(searchSchedule("матан"), "GET /api/schedule/search?query=матан"),
        ROW(searchSchedule("матан", "ФМ ИТ"), "GET /api/schedule/search?query=матан&faculty=ФМ ИТ"),
        ROW(getNews(20, 40), "GET /api/news?limit=20&offset=40"),
        ROW(getNewsItem("день открытых дверей"), "GET /api/news/день открытых дверей"),
        ROW(getTeachers(std::nullopt, 100000, 0), "GET /api/teachers?limit=100000&offset=0"),
        ROW(getTeachers("Иван", 10, 5), "GET /api/teachers?limit=10&offset=5&search=Иван"),
        ROW(getTeacher("Иванов И.И."), "GET /api/teachers/Иванов И.И."),
        ROW(getTeacherSchedule("Иванов И.И.", 2),
            "GET /api/teachers/Иванов И.И./schedule?offset=2"),

        // Add-ons and themes.
        ROW(getAddons("погода", 20, 40), "GET /api/addons?limit=20&offset=40&search=погода"),
        ROW(installAddon(3), "POST /api/addons/install", R"({"addon_id":3})"),
        ROW(toggleAddon(3, false),
            "POST /api/addons/toggle", R"({"addon_id":3,"is_active":false})"),
        ROW(uninstallAddon(3), "POST /api/addons/uninstall", R"({"addon_id":3})"),
        ROW(getMyAddons(), "GET /api/addons/my"),
        ROW(getThemes("тёмная", 20, 0), "GET /api/themes?limit=20&offset=0&search=тёмная"),
        ROW(installTheme(5), "POST /api/themes/install", R"({"theme_id":5})"),
        ROW(installTheme("ocean"), "POST /api/themes/install", R"({"theme_id":"ocean"})"),
        ROW(activateTheme(5), "POST /api/themes/activate", R"({"theme_id":5})"),
        ROW(deactivateTheme(5), "POST /api/themes/deactivate", R"({"theme_id":5})"),
        ROW(getActiveTheme(), "GET /api/themes/active"),
        ROW(getMyThemes(), "GET /api/themes/my"),
        ROW(getMyEditorThemes(), "GET /api/themes/editor/my"),
        ROW(createEditorTheme(kTheme), "POST /api/themes/editor/create", json(kTheme)),
        ROW(saveEditorTheme(12, kTheme), "POST /api/themes/editor/12/save", json(kTheme)),
        ROW(deleteEditorTheme(12), "DELETE /api/themes/editor/12"),
        ROW(publishEditorTheme(12), "POST /api/themes/editor/12/publish"),

        // Administration.
        ROW(getAdminStats(), "GET /api/admin/stats"),
        ROW(getAdminUsers("Петров", 50, 100),
            "GET /api/admin/users?limit=50&offset=100&search=Петров"),
        ROW(banUser(7), "POST /api/admin/users/7/ban"),
        ROW(unbanUser(7), "POST /api/admin/users/7/unban"),
        ROW(grantDeveloper(7), "POST /api/admin/users/7/grant-developer"),
        ROW(revokeDeveloper(7), "POST /api/admin/users/7/revoke-developer"),
        ROW(grantAdmin(7), "POST /api/admin/users/7/grant-admin"),
        ROW(revokeAdmin(7), "POST /api/admin/users/7/revoke-admin"),
        ROW(broadcast("Внимание", "Пары отменены"),
            "POST /api/admin/broadcast", R"({"title":"Внимание","body":"Пары отменены"})"),
        ROW(getAuditLog(50, 150), "GET /api/admin/audit?limit=50&offset=150"),
        ROW(getAdminNews(10, 20), "GET /api/news/admin/list?limit=10&offset=20"),
        ROW(saveAdminNews(std::nullopt, "Т", "Текст", std::nullopt, "draft"),
            "POST /api/news/admin", R"({"title":"Т","content":"Текст","status":"draft"})"),
        ROW(saveAdminNews(5, "Т", "Текст", "open-day", "published"), "POST /api/news/admin",
            R"({"id":5,"title":"Т","content":"Текст","slug":"open-day","status":"published"})"),
        ROW(deleteAdminNews(5), "DELETE /api/news/admin/5"),
        ROW(createTeacher(kTeacher), "POST /api/teachers/admin", json(kTeacher)),
        ROW(updateTeacher("Иванов И.И.", kTeacher),
            "PATCH /api/teachers/admin/Иванов И.И.", json(kTeacher)),
        ROW(deleteTeacher("Иванов И.И."), "DELETE /api/teachers/admin/Иванов И.И."),
        // A quote or line break would end a file name's quotes or line; a value goes as it is.
        ROW(uploadTeacherPhoto("Иванов И.И.", "JPEG", "ф\"\r\n.jpg", "image/jpeg"),
            "POST /api/teachers/admin/Иванов И.И./photo",
            "--{B}\r\nContent-Disposition: form-data; name=\"photo\"; "
            "filename=\"ф%22%0D%0A.jpg\"\r\nContent-Type: image/jpeg\r\n\r\nJPEG\r\n--{B}--\r\n"),

        // Messenger.
        ROW(searchMessengerUsers("Анна К"), "GET /api/messenger/users/search?query=Анна К"),
        ROW(getChats(), "GET /api/messenger/chats"),
        ROW(createDirectChat(9), "POST /api/messenger/chats/direct", R"({"user_id":9})"),
        ROW(createChat("group", "Староста", {}),
            "POST /api/messenger/chats", R"({"type":"group","title":"Староста","member_ids":[]})"),
        ROW(createChat("group", "МИ-21", {3, 4}, "Беседа"), "POST /api/messenger/chats",
            R"({"type":"group","title":"МИ-21","member_ids":[3,4],"description":"Беседа"})"),
        ROW(getChat(4), "GET /api/messenger/chats/4"),
        ROW(updateChat(4), "PATCH /api/messenger/chats/4", "{}"),
        ROW(updateChat(4, std::nullopt, "Описание"),
            "PATCH /api/messenger/chats/4", R"({"description":"Описание"})"),
        ROW(uploadChatAvatar(4, kPng, "me.png", "image/png"),
            "POST /api/messenger/chats/4/avatar", kAvatar),
        ROW(leaveChat(4), "DELETE /api/messenger/chats/4/members/me"),
        ROW(markChatRead(4), "POST /api/messenger/chats/4/read", "{}"),
        ROW(markChatRead(4, 77), "POST /api/messenger/chats/4/read", R"({"message_id":77})"),
        ROW(getChatMembers(4), "GET /api/messenger/chats/4/members"),
        ROW(addChatMembers(4, {1, 2}),
            "POST /api/messenger/chats/4/members", R"({"user_ids":[1,2]})"),
        ROW(removeChatMember(4, 9), "DELETE /api/messenger/chats/4/members/9"),
        ROW(updateChatMember(4, 9, {.canPinMessages = false}),
            "PATCH /api/messenger/chats/4/members/9", R"({"can_pin_messages":false})"),
        ROW(updateChatMember(4, 9,
                             {"moderator", true, false, true, false, true, false, true, false}),
            "PATCH /api/messenger/chats/4/members/9",
            R"({"role":"moderator","can_send_messages":true,"can_send_media":false,
                "can_add_members":true,"can_remove_members":false,"can_delete_messages":true,
                "can_pin_messages":false,"can_edit_chat_info":true,"is_muted":false})"),
        ROW(getMessages(4, 50), "GET /api/messenger/chats/4/messages?limit=50"),
        ROW(getMessages(4, 50, 1200), "GET /api/messenger/chats/4/messages?limit=50&before=1200"),
        ROW(sendMessage(4, "При\"вет\r\n", 31, {{"AB", "a", "a/b"}}),
            "POST /api/messenger/chats/4/messages",
            "--{B}\r\nContent-Disposition: form-data; name=\"text\"\r\n\r\nПри\"вет\r\n\r\n"
            "--{B}\r\nContent-Disposition: form-data; name=\"reply_to_id\"\r\n\r\n31\r\n"
            "--{B}\r\nContent-Disposition: form-data; name=\"media\"; filename=\"a\"\r\n"
            "Content-Type: a/b\r\n\r\nAB\r\n--{B}--\r\n"),
        ROW(sendMessage(4, std::nullopt, std::nullopt, {}),
            "POST /api/messenger/chats/4/messages", "--{B}--\r\n"),
        ROW(sendMessage(4, std::nullopt, std::nullopt,
                        {{"AB", "a.png", "image/png"}, {"CD", "b.txt", "text/plain; q=\"1\""}}),
            "POST /api/messenger/chats/4/messages",
            "--{B}\r\nContent-Disposition: form-data; name=\"media\"; filename=\"a.png\"\r\n"
            "Content-Type: image/png\r\n\r\nAB\r\n"
            "--{B}\r\nContent-Disposition: form-data; name=\"media\"; filename=\"b.txt\"\r\n"
            "Content-Type: text/plain; q=\"1\"\r\n\r\nCD\r\n--{B}--\r\n"),
        ROW(editMessage(1200, "Исправлено"),
            "PATCH /api/messenger/messages/1200", R"({"text":"Исправлено"})"),
        ROW(deleteMessage(1200), "DELETE /api/messenger/messages/1200"),
        // clang-format on
    };
    return all;
}

// A client signed in as a fresh session of the demo student; the request log starts empty.
std::unique_ptr<OrvelApi> signedInStudent(standin::Server& server) {
    QString refresh;
    const QString access = server.issueTokens(QStringLiteral("student"), &refresh);
    server.clearLog();
    return std::make_unique<OrvelApi>(server.baseUrl(), access, refresh);
}
} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT
    std::unique_ptr<standin::Server> server;
    QSet<QByteArray> boundaries; // every one sent so far: each request gets its own

  private slots:
    void initTestCase() {
        server = std::make_unique<standin::Server>();
        QVERIFY(server->listen());
    }
    void cleanupTestCase() { server.reset(); }

    void onTheWire_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < rows().size(); ++i)
            QTest::newRow(qPrintable(rows().at(i).tag)) << i;
    }
    void onTheWire() {
        QFETCH(int, index);
        const Row& row = rows().at(index);
        auto api = signedInStudent(*server);
        const QByteArray bearer = "Bearer " + api->accessToken().value_or(QString()).toUtf8();
        const QByteArray refresh = api->refreshToken().value_or(QString()).toUtf8();
        const auto result = await(row.call(*api));
        QVERIFY2(result, "no answer in time");
        if (!result->ok())
            QVERIFY2(!result->error().isTransport(), qPrintable(result->error().description()));

        const auto log = server->requests();
        QCOMPARE(log.size(), 1);
        const standin::LoggedRequest& req = log.first();
        QStringList query;
        for (const auto& [key, value] : req.query.queryItems(QUrl::FullyDecoded))
            query.append(key + u'=' + value);
        const QString sent = req.method + u' ' + req.path;
        QCOMPARE(query.isEmpty() ? sent : sent + u'?' + query.join(u'&'), row.request);
        QCOMPARE(req.headers.value("authorization"),
                 row.tag.startsWith(u"login") ? QByteArray() : bearer);

        const QByteArray contentType = req.headers.value("content-type");
        QByteArray expected = row.body;
        if (expected.startsWith("--{B}")) {
            // "Boundary-" and an upper-case UUID, new for each request.
            static const QRegularExpression announced(
                QStringLiteral("^multipart/form-data; boundary=(Boundary-[0-9A-F]{8}-"
                               "([0-9A-F]{4}-){3}[0-9A-F]{12})$"));
            const QByteArray boundary =
                announced.match(QString::fromLatin1(contentType)).captured(1).toLatin1();
            QVERIFY2(!boundary.isEmpty(), contentType.constData());
            QVERIFY(!boundaries.contains(boundary));
            boundaries.insert(boundary);
            QCOMPARE(req.body, expected.replace("{B}", boundary));
        } else if (expected.isEmpty()) {
            QCOMPARE(contentType, QByteArray("application/json"));
            QCOMPARE(req.body, QByteArray());
        } else {
            QCOMPARE(contentType, QByteArray("application/json"));
            const QJsonDocument want = QJsonDocument::fromJson(expected.replace("{R}", refresh));
            QVERIFY2(want.isObject(), "the row's body is not a JSON object");
            QCOMPARE(QJsonDocument::fromJson(req.body), want);
        }
    }

    // Every operation the header's endpoint section declares has a row, and no row names
    // another (logout is declared with the request core).
    void everyOperationHasARow() {
        QFile header(QStringLiteral(ORVEL_API_HEADER));
        QVERIFY(header.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(header.readAll());
        const qsizetype from = text.indexOf(QStringLiteral("Endpoint catalogue"));
        const qsizetype to =
            text.indexOf(QRegularExpression(QStringLiteral(R"(\n\s*private:)")), from);
        QVERIFY2(from >= 0 && to > from, "the endpoint section of the header was not found");
        QSet<QString> declared{QStringLiteral("logout")}, covered;
        static const QRegularExpression decl(QStringLiteral(R"(QCoro::Task<\w+>\s+(\w+)\s*\()"));
        for (const auto& m : decl.globalMatch(text.mid(from, to - from)))
            declared.insert(m.captured(1));
        for (const Row& r : rows())
            covered.insert(r.tag.section(u'(', 0, 0));
        const QStringList differ = (declared - covered).values() + (covered - declared).values();
        QVERIFY2(declared.size() > 50 && differ.isEmpty(), qPrintable(differ.join(u", ")));
    }

    void queryEscape_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("escaped");
        // clang-format off
        QTest::newRow("teacher with initials") << "Иванов И.И." << "%D0%98%D0%B2%D0%B0%D0%BD%D0%BE%D0%B2%20%D0%98.%D0%98.";
        QTest::newRow("whole kept set") << "AZaz09-._~!$&'()*+,;=:@/?" << "AZaz09-._~!$&'()*+,;=:@/?";
        QTest::newRow("hash and percent") << "#1 100%" << "%231%20100%25";
        QTest::newRow("brackets and quotes") << "[a]{b}\"<>\\^`|" << "%5Ba%5D%7Bb%7D%22%3C%3E%5C%5E%60%7C";
        QTest::newRow("control characters") << "a\tb\r\n" << "a%09b%0D%0A";
        QTest::newRow("empty") << "" << "";
        // clang-format on
    }
    void queryEscape() {
        QFETCH(QString, text);
        QFETCH(QString, escaped);
        QCOMPARE(OrvelApi::queryEscape(text), escaped);
    }

    // The query and path as they leave the client, still encoded.
    void escapingOnTheWire_data() {
        QTest::addColumn<Call>("call");
        QTest::addColumn<QString>("sent");
        QTest::newRow("& and + in a group name pass unescaped")
            << OP(getWeekSchedule("F", "A&B+C", 0))
            << "/api/schedule/week?faculty=F&group=A&B+C&offset=0";
        QTest::newRow("# and % in a search are escaped")
            << OP(getTeachers("#1 100%", 10, 0))
            << "/api/teachers?limit=10&offset=0&search=%231%20100%25";
    }
    void escapingOnTheWire() {
        QFETCH(Call, call);
        QFETCH(QString, sent);
        auto api = signedInStudent(*server);
        QVERIFY(await(call(*api)));
        const auto log = server->requests();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log.first().path + u'?' + log.first().rawQuery, sent);
    }

    // Refused before anything goes out: a body JSON cannot express (it would go out altered), a
    // line break in a part's MIME type (it would start a header), a push without a refresh token.
    void refusedBeforeSending_data() {
        QTest::addColumn<Call>("call");
        QTest::addColumn<QString>("error");
        const QString invalid = QStringLiteral("Invalid parameters");
        QTest::newRow("NaN stored") << OP(storageSet("k", std::nan(""))) << invalid;
        QTest::newRow("undefined stored") << OP(storageSet("k", QJsonValue::Undefined)) << invalid;
        QTest::newRow("infinity inside a theme")
            << OP(createEditorTheme({{"c", QJsonArray{1, qInf()}}})) << invalid;
        QTest::newRow("teacher photo type, bare LF")
            << OP(uploadTeacherPhoto("Иванов И.И.", "1", "a.jpg", "image/jpeg\n")) << invalid;
        QTest::newRow("chat avatar type, bare CR")
            << OP(uploadChatAvatar(4, "1", "a.png", "\r")) << invalid;
        QTest::newRow("second attachment of a message")
            << OP(sendMessage(4, "hi", std::nullopt, {{"1", "a", "a/b"}, {"2", "b", "a/b\r\n"}}))
            << invalid;
        const QString noRefresh = QStringLiteral("Token refresh failed");
        QTest::newRow("push unregister right after sign-out")
            << Call([](OrvelApi& a) -> QCoro::Task<ApiResult> {
                   co_await a.logout();
                   co_return co_await a.unregisterPush();
               })
            << noRefresh;
    }
    void refusedBeforeSending() {
        QFETCH(Call, call);
        QFETCH(QString, error);
        auto api = signedInStudent(*server);
        const auto r = await(call(*api));
        QVERIFY(r && !r->ok());
        QVERIFY(!r->error().isTransport());
        QCOMPARE(r->error().description(), error);
        for (const auto& req : server->requests())
            QCOMPARE(req.path, QStringLiteral("/api/auth/logout"));
    }

    // A body is read once by the transport: the repeat after a refresh must carry it whole.
    void sameBodyIsSentAgainAfterRefresh() {
        auto api = signedInStudent(*server);
        server->expireAccessTokens();
        const auto r = await(api->sendMessage(4, "Привет", 7, {{"PNG\r\n", "a.png", "image/png"}}));
        QVERIFY(r);
        QVERIFY2(r->ok(), r->ok() ? "" : qPrintable(r->error().description()));
        QCOMPARE(server->count(QStringLiteral("POST"), QStringLiteral("/api/auth/refresh")), 1);
        QList<standin::LoggedRequest> sends;
        for (const auto& req : server->requests())
            if (req.path == u"/api/messenger/chats/4/messages")
                sends.append(req);
        QCOMPARE(sends.size(), 2);
        QCOMPARE(sends.at(1).headers.value("content-type"),
                 sends.at(0).headers.value("content-type"));
        QCOMPARE(sends.at(1).body, sends.at(0).body);
        QVERIFY(sends.at(1).body.contains("PNG\r\n\r\n--Boundary-"));
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
