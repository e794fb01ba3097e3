#pragma once
// What the screen benchmarks share: order statistics of their timings, a signed-in start
// against the in-process stand-in, and a scene shown in a window.
#include "StandinServer.h"
#include "TokenStore.h"

#include <QByteArray>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QVariantMap>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace bench {

// The machine is shared: the minimum shows the code's own cost, the median what a user sees.
struct Stats {
    double min = 0, median = 0, p95 = 0, max = 0;
};
inline Stats stats(std::vector<double> v) {
    if (v.empty())
        return {};
    std::sort(v.begin(), v.end());
    return {v.front(), v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 95 / 100)], v.back()};
}

// A stand-in account in teacher work mode (the demo teacher chosen) whose token pair waits in
// a token file, as the application finds it when it starts.
struct TeacherSession {
    standin::Server server;
    QTemporaryDir dir;
    std::shared_ptr<TokenStore> tokens;

    // False when the stand-in cannot listen.
    bool start(const QString& login) {
        if (!server.listen())
            return false;
        QString refresh;
        const QString access = server.issueTokens(login, &refresh);
        server.setStorage(login, QStringLiteral("work_mode"), QStringLiteral("teacher"));
        server.setStorage(login, QStringLiteral("teacher"), standin::Server::demoTeacherName());
        tokens = std::make_shared<TokenStore>(dir.filePath(QStringLiteral("tokens.ini")));
        tokens->write(QString::fromLatin1(TokenStore::accessKey), access);
        tokens->write(QString::fromLatin1(TokenStore::refreshKey), refresh);
        return true;
    }
};

// Creates the scene `qml` with `properties` and shows its root item filling `window`. Null,
// after saying why, when the scene does not load or the window is never shown. The object must
// go before `engine` and `window` do.
inline std::unique_ptr<QObject> showScene(QQmlEngine& engine, QQuickWindow& window,
                                          const QByteArray& qml, const QVariantMap& properties) {
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    QQmlComponent component(&engine);
    component.setData(qml, QUrl(QStringLiteral("qrc:/bench.qml")));
    std::unique_ptr<QObject> object(
        component.isReady() ? component.createWithInitialProperties(properties) : nullptr);
    auto* root = qobject_cast<QQuickItem*>(object.get());
    if (!root) {
        std::printf("scene did not load: %s\n", qPrintable(component.errorString()));
        return nullptr;
    }
    root->setParentItem(window.contentItem());
    root->setSize(window.size());
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::printf("the window was never shown\n");
        return nullptr;
    }
    return object;
}

} // namespace bench
