// Local stand-in for the university's REST service, the public news content service and the
// project web site, all on one loopback HTTP port. Used in-process by the tests and as the
// `orvel-standin` executable for demos.
//
// Demo accounts (created on a fresh database when Options::seedDemoData is true):
//   "student" / "student"  role student; no work-mode keys stored, so the client asks for one.
//   "teacher" / "teacher"  role teacher; its store is preset with work_mode = "teacher" and
//                          teacher = the first demo teacher (see demoTeacherName()).
//
// Every request is recorded in the request log before it is answered. Scripted answers (faults)
// are applied before the real handlers. Answers that are delayed never hold up other clients.
//
// Routes (JSON unless noted; failures are {"error": text} with 400 bad body or parameter,
// 401 missing/unknown/expired token, 404, 405 wrong method, 413 body over 1 MiB or 10 MiB for
// uploads). Everything under /api/ needs "Authorization: Bearer <access>" except sign-in,
// refresh and the content service.
//   POST /api/auth/login {username, password, device_name?, device_type?}
//        -> {success: 1, access_token, refresh_token, token_type, expires_in, user: {...}}
//   POST /api/auth/refresh {refresh_token} -> {access_token, refresh_token, ...}; each refresh
//        token works once. POST /api/auth/logout -> {success: 1}, ends the session.
//   GET  /api/users/me -> the user's fields at the top level and again under "user": id, login,
//        username, display_name, name, firstname, lastname, role ("student"|"teacher"),
//        avatar_url and avatarUrl (a path on this server), isAdmin, is_admin, bio.
//        PATCH /api/users/me {display_name?, firstname?, lastname?, bio?} -> the same.
//   GET  /api/users/sessions -> {sessions: [{id, device_name, device_type, ip, created_at,
//        last_used_at (Unix seconds), is_current}]}, most recently used first;
//        GET /api/sessions/current -> {session: {...}};
//        POST /api/users/sessions/revoke {session_id} -> {success: 1} (404 for a session of
//        another account); POST /api/users/sessions/revoke-all ends all but the calling one.
//   GET  /api/storage/keys -> {keys: [{key}]} in first-written order;
//        POST /api/storage/get {key} -> {key, value} (value null when absent) or
//        {keys: [...]} -> {key: value, ...} at the top level, absent keys left out;
//        POST /api/storage/set {key, value (any JSON)}; POST /api/storage/delete {key}.
//   GET  /api/schedule/faculties -> {faculties: [{id, name}]}; the last one is the university
//        site's leftover "Расширенная настройка cookie", which has no groups.
//        /api/schedule/groups?faculty=NAME -> {groups: [{id, name}]};
//        /api/schedule/week?faculty=&group=&offset= -> {schedule: [lesson]}, lessons for
//        offsets -30..1, empty beyond; also /day?day=, /date?date=, /today with faculty, group.
//   GET  /api/teachers?limit&offset[&search] -> {teachers: [teacher], total};
//        /api/teachers/<name> -> {teacher}; /api/teachers/<name>/schedule?offset= -> {schedule}
//        where each lesson lists all its groups under "combined_groups" (the group form lists
//        the other groups under "combined_with").
//   Public: /media/teachers/<id>.png and <id>_thumb.png, /media/avatars/<id>.png;
//        GET /api/collections/site_news/records[?page&perPage] -> {page, perPage, totalItems,
//        totalPages, items: [{id, collectionId, collectionName, title, author, date
//        ("dd.MM.yyyy"), preview, created, updated}]}, newest first;
//        /api/files/<collectionId>/<id>/<preview>[?thumb=512x0] -> PNG;
//        HTML: /, /news/<id>, /404, /user-agreement, /privacy, /report ("?forApp" drops the
//        site navigation).
//   The client's other catalogue operations (notifications, push, add-ons, themes,
//   administration, messenger, ...) answer {"ok": true}.
#pragma once

#include <QHash>
#include <QHostAddress>
#include <QJsonValue>
#include <QList>
#include <QObject>
#include <QUrlQuery>
#include <memory>

namespace standin {

struct Options {
    QString dbPath = QStringLiteral(":memory:");
    int accessTtlSeconds = 900;
    QHostAddress bind = QHostAddress::LocalHost;
    quint16 port = 0;         // 0 = any free port
    bool seedDemoData = true; // demo accounts, faculties, groups, teachers and news
    // Every answer (scripted ones and drops included) leaves this much later, as over a real
    // network; a fault's own delay comes on top.
    int latencyMs = 0;
};

// Scripted answer for one route.
struct Fault {
    int status = 0;  // >0: answer this status with `body` instead of the real handler
    QByteArray body; // body for status (served as application/json unless contentType set)
    QByteArray contentType;
    int delayMs = 0; // answer (real or scripted) only after this delay
    // Close the connection without any answer. QNetworkAccessManager resends a request once
    // when its connection closes before the first answer byte (the client lets it do so for
    // reads only), so a drop that should reach a reader needs times >= 2 (or -1); each resend
    // is logged as a request of its own.
    bool drop = false;
    bool dropMidBody = false; // send headers and part of the body, then close
    QString redirectTo;       // answer 302 with Location: redirectTo
    int times = -1;           // how many requests it applies to (-1: until cleared)
};

struct LoggedRequest {
    QString method;   // upper case, "GET", "POST", ...
    QString path;     // percent-decoded, without query
    QString rawQuery; // as sent, still encoded
    QUrlQuery query;
    QHash<QByteArray, QByteArray> headers; // lower-case names
    QByteArray body;
    QHostAddress peer;
};

class Backend;
class HttpFront;

class Server : public QObject {
    Q_OBJECT
  public:
    explicit Server(Options o = {}, QObject* parent = nullptr);
    ~Server() override;

    bool listen();
    quint16 port() const;
    QString baseUrl() const; // "http://127.0.0.1:PORT"

    // `path` has no query; method "*" matches any method. A fault for the exact method wins
    // over a "*" fault for the same path.
    void setFault(const QString& method, const QString& path, Fault f);
    void clearFaults();

    QList<LoggedRequest> requests() const;
    int count(const QString& method, const QString& path) const; // "*" counts every method
    void clearLog();

    // Signs `login` in as a new session ("test" device) and returns its access token. The
    // account is created (role student, password = login) when it does not exist yet.
    QString issueTokens(const QString& login, QString* refreshOut = nullptr);
    // Every access token issued so far answers 401 from now on; refresh tokens stay valid.
    void expireAccessTokens();
    void setStorage(const QString& login, const QString& key, const QJsonValue& value);
    QJsonValue storage(const QString& login, const QString& key) const; // Undefined when absent
    void setAccessTtl(int seconds);

    // Demo data facts for tests that need real names.
    static QStringList facultyNames();
    static QString demoTeacherName();

  private:
    friend class HttpFront;
    class Exchange;
    void dispatch(const std::shared_ptr<Exchange>& ex);

    Options m_options;
    std::unique_ptr<Backend> m_backend;
    std::unique_ptr<HttpFront> m_http;
    QList<LoggedRequest> m_log;
    QHash<QString, Fault> m_faults; // "METHOD path"
    quint16 m_port = 0;
};

} // namespace standin
