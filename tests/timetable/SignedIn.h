// A client signed in to an in-process stand-in, with the per-user store at hand.
#pragma once
#include "CO.h"
#include "StandinSession.h"
#include "TestSupport.h"
#include "WeekStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTemporaryDir>

struct SignedIn : StandinSession {
    std::unique_ptr<CO> co;
    QTemporaryDir dir;
    QString login = QStringLiteral("tester");
    int starts = 0;

    bool start() {
        // Pictures go to a throw-away cache, not the user's; every start has a store of its own.
        QStandardPaths::setTestModeEnabled(true);
        WeekStore::setSharedPath(dir.filePath(QStringLiteral("weeks-%1.sqlite").arg(++starts)));
        if (!StandinSession::start(login))
            return false;
        auto tokens = std::make_shared<TokenStore>(dir.filePath(QStringLiteral("tokens.ini")));
        writeTo(*tokens);
        co = std::make_unique<CO>(server->baseUrl(), tokens);
        // Once the start-up check has named the account, weeks are stored under it.
        return QTest::qWaitFor([&] { return !co->account().isEmpty(); }, 10000);
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
        return answer && answer->ok() ? answer->value()[u"groups"][0][u"name"].toString()
                                      : QString();
    }
    // Answers every GET of `path` with `body` from now on.
    void script(const QString& path, const QJsonObject& body, int delayMs = 0) {
        server->setFault(QStringLiteral("GET"), path,
                         fault::delayed(delayMs, fault::answer(200, QJsonDocument(body).toJson(
                                                                        QJsonDocument::Compact))));
    }
    int gets(const QString& path) const { return server->count(QStringLiteral("GET"), path); }
};
