// A client signed in to an in-process stand-in, with the per-user store at hand.
#pragma once
#include "CO.h"
#include "StandinServer.h"
#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTemporaryDir>

struct SignedIn {
    std::unique_ptr<standin::Server> server;
    std::unique_ptr<CO> co;
    QTemporaryDir dir;
    QString login = QStringLiteral("tester");

    bool start() {
        // Pictures go to a throw-away cache, not the user's.
        QStandardPaths::setTestModeEnabled(true);
        server = std::make_unique<standin::Server>();
        if (!server->listen())
            return false;
        QString refresh;
        const QString access = server->issueTokens(login, &refresh);
        auto tokens = std::make_shared<TokenStore>(dir.filePath(QStringLiteral("tokens.ini")));
        tokens->write(QString::fromLatin1(TokenStore::accessKey), access);
        tokens->write(QString::fromLatin1(TokenStore::refreshKey), refresh);
        co = std::make_unique<CO>(server->baseUrl(), tokens);
        return true;
    }
    void stop() {
        co.reset();
        server.reset();
    }

    void store(const QString& key, const QString& value) { server->setStorage(login, key, value); }
    void studentMode(const QString& faculty, const QString& group) {
        store(QStringLiteral("work_mode"), QStringLiteral("student"));
        store(QStringLiteral("faculty_name"), faculty);
        store(QStringLiteral("group_name"), group);
    }
    void teacherMode(const QString& name, const QString& mode = QStringLiteral("teacher")) {
        store(QStringLiteral("work_mode"), mode);
        store(QStringLiteral("teacher"), name);
    }
    // The first group of a demo faculty, as the service lists it.
    QString firstGroup(const QString& faculty) {
        const auto answer = await(co->api()->getGroups(faculty));
        if (!answer || !answer->ok())
            return {};
        return answer->value()
            .value(QStringLiteral("groups"))
            .toArray()
            .first()[QStringLiteral("name")]
            .toString();
    }
    // Answers every GET of `path` with `body` from now on.
    void script(const QString& path, const QJsonObject& body, int delayMs = 0, int times = -1) {
        standin::Fault f;
        f.status = 200;
        f.body = QJsonDocument(body).toJson(QJsonDocument::Compact);
        f.delayMs = delayMs;
        f.times = times;
        server->setFault(QStringLiteral("GET"), path, f);
    }
    int gets(const QString& path) const { return server->count(QStringLiteral("GET"), path); }
};
