// Round trip of OrvelApi::request against a raw QNetworkAccessManager GET, same server, same run.
#include "OrvelApi.h"
#include "StandinServer.h"

#include <QCoreApplication>
#include <QCoroNetworkReply>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <algorithm>
#include <cstdio>

namespace {
double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

QCoro::Task<void> run(standin::Server* server, int n) {
    const QString token = server->issueTokens(QStringLiteral("student"));
    OrvelApi api(server->baseUrl(), token, std::nullopt);
    QNetworkAccessManager raw;
    QNetworkRequest req(QUrl(server->baseUrl() + QStringLiteral("/api/users/me")));
    req.setRawHeader("Authorization", "Bearer " + token.toUtf8());
    req.setRawHeader("Content-Type", "application/json");

    std::vector<double> viaApi, viaRaw;
    for (int i = 0; i < n + 20; ++i) { // 20 warm-up rounds of each
        QElapsedTimer t;
        t.start();
        auto* reply = raw.get(req);
        co_await qCoro(reply).waitForFinished(std::chrono::milliseconds(-1));
        reply->readAll();
        reply->deleteLater();
        if (i >= 20)
            viaRaw.push_back(t.nsecsElapsed() / 1e3);

        t.restart();
        const ApiResult r = co_await api.request(QStringLiteral("/api/users/me"), QStringLiteral("GET"));
        if (!r.ok())
            std::printf("request failed: %s\n", qPrintable(r.error().description()));
        if (i >= 20)
            viaApi.push_back(t.nsecsElapsed() / 1e3);
    }
    const double a = median(viaApi), b = median(viaRaw);
    std::printf("request round trip on loopback, %d calls each (median):\n", n);
    std::printf("  OrvelApi::request   %8.1f us\n", a);
    std::printf("  raw QNAM GET        %8.1f us\n", b);
    std::printf("  ratio               %8.2f (goal <= 1.20)\n", a / b);
    QCoreApplication::quit();
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    standin::Server server;
    if (!server.listen())
        return 1;
    const int n = argc > 1 ? QByteArray(argv[1]).toInt() : 500;
    run(&server, n);
    return app.exec();
}
