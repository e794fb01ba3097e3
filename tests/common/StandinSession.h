// The stand-in service as the client tests meet it: in-process on loopback, a session issued,
// the token pair written where a client looks for it, and scripted faults.
#pragma once
#include "StandinServer.h"
#include "TokenStore.h"

#include <memory>

namespace fault {
// The service's answer replaced by this one.
inline standin::Fault answer(int status, QByteArray body = {}, QByteArray contentType = {}) {
    return standin::Fault{.status = status, .body = std::move(body), .contentType = std::move(contentType)};
}
// The answer (the service's own unless given) held back for `ms`.
inline standin::Fault delayed(int ms, standin::Fault f = {}) {
    f.delayMs = ms;
    return f;
}
// The connection closed without an answer. Qt resends once by itself, so a drop stays in force
// until cleared unless `times` says otherwise.
inline standin::Fault dropped(int times = -1) {
    return standin::Fault{.drop = true, .times = times};
}
} // namespace fault

// Issues a session for `login` and writes its pair into `store`; returns the access token.
inline QString signInto(standin::Server& server, const QString& login, TokenStore& store,
                        QString* refresh = nullptr) {
    QString r;
    const QString access = server.issueTokens(login, &r);
    store.write(QString::fromLatin1(TokenStore::accessKey), access);
    store.write(QString::fromLatin1(TokenStore::refreshKey), r);
    if (refresh)
        *refresh = r;
    return access;
}

struct StandinSession {
    std::unique_ptr<standin::Server> server;
    QString access;
    QString refresh;

    bool start(const QString& login = QStringLiteral("student"), standin::Options o = {}) {
        server = std::make_unique<standin::Server>(std::move(o));
        if (!server->listen())
            return false;
        access = server->issueTokens(login, &refresh);
        return true;
    }
    void writeTo(TokenStore& store) const {
        store.write(QString::fromLatin1(TokenStore::accessKey), access);
        store.write(QString::fromLatin1(TokenStore::refreshKey), refresh);
    }
    int count(const QString& method, const QString& path) const {
        return server->count(method, path);
    }
};
