// The stand-in service as the client tests meet it: in-process on loopback, a session issued,
// the token pair written where a client looks for it.
#pragma once
#include "Faults.h"
#include "TokenStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

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

// A stand-in started afresh for each test function and an empty token file of that function's
// own, for tests that sign in and out through the client.
struct FreshService {
    std::unique_ptr<standin::Server> server;
    std::shared_ptr<TokenStore> store;
    QTemporaryDir dir;

    bool start() {
        server = std::make_unique<standin::Server>();
        if (!server->listen())
            return false;
        store = std::make_shared<TokenStore>(
            dir.filePath(QStringLiteral("tokens-%1.ini").arg(QTest::currentTestFunction())));
        QFile::remove(store->filePath());
        return true;
    }
    void stop() { server.reset(); }
};
