// The stand-in's behaviour without any networking: one request in, one reply out. Every route
// is declared in the one table of Backend::addRoutes().
#pragma once

#include "StandinServer.h"
#include "Store.h"

#include <QJsonObject>
#include <functional>
#include <memory>
#include <vector>

namespace standin {

class Catalog;

struct Reply {
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
    QByteArray location; // for redirects

    static Reply json(const QJsonObject& o, int status = 200);
    static Reply error(int status, const QString& text);
    static Reply data(const QByteArray& body, const QByteArray& contentType, int status = 200);
};

class Backend {
  public:
    explicit Backend(const Options& o);
    ~Backend();

    bool isReady() const { return m_store.isOpen(); }
    QString lastError() const { return m_store.lastError(); }
    Store& store() { return m_store; }
    void setAccessTtl(int seconds);

    // `origin` is "http://host:port" as the client reached us; picture addresses in answers
    // are built on it so that they work from wherever the client sits.
    Reply handle(const LoggedRequest& req, const QString& origin);

    // Signs an account in directly; creates a student account when the login is unknown.
    TokenPair signIn(const QString& login);
    qint64 ensureUser(const QString& login);

    struct Call {
        const LoggedRequest& req;
        QStringList args; // the "{}" segments of the route, percent-decoded
        QString origin;
        qint64 userId = 0;
        qint64 sessionId = 0;
        QJsonObject body; // for routes taking a JSON object
    };

  private:
    using Handler = Reply (Backend::*)(Call&);
    enum Flags { Public = 0, Token = 1, JsonBody = 2 };
    struct Route {
        QByteArray method;
        QStringList pattern; // path segments; "{}" matches any one segment
        int flags;
        qsizetype maxBody;
        Handler handler;
    };

    void seed();
    void addRoutes();
    void add(const char* method, const char* path, int flags, Handler h,
             qsizetype maxBody = 1 << 20);
    void addAccepted(const char* methodAndPath, qsizetype maxBody);

    // accounts and sessions
    Reply login(Call& c);
    Reply refresh(Call& c);
    Reply logout(Call& c);
    Reply me(Call& c);
    Reply updateMe(Call& c);
    Reply sessionList(Call& c);
    Reply currentSession(Call& c);
    Reply revokeSession(Call& c);
    Reply revokeAll(Call& c);
    Reply accepted(Call& c);
    // per-user store
    Reply storageKeys(Call& c);
    Reply storageGet(Call& c);
    Reply storageSet(Call& c);
    Reply storageDelete(Call& c);
    // timetable and teachers
    Reply faculties(Call& c);
    Reply groups(Call& c);
    Reply week(Call& c);
    Reply dayOfWeek(Call& c);
    Reply teachers(Call& c);
    Reply teacher(Call& c);
    Reply teacherWeek(Call& c);
    // pictures, news content and site pages
    Reply avatarPicture(Call& c);
    Reply teacherPicture(Call& c);
    Reply newsRecords(Call& c);
    Reply newsFile(Call& c);
    Reply sitePage(Call& c);
    Reply newsPage(Call& c);

    QByteArray picture(const QString& key, const std::function<QByteArray()>& draw);

    Options m_options;
    Store m_store;
    std::unique_ptr<Catalog> m_catalog;
    std::vector<Route> m_routes;
    QHash<QString, QByteArray> m_pictures; // drawn once, served many times
};

} // namespace standin
