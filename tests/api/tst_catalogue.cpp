// Every operation of the service client on the wire: method, path, query, Content-Type and body
// as the stand-in received them. One row per operation and per shape of its optional arguments.
#include "ApiTestSupport.h"
#include "DeviceInfo.h"
#include "TestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <cmath>

namespace {
using Query = QList<std::pair<QString, QString>>;

const QByteArray kJson = "application/json";
const QByteArray kMultipart = "multipart";

// Expected request. `body` is JSON text (compared as an object), empty for no body, or for
// multipart rows the exact bytes with {B} standing for the boundary. {R} stands for the
// refresh token the client holds.
struct Row {
    QString op;
    QString variant;
    Call call;
    QString method;
    QString path; // decoded
    Query query;  // decoded, in order
    QByteArray body;
    QByteArray contentType = kJson;
};

QByteArray json(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

const QString kFaculty = QStringLiteral("Факультет математики и ИТ");
const QString kGroup = QStringLiteral("МИ-21");
const QString kTeacher = QStringLiteral("Иванов И.И.");
const QByteArray kPng("\x89PNG\r\n\x1a\n\0\x01", 10);

QList<Row> buildRows() {
    const QString device = DeviceInfo::deviceMarketingName(DeviceInfo::deviceModelIdentifier());
    const QJsonObject theme{{"name", "Ночь"}, {"colors", QJsonObject{{"accent", "#FF8800"}}}};
    const QJsonObject teacher{{"name", "Петров П.П."}, {"department", "Кафедра физики"}};
    const QString avatarPart = "--{B}\r\nContent-Disposition: form-data; name=\"avatar\"; "
                               "filename=\"me.png\"\r\nContent-Type: image/png\r\n\r\n";
    const QByteArray avatarBody = avatarPart.toUtf8() + kPng + "\r\n--{B}--\r\n";
    auto page = [](const QString& l, const QString& o) {
        return Query{{"limit", l}, {"offset", o}};
    };
    auto pageSearch = [](const QString& l, const QString& o, const QString& s) {
        return Query{{"limit", l}, {"offset", o}, {"search", s}};
    };
    auto groupQ = [](const QString& extraKey = {}, const QString& extraValue = {}) {
        Query q{{"faculty", kFaculty}, {"group", kGroup}};
        if (!extraKey.isEmpty())
            q.append({extraKey, extraValue});
        return q;
    };

    return {
        // clang-format off
        // Sign-in, profile and sessions.
        {"login", "all arguments",
         [](OrvelApi& a) { return a.login(" \tstudent\t ", "secret ", "Стенд", "tablet"); }, "POST",
         "/api/auth/login", {},
         R"({"username":"student","password":"secret ","device_name":"Стенд","device_type":"tablet"})"},
        {"login", "defaults", [](OrvelApi& a) { return a.login("student", "student"); }, "POST",
         "/api/auth/login", {},
         json({{"username", "student"}, {"password", "student"}, {"device_name", device},
               {"device_type", "desktop"}})},
        {"logout", "",
         [](OrvelApi& a) -> QCoro::Task<ApiResult> { co_await a.logout(); co_return QJsonObject{}; },
         "POST", "/api/auth/logout", {}, ""},
        {"getMe", "", [](OrvelApi& a) { return a.getMe(); }, "GET", "/api/users/me", {}, ""},
        {"updateMe", "nothing given", [](OrvelApi& a) { return a.updateMe(); }, "PATCH",
         "/api/users/me", {}, "{}"},
        {"updateMe", "bio only",
         [](OrvelApi& a) { return a.updateMe(std::nullopt, std::nullopt, std::nullopt, "Люблю матан"); },
         "PATCH", "/api/users/me", {}, R"({"bio":"Люблю матан"})"},
        {"updateMe", "everything",
         [](OrvelApi& a) { return a.updateMe("Лёша", "Алексей", "Смирнов", ""); }, "PATCH",
         "/api/users/me", {},
         R"({"display_name":"Лёша","firstname":"Алексей","lastname":"Смирнов","bio":""})"},
        {"uploadAvatar", "",
         [](OrvelApi& a) { return a.uploadAvatar(kPng, "me.png", "image/png"); }, "POST",
         "/api/users/me/avatar", {}, avatarBody, kMultipart},
        {"deleteAvatar", "", [](OrvelApi& a) { return a.deleteAvatar(); }, "DELETE",
         "/api/users/me/avatar", {}, ""},
        {"getSessions", "", [](OrvelApi& a) { return a.getSessions(); }, "GET",
         "/api/users/sessions", {}, ""},
        {"getCurrentSession", "", [](OrvelApi& a) { return a.getCurrentSession(); }, "GET",
         "/api/sessions/current", {}, ""},
        {"revokeSession", "", [](OrvelApi& a) { return a.revokeSession(42); }, "POST",
         "/api/users/sessions/revoke", {}, R"({"session_id":42})"},
        {"revokeAllSessions", "", [](OrvelApi& a) { return a.revokeAllSessions(); }, "POST",
         "/api/users/sessions/revoke-all", {}, ""},

        // Per-user store, reminders and push.
        {"storageKeys", "", [](OrvelApi& a) { return a.storageKeys(); }, "GET", "/api/storage/keys",
         {}, ""},
        {"storageGet", "", [](OrvelApi& a) { return a.storageGet("work_mode"); }, "POST",
         "/api/storage/get", {}, R"({"key":"work_mode"})"},
        {"storageGetMany", "empty list", [](OrvelApi& a) { return a.storageGetMany({}); }, "POST",
         "/api/storage/get", {}, R"({"keys":[]})"},
        {"storageGetMany", "in order",
         [](OrvelApi& a) { return a.storageGetMany({"settings__theme", "settings__accent_color"}); },
         "POST", "/api/storage/get", {}, R"({"keys":["settings__theme","settings__accent_color"]})"},
        {"storageSet", "text", [](OrvelApi& a) { return a.storageSet("settings__theme", "dark"); },
         "POST", "/api/storage/set", {}, R"({"key":"settings__theme","value":"dark"})"},
        {"storageSet", "structured value",
         [](OrvelApi& a) { return a.storageSet("k", QJsonArray{1, true, QJsonValue::Null}); },
         "POST", "/api/storage/set", {}, R"({"key":"k","value":[1,true,null]})"},
        {"storageDelete", "", [](OrvelApi& a) { return a.storageDelete("teacher"); }, "POST",
         "/api/storage/delete", {}, R"({"key":"teacher"})"},
        {"subscribeNotifications", "",
         [](OrvelApi& a) { return a.subscribeNotifications(kFaculty, kGroup, 10); }, "POST",
         "/api/notifications/subscribe", {},
         json({{"faculty", kFaculty}, {"group", kGroup}, {"min_before", 10}})},
        {"unsubscribeNotifications", "",
         [](OrvelApi& a) { return a.unsubscribeNotifications(kGroup); }, "POST",
         "/api/notifications/unsubscribe", {}, json({{"group", kGroup}})},
        {"getNotificationSettings", "", [](OrvelApi& a) { return a.getNotificationSettings(); },
         "GET", "/api/notifications/settings", {}, ""},
        {"getVapidKey", "", [](OrvelApi& a) { return a.getVapidKey(); }, "GET",
         "/api/push/vapid-key", {}, ""},
        {"registerPush", "",
         [](OrvelApi& a) {
             return a.registerPush({{"endpoint", "https://push.example/x"},
                                    {"keys", QJsonObject{{"p256dh", "P"}, {"auth", "A"}}}});
         },
         "POST", "/api/push/register", {},
         R"({"platform":"web","token":{"endpoint":"https://push.example/x","keys":{"p256dh":"P","auth":"A"}},
             "refresh_token":"{R}"})"},
        {"unregisterPush", "", [](OrvelApi& a) { return a.unregisterPush(); }, "POST",
         "/api/push/unregister", {}, R"({"refresh_token":"{R}"})"},

        // Timetable, news and teachers.
        {"getFaculties", "", [](OrvelApi& a) { return a.getFaculties(); }, "GET",
         "/api/schedule/faculties", {}, ""},
        {"getGroups", "number", [](OrvelApi& a) { return a.getGroups("5"); }, "GET",
         "/api/schedule/groups", {{"faculty", "5"}}, ""},
        {"getGroups", "name with spaces", [](OrvelApi& a) { return a.getGroups(kFaculty); }, "GET",
         "/api/schedule/groups", {{"faculty", kFaculty}}, ""},
        {"getWeekSchedule", "previous week",
         [](OrvelApi& a) { return a.getWeekSchedule(kFaculty, kGroup, -1); }, "GET",
         "/api/schedule/week", groupQ("offset", "-1"), ""},
        {"getWeekSchedule", "empty names", [](OrvelApi& a) { return a.getWeekSchedule("", "", 0); },
         "GET", "/api/schedule/week", {{"faculty", ""}, {"group", ""}, {"offset", "0"}}, ""},
        {"getDaySchedule", "",
         [](OrvelApi& a) { return a.getDaySchedule(kFaculty, kGroup, "Понедельник"); }, "GET",
         "/api/schedule/day", groupQ("day", "Понедельник"), ""},
        {"getDateSchedule", "",
         [](OrvelApi& a) { return a.getDateSchedule(kFaculty, kGroup, "2025-09-01"); }, "GET",
         "/api/schedule/date", groupQ("date", "2025-09-01"), ""},
        {"getTodaySchedule", "", [](OrvelApi& a) { return a.getTodaySchedule(kFaculty, kGroup); },
         "GET", "/api/schedule/today", groupQ(), ""},
        {"searchSchedule", "without faculty", [](OrvelApi& a) { return a.searchSchedule("матан"); },
         "GET", "/api/schedule/search", {{"query", "матан"}}, ""},
        {"searchSchedule", "with faculty",
         [](OrvelApi& a) { return a.searchSchedule("матан", kFaculty); }, "GET",
         "/api/schedule/search", {{"query", "матан"}, {"faculty", kFaculty}}, ""},
        {"getNews", "", [](OrvelApi& a) { return a.getNews(20, 40); }, "GET", "/api/news",
         page("20", "40"), ""},
        {"getNewsItem", "", [](OrvelApi& a) { return a.getNewsItem("welcome-2025"); }, "GET",
         "/api/news/welcome-2025", {}, ""},
        {"getTeachers", "no search",
         [](OrvelApi& a) { return a.getTeachers(std::nullopt, 100000, 0); }, "GET", "/api/teachers",
         page("100000", "0"), ""},
        {"getTeachers", "search", [](OrvelApi& a) { return a.getTeachers("Иван", 10, 5); }, "GET",
         "/api/teachers", pageSearch("10", "5", "Иван"), ""},
        {"getTeacher", "", [](OrvelApi& a) { return a.getTeacher(kTeacher); }, "GET",
         "/api/teachers/" + kTeacher, {}, ""},
        {"getTeacherSchedule", "", [](OrvelApi& a) { return a.getTeacherSchedule(kTeacher, 2); },
         "GET", "/api/teachers/" + kTeacher + "/schedule", {{"offset", "2"}}, ""},

        // Add-ons and themes.
        {"getAddons", "no search", [](OrvelApi& a) { return a.getAddons(std::nullopt, 20, 0); },
         "GET", "/api/addons", page("20", "0"), ""},
        {"getAddons", "search", [](OrvelApi& a) { return a.getAddons("погода", 20, 40); }, "GET",
         "/api/addons", pageSearch("20", "40", "погода"), ""},
        {"installAddon", "", [](OrvelApi& a) { return a.installAddon(3); }, "POST",
         "/api/addons/install", {}, R"({"addon_id":3})"},
        {"toggleAddon", "off", [](OrvelApi& a) { return a.toggleAddon(3, false); }, "POST",
         "/api/addons/toggle", {}, R"({"addon_id":3,"is_active":false})"},
        {"toggleAddon", "on", [](OrvelApi& a) { return a.toggleAddon(3, true); }, "POST",
         "/api/addons/toggle", {}, R"({"addon_id":3,"is_active":true})"},
        {"uninstallAddon", "", [](OrvelApi& a) { return a.uninstallAddon(3); }, "POST",
         "/api/addons/uninstall", {}, R"({"addon_id":3})"},
        {"getMyAddons", "", [](OrvelApi& a) { return a.getMyAddons(); }, "GET", "/api/addons/my",
         {}, ""},
        {"getThemes", "no search", [](OrvelApi& a) { return a.getThemes(std::nullopt, 20, 0); },
         "GET", "/api/themes", page("20", "0"), ""},
        {"getThemes", "search", [](OrvelApi& a) { return a.getThemes("тёмная", 20, 0); }, "GET",
         "/api/themes", pageSearch("20", "0", "тёмная"), ""},
        {"installTheme", "number", [](OrvelApi& a) { return a.installTheme(5); }, "POST",
         "/api/themes/install", {}, R"({"theme_id":5})"},
        {"installTheme", "text", [](OrvelApi& a) { return a.installTheme("ocean"); }, "POST",
         "/api/themes/install", {}, R"({"theme_id":"ocean"})"},
        {"activateTheme", "", [](OrvelApi& a) { return a.activateTheme(5); }, "POST",
         "/api/themes/activate", {}, R"({"theme_id":5})"},
        {"deactivateTheme", "", [](OrvelApi& a) { return a.deactivateTheme(5); }, "POST",
         "/api/themes/deactivate", {}, R"({"theme_id":5})"},
        {"getActiveTheme", "", [](OrvelApi& a) { return a.getActiveTheme(); }, "GET",
         "/api/themes/active", {}, ""},
        {"getMyThemes", "", [](OrvelApi& a) { return a.getMyThemes(); }, "GET", "/api/themes/my",
         {}, ""},
        {"getMyEditorThemes", "", [](OrvelApi& a) { return a.getMyEditorThemes(); }, "GET",
         "/api/themes/editor/my", {}, ""},
        {"createEditorTheme", "", [theme](OrvelApi& a) { return a.createEditorTheme(theme); },
         "POST", "/api/themes/editor/create", {}, json(theme)},
        {"saveEditorTheme", "", [theme](OrvelApi& a) { return a.saveEditorTheme(12, theme); },
         "POST", "/api/themes/editor/12/save", {}, json(theme)},
        {"deleteEditorTheme", "", [](OrvelApi& a) { return a.deleteEditorTheme(12); }, "DELETE",
         "/api/themes/editor/12", {}, ""},
        {"publishEditorTheme", "", [](OrvelApi& a) { return a.publishEditorTheme(12); }, "POST",
         "/api/themes/editor/12/publish", {}, ""},

        // Administration.
        {"getAdminStats", "", [](OrvelApi& a) { return a.getAdminStats(); }, "GET",
         "/api/admin/stats", {}, ""},
        {"getAdminUsers", "no search",
         [](OrvelApi& a) { return a.getAdminUsers(std::nullopt, 50, 0); }, "GET",
         "/api/admin/users", page("50", "0"), ""},
        {"getAdminUsers", "search", [](OrvelApi& a) { return a.getAdminUsers("Петров", 50, 100); },
         "GET", "/api/admin/users", pageSearch("50", "100", "Петров"), ""},
        {"banUser", "", [](OrvelApi& a) { return a.banUser(7); }, "POST", "/api/admin/users/7/ban",
         {}, ""},
        {"unbanUser", "", [](OrvelApi& a) { return a.unbanUser(7); }, "POST",
         "/api/admin/users/7/unban", {}, ""},
        {"grantDeveloper", "", [](OrvelApi& a) { return a.grantDeveloper(7); }, "POST",
         "/api/admin/users/7/grant-developer", {}, ""},
        {"revokeDeveloper", "", [](OrvelApi& a) { return a.revokeDeveloper(7); }, "POST",
         "/api/admin/users/7/revoke-developer", {}, ""},
        {"grantAdmin", "", [](OrvelApi& a) { return a.grantAdmin(7); }, "POST",
         "/api/admin/users/7/grant-admin", {}, ""},
        {"revokeAdmin", "", [](OrvelApi& a) { return a.revokeAdmin(7); }, "POST",
         "/api/admin/users/7/revoke-admin", {}, ""},
        {"broadcast", "", [](OrvelApi& a) { return a.broadcast("Внимание", "Пары отменены"); },
         "POST", "/api/admin/broadcast", {}, R"({"title":"Внимание","body":"Пары отменены"})"},
        {"getAuditLog", "", [](OrvelApi& a) { return a.getAuditLog(50, 150); }, "GET",
         "/api/admin/audit", page("50", "150"), ""},
        {"getAdminNews", "", [](OrvelApi& a) { return a.getAdminNews(10, 20); }, "GET",
         "/api/news/admin/list", page("10", "20"), ""},
        {"saveAdminNews", "new item",
         [](OrvelApi& a) { return a.saveAdminNews(std::nullopt, "Заголовок", "Текст", std::nullopt, "draft"); },
         "POST", "/api/news/admin", {},
         R"({"title":"Заголовок","content":"Текст","status":"draft"})"},
        {"saveAdminNews", "update",
         [](OrvelApi& a) { return a.saveAdminNews(5, "Заголовок", "Текст", "open-day", "published"); },
         "POST", "/api/news/admin", {},
         R"({"id":5,"title":"Заголовок","content":"Текст","slug":"open-day","status":"published"})"},
        {"deleteAdminNews", "", [](OrvelApi& a) { return a.deleteAdminNews(5); }, "DELETE",
         "/api/news/admin/5", {}, ""},
        {"createTeacher", "", [teacher](OrvelApi& a) { return a.createTeacher(teacher); }, "POST",
         "/api/teachers/admin", {}, json(teacher)},
        {"updateTeacher", "", [teacher](OrvelApi& a) { return a.updateTeacher(kTeacher, teacher); },
         "PATCH", "/api/teachers/admin/" + kTeacher, {}, json(teacher)},
        {"deleteTeacher", "", [](OrvelApi& a) { return a.deleteTeacher(kTeacher); }, "DELETE",
         "/api/teachers/admin/" + kTeacher, {}, ""},
        {"uploadTeacherPhoto", "",
         [](OrvelApi& a) { return a.uploadTeacherPhoto(kTeacher, "JPEG", "фото.jpg", "image/jpeg"); },
         "POST", "/api/teachers/admin/" + kTeacher + "/photo", {},
         "--{B}\r\nContent-Disposition: form-data; name=\"photo\"; filename=\"фото.jpg\"\r\n"
         "Content-Type: image/jpeg\r\n\r\nJPEG\r\n--{B}--\r\n",
         kMultipart},

        // Messenger.
        {"searchMessengerUsers", "", [](OrvelApi& a) { return a.searchMessengerUsers("Анна К"); },
         "GET", "/api/messenger/users/search", {{"query", "Анна К"}}, ""},
        {"getChats", "", [](OrvelApi& a) { return a.getChats(); }, "GET", "/api/messenger/chats",
         {}, ""},
        {"createDirectChat", "", [](OrvelApi& a) { return a.createDirectChat(9); }, "POST",
         "/api/messenger/chats/direct", {}, R"({"user_id":9})"},
        {"createChat", "no members, no description",
         [](OrvelApi& a) { return a.createChat("group", "Староста", {}); }, "POST",
         "/api/messenger/chats", {}, R"({"type":"group","title":"Староста","member_ids":[]})"},
        {"createChat", "with description",
         [](OrvelApi& a) { return a.createChat("group", "МИ-21", {3, 4}, "Беседа группы"); },
         "POST", "/api/messenger/chats", {},
         R"({"type":"group","title":"МИ-21","member_ids":[3,4],"description":"Беседа группы"})"},
        {"getChat", "", [](OrvelApi& a) { return a.getChat(4); }, "GET", "/api/messenger/chats/4",
         {}, ""},
        {"updateChat", "nothing given", [](OrvelApi& a) { return a.updateChat(4); }, "PATCH",
         "/api/messenger/chats/4", {}, "{}"},
        {"updateChat", "description only",
         [](OrvelApi& a) { return a.updateChat(4, std::nullopt, "Новое описание"); }, "PATCH",
         "/api/messenger/chats/4", {}, R"({"description":"Новое описание"})"},
        {"updateChat", "both", [](OrvelApi& a) { return a.updateChat(4, "Чат", "Описание"); },
         "PATCH", "/api/messenger/chats/4", {}, R"({"title":"Чат","description":"Описание"})"},
        {"uploadChatAvatar", "",
         [](OrvelApi& a) { return a.uploadChatAvatar(4, kPng, "me.png", "image/png"); }, "POST",
         "/api/messenger/chats/4/avatar", {}, avatarBody, kMultipart},
        {"leaveChat", "", [](OrvelApi& a) { return a.leaveChat(4); }, "DELETE",
         "/api/messenger/chats/4/members/me", {}, ""},
        {"markChatRead", "no message", [](OrvelApi& a) { return a.markChatRead(4); }, "POST",
         "/api/messenger/chats/4/read", {}, "{}"},
        {"markChatRead", "up to a message", [](OrvelApi& a) { return a.markChatRead(4, 77); },
         "POST", "/api/messenger/chats/4/read", {}, R"({"message_id":77})"},
        {"getChatMembers", "", [](OrvelApi& a) { return a.getChatMembers(4); }, "GET",
         "/api/messenger/chats/4/members", {}, ""},
        {"addChatMembers", "", [](OrvelApi& a) { return a.addChatMembers(4, {1, 2}); }, "POST",
         "/api/messenger/chats/4/members", {}, R"({"user_ids":[1,2]})"},
        {"removeChatMember", "", [](OrvelApi& a) { return a.removeChatMember(4, 9); }, "DELETE",
         "/api/messenger/chats/4/members/9", {}, ""},
        {"updateChatMember", "one flag",
         [](OrvelApi& a) { return a.updateChatMember(4, 9, {.canPinMessages = false}); }, "PATCH",
         "/api/messenger/chats/4/members/9", {}, R"({"can_pin_messages":false})"},
        {"updateChatMember", "nothing given",
         [](OrvelApi& a) { return a.updateChatMember(4, 9, {}); }, "PATCH",
         "/api/messenger/chats/4/members/9", {}, "{}"},
        {"updateChatMember", "everything",
         [](OrvelApi& a) {
             return a.updateChatMember(4, 9, {"moderator", true, false, true, false, true, false,
                                              true, false});
         },
         "PATCH", "/api/messenger/chats/4/members/9", {},
         R"({"role":"moderator","can_send_messages":true,"can_send_media":false,"can_add_members":true,
             "can_remove_members":false,"can_delete_messages":true,"can_pin_messages":false,
             "can_edit_chat_info":true,"is_muted":false})"},
        {"getMessages", "latest", [](OrvelApi& a) { return a.getMessages(4, 50); }, "GET",
         "/api/messenger/chats/4/messages", {{"limit", "50"}}, ""},
        {"getMessages", "before a message", [](OrvelApi& a) { return a.getMessages(4, 50, 1200); },
         "GET", "/api/messenger/chats/4/messages", {{"limit", "50"}, {"before", "1200"}}, ""},
        {"sendMessage", "text and reply",
         [](OrvelApi& a) { return a.sendMessage(4, "Привет", 31, {}); }, "POST",
         "/api/messenger/chats/4/messages", {},
         "--{B}\r\nContent-Disposition: form-data; name=\"text\"\r\n\r\nПривет\r\n"
         "--{B}\r\nContent-Disposition: form-data; name=\"reply_to_id\"\r\n\r\n31\r\n--{B}--\r\n",
         kMultipart},
        {"sendMessage", "two images, no text",
         [](OrvelApi& a) {
             return a.sendMessage(4, std::nullopt, std::nullopt,
                                  {{"AB", "a.png", "image/png"}, {"CD", "b.gif", "image/gif"}});
         },
         "POST", "/api/messenger/chats/4/messages", {},
         "--{B}\r\nContent-Disposition: form-data; name=\"media\"; filename=\"a.png\"\r\n"
         "Content-Type: image/png\r\n\r\nAB\r\n"
         "--{B}\r\nContent-Disposition: form-data; name=\"media\"; filename=\"b.gif\"\r\n"
         "Content-Type: image/gif\r\n\r\nCD\r\n--{B}--\r\n",
         kMultipart},
        {"sendMessage", "nothing at all",
         [](OrvelApi& a) { return a.sendMessage(4, std::nullopt, std::nullopt, {}); }, "POST",
         "/api/messenger/chats/4/messages", {}, "--{B}--\r\n", kMultipart},
        {"editMessage", "", [](OrvelApi& a) { return a.editMessage(1200, "Исправлено"); }, "PATCH",
         "/api/messenger/messages/1200", {}, R"({"text":"Исправлено"})"},
        {"deleteMessage", "", [](OrvelApi& a) { return a.deleteMessage(1200); }, "DELETE",
         "/api/messenger/messages/1200", {}, ""},
        // clang-format on
    };
}

const QList<Row>& rows() {
    static const QList<Row> all = buildRows();
    return all;
}

// Names of the operations declared in the header's endpoint section.
QStringList declaredOperations() {
    QFile f(QStringLiteral(ORVEL_API_HEADER));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(f.readAll());
    const qsizetype from = text.indexOf(QStringLiteral("Endpoint catalogue"));
    const qsizetype to = text.indexOf(QRegularExpression(QStringLiteral(R"(\n\s*private:)")), from);
    if (from < 0 || to < 0)
        return {};
    static const QRegularExpression decl(QStringLiteral(R"(QCoro::Task<\w+>\s+(\w+)\s*\()"));
    QStringList ops;
    for (auto it = decl.globalMatch(text.mid(from, to - from)); it.hasNext();)
        ops.append(it.next().captured(1));
    return ops;
}
} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT
    std::unique_ptr<standin::Server> server;

  private slots:
    void initTestCase() {
        server = std::make_unique<standin::Server>();
        QVERIFY(server->listen());
    }
    void cleanupTestCase() { server.reset(); }

    void everyOperationHasARow() {
        const QStringList declared = declaredOperations();
        QVERIFY2(declared.size() > 50, "could not read the endpoint section of OrvelApi.h");
        QSet<QString> inRows{QStringLiteral("logout")}; // declared with the request core
        for (const Row& r : rows())
            inRows.insert(r.op);
        QStringList missing, unknown;
        for (const QString& op : declared)
            if (!inRows.contains(op))
                missing.append(op);
        for (const QString& op : inRows)
            if (op != u"logout" && !declared.contains(op))
                unknown.append(op);
        QVERIFY2(missing.isEmpty(), qPrintable("no wire row for: " + missing.join(", ")));
        QVERIFY2(unknown.isEmpty(),
                 qPrintable("rows for undeclared operations: " + unknown.join(", ")));
        QCOMPARE(declared.size(), QSet<QString>(declared.begin(), declared.end()).size());
    }

    void onTheWire_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < rows().size(); ++i) {
            const Row& r = rows().at(i);
            const QString tag = r.variant.isEmpty() ? r.op : r.op + " / " + r.variant;
            QTest::newRow(qPrintable(tag)) << i;
        }
    }
    void onTheWire() {
        QFETCH(int, index);
        const Row& row = rows().at(index);
        auto api = signedInStudent(*server);
        const QString access = api->accessToken().value_or(QString());
        const QString refresh = api->refreshToken().value_or(QString());
        const auto result = await(row.call(*api));
        QVERIFY2(result.has_value(), "no answer in time");
        if (!result->ok())
            QVERIFY2(!result->error().isTransport(), qPrintable(result->error().description()));

        const auto log = server->requests();
        QCOMPARE(log.size(), 1);
        const standin::LoggedRequest& req = log.first();
        QCOMPARE(req.method, row.method);
        QCOMPARE(req.path, row.path);
        QCOMPARE(req.query.queryItems(QUrl::FullyDecoded), row.query);
        QCOMPARE(req.headers.value("authorization"),
                 row.op == u"login" ? QByteArray() : "Bearer " + access.toUtf8());

        const QByteArray contentType = req.headers.value("content-type");
        if (row.contentType == kMultipart) {
            const QString boundary = boundaryOf(contentType);
            QVERIFY2(isBoundary(boundary), contentType.constData());
            QByteArray expected = row.body;
            QCOMPARE(req.body, expected.replace("{B}", boundary.toLatin1()));
            return;
        }
        QCOMPARE(contentType, row.contentType);
        if (row.body.isEmpty()) {
            QCOMPARE(req.body, QByteArray());
            return;
        }
        QByteArray expectedText = row.body;
        expectedText.replace("{R}", refresh.toUtf8());
        QJsonParseError err{};
        const QJsonDocument sent = QJsonDocument::fromJson(req.body, &err);
        QVERIFY2(err.error == QJsonParseError::NoError && sent.isObject(), req.body.constData());
        const QJsonDocument expected = QJsonDocument::fromJson(expectedText, &err);
        QVERIFY2(err.error == QJsonParseError::NoError, "expected body of the row is not JSON");
        QCOMPARE(sent.object(), expected.object());
    }

    void queryEscape_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("escaped");
        // clang-format off
        QTest::newRow("teacher with initials") << "Иванов И.И." << "%D0%98%D0%B2%D0%B0%D0%BD%D0%BE%D0%B2%20%D0%98.%D0%98.";
        QTest::newRow("group") << "МИ-21" << "%D0%9C%D0%98-21";
        QTest::newRow("faculty with spaces") << "Физ. факультет" << "%D0%A4%D0%B8%D0%B7.%20%D1%84%D0%B0%D0%BA%D1%83%D0%BB%D1%8C%D1%82%D0%B5%D1%82";
        QTest::newRow("yo") << "ё" << "%D1%91";
        QTest::newRow("outside the basic plane") << "😀" << "%F0%9F%98%80";
        QTest::newRow("latin accents, upper-case hex") << "café" << "caf%C3%A9";
        QTest::newRow("reserved kept") << "a&b=c+d?e/f" << "a&b=c+d?e/f";
        QTest::newRow("whole kept set") << "AZaz09-._~!$&'()*+,;=:@/?" << "AZaz09-._~!$&'()*+,;=:@/?";
        QTest::newRow("hash and percent") << "#1 100%" << "%231%20100%25";
        QTest::newRow("already escaped is escaped again") << "%20" << "%2520";
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

    // What the service receives, as sent (still encoded) and as it decodes it.
    void escapingOnTheWire_data() {
        QTest::addColumn<Call>("call");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("rawQuery");
        QTest::addColumn<QStringList>("decoded"); // key=value after decoding
        QTest::newRow("week of a Cyrillic group")
            << Call([](OrvelApi& a) { return a.getWeekSchedule("ФМ", "МИ-21", -1); })
            << "/api/schedule/week"
            << QByteArray("faculty=%D0%A4%D0%9C&group=%D0%9C%D0%98-21&offset=-1")
            << QStringList{"faculty=ФМ", "group=МИ-21", "offset=-1"};
        QTest::newRow("& and + in a group name pass unescaped")
            << Call([](OrvelApi& a) { return a.getWeekSchedule("F", "A&B+C", 0); })
            << "/api/schedule/week" << QByteArray("faculty=F&group=A&B+C&offset=0")
            << QStringList{"faculty=F", "group=A", "B+C=", "offset=0"};
        QTest::newRow("# and % in a search are escaped")
            << Call([](OrvelApi& a) { return a.getTeachers("#1 100%", 10, 0); }) << "/api/teachers"
            << QByteArray("limit=10&offset=0&search=%231%20100%25")
            << QStringList{"limit=10", "offset=0", "search=#1 100%"};
        QTest::newRow("raw faculty with spaces reaches the service encoded")
            << Call([](OrvelApi& a) { return a.getGroups("Физ. факультет"); })
            << "/api/schedule/groups"
            << QByteArray("faculty=%D0%A4%D0%B8%D0%B7.%20%D1%84%D0%B0%D0%BA%D1%83%D0%BB%D1%8C%D1%"
                          "82%D0%B5%D1%82")
            << QStringList{"faculty=Физ. факультет"};
        QTest::newRow("raw faculty number")
            << Call([](OrvelApi& a) { return a.getGroups("5"); }) << "/api/schedule/groups"
            << QByteArray("faculty=5") << QStringList{"faculty=5"};
        QTest::newRow("raw news id with a space")
            << Call([](OrvelApi& a) { return a.getNewsItem("день открытых дверей"); })
            << "/api/news/день открытых дверей" << QByteArray() << QStringList{};
        QTest::newRow("teacher name in the path")
            << Call([](OrvelApi& a) { return a.getTeacherSchedule("Иванов И.И.", -2); })
            << "/api/teachers/Иванов И.И./schedule" << QByteArray("offset=-2")
            << QStringList{"offset=-2"};
    }
    void escapingOnTheWire() {
        QFETCH(Call, call);
        QFETCH(QString, path);
        QFETCH(QByteArray, rawQuery);
        QFETCH(QStringList, decoded);
        auto api = signedInStudent(*server);
        QVERIFY(await(call(*api)));
        const auto log = server->requests();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log.first().path, path);
        QCOMPARE(log.first().rawQuery.toLatin1(), rawQuery);
        QStringList items;
        for (const auto& [k, v] : log.first().query.queryItems(QUrl::FullyDecoded))
            items.append(k + u'=' + v);
        QCOMPARE(items, decoded);
    }

    // A body JSON cannot express would otherwise go out silently altered (NaN as null, an
    // undefined member dropped).
    void unsendableBodiesAreRefused_data() {
        QTest::addColumn<Call>("call");
        const double nan = std::nan("");
        QTest::newRow("NaN stored") << Call([nan](OrvelApi& a) { return a.storageSet("k", nan); });
        QTest::newRow("undefined stored")
            << Call([](OrvelApi& a) { return a.storageSet("k", QJsonValue::Undefined); });
        QTest::newRow("undefined theme id")
            << Call([](OrvelApi& a) { return a.installTheme(QJsonValue::Undefined); });
        QTest::newRow("infinity inside a theme") << Call([](OrvelApi& a) {
            return a.createEditorTheme({{"c", QJsonArray{1, qInf()}}});
        });
        QTest::newRow("NaN inside a push token") << Call([nan](OrvelApi& a) {
            return a.registerPush({{"n", QJsonObject{{"x", nan}}}});
        });
    }
    void unsendableBodiesAreRefused() {
        QFETCH(Call, call);
        auto api = signedInStudent(*server);
        const auto r = await(call(*api));
        QVERIFY(r);
        QVERIFY(!r->ok());
        QVERIFY(r->error().is(OrvelApiError::invalidParams));
        QCOMPARE(server->requests().size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
