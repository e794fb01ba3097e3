// A window's root model signed in to an in-process stand-in, with its preferences loaded.
#pragma once
#include "CoordinatorModel.h"
#include "StandinSession.h"
#include "TestSupport.h"
#include "WeekStore.h"

#include <QJsonDocument>
#include <QStandardPaths>
#include <QTemporaryDir>

struct SignedInWindow : StandinSession {
    QTemporaryDir dir;
    std::shared_ptr<TokenStore> tokens;
    std::unique_ptr<CoordinatorModel> root;
    QString login;
    int starts = 0;

    // Signs `account` in as this machine's session and waits until home is loaded.
    bool start(const QString& account = QStringLiteral("student")) {
        QStandardPaths::setTestModeEnabled(true);
        WeekStore::setSharedPath(dir.filePath(QStringLiteral("weeks-%1.sqlite").arg(++starts)));
        login = account;
        if (!StandinSession::start(login))
            return false;
        tokens = std::make_shared<TokenStore>(dir.filePath(QStringLiteral("tokens.ini")));
        writeTo(*tokens);
        root = std::make_unique<CoordinatorModel>(new CO(server->baseUrl(), tokens));
        return homeLoaded();
    }
    void stop() {
        root.reset();
        server.reset();
    }
    bool homeLoaded() {
        return detail::spinUntil([&] { return root->screen() == u"home"; }, 10000);
    }

    // The same account signed in on another device, as a client of its own.
    std::unique_ptr<OrvelApi> signInElsewhere(const QString& device, const QString& type) {
        auto other = std::make_unique<OrvelApi>(server->baseUrl(), std::nullopt, std::nullopt);
        const auto answer = await(other->login(login, login, device, type));
        return answer && answer->ok() ? std::move(other) : nullptr;
    }

    CO* co() const { return root->co(); }
    QVariant setting(const char* key) const {
        return root->preferences()->settings().value(QString::fromLatin1(key));
    }
    QJsonValue stored(const QString& key) const { return server->storage(login, key); }

    int posts(const char* path) const {
        return server->count(QStringLiteral("POST"), QString::fromLatin1(path));
    }
    // Bodies of the requests to `path`, in sending order.
    QList<QJsonObject> bodies(const char* path) const {
        QList<QJsonObject> out;
        for (const standin::LoggedRequest& r : server->requests())
            if (r.path == QLatin1String(path))
                out.append(QJsonDocument::fromJson(r.body).object());
        return out;
    }
    void fault(const char* method, const char* path, standin::Fault f) {
        server->setFault(QString::fromLatin1(method), QString::fromLatin1(path), f);
    }
};
