// Cold start to the first frame: the application's loading screen against an empty Qt Quick
// window, each started as a fresh process, measured from the parent, in the same run. Then a
// signed-in start to the first drawn week against the in-process stand-in with every answer
// held back 50 ms, with the local week store empty and warm (the kept week and colours drawn
// while the start-up check runs).
#include "BenchSupport.h"
#include "CO.h"
#include "Preferences.h"
#include "ScheduleScreenModel.h"
#include "TokenStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QJsonArray>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>
#include <algorithm>
#include <cstdio>

Q_IMPORT_QML_PLUGIN(OrvelBox_ControlsPlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_CorePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_AppPlugin)

namespace {
// The timetable on screen, found through the items' "model" properties.
ScheduleScreenModel* timetableIn(QQuickItem* item) {
    if (auto* m = qobject_cast<ScheduleScreenModel*>(item->property("model").value<QObject*>()))
        return m;
    for (QQuickItem* child : item->childItems())
        if (ScheduleScreenModel* m = timetableIn(child))
            return m;
    return nullptr;
}

// The application signed in to the service at argv[2] with the token pair in the environment;
// exits at the first frame that shows a week.
int signedInChild(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    static QElapsedTimer T; T.start();
    QGuiApplication a(argc, argv);
    fprintf(stderr, "app %lld\n", T.elapsed());
    TokenStore tokens;
    tokens.write(QString::fromLatin1(TokenStore::accessKey), qEnvironmentVariable("BENCH_ACCESS"));
    tokens.write(QString::fromLatin1(TokenStore::refreshKey),
                 qEnvironmentVariable("BENCH_REFRESH"));
    CO::setServiceUrl(QString::fromLocal8Bit(argv[2]));
    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    fprintf(stderr, "engine %lld\n", T.elapsed());
    engine.loadData("import OrvelBox.App\nMain {}\n", QUrl(QStringLiteral("qrc:/bench.qml")));
    fprintf(stderr, "loaded %lld\n", T.elapsed());
    if (engine.rootObjects().isEmpty())
        return 2;
    auto* w = qobject_cast<QQuickWindow*>(engine.rootObjects().first());
    QObject::connect(w, &QQuickWindow::frameSwapped, &a, [&] { fprintf(stderr, "frame %lld\n", T.elapsed()); });
    QObject::connect(w, &QQuickWindow::beforeSynchronizing, &a, [&] { fprintf(stderr, "sync %lld\n", T.elapsed()); }, Qt::DirectConnection);
    bool weekShown = false;
    QObject::connect(
        w, &QQuickWindow::beforeRendering, &a,
        [&] {
            ScheduleScreenModel* t = timetableIn(w->contentItem());
            const QString state = t ? t->screenState() : QString();
            weekShown = state == u"lessons" || state == u"rest";
        },
        Qt::DirectConnection);
    QObject::connect(w, &QQuickWindow::frameSwapped, &a, [&] {
        if (!weekShown)
            return;
        std::printf("first-week\n");
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    return a.exec();
}

int child(int argc, char** argv, bool app) {
    // Same start-up steps as the application's main.
    if (app) {
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
        QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    }
    QGuiApplication a(argc, argv);
    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    if (app)
        engine.loadData("import OrvelBox.App\nMain {}\n", QUrl(QStringLiteral("qrc:/bench.qml")));
    else
        engine.loadData("import QtQuick\nWindow { width: 1100; height: 760; visible: true; Text { "
                        "text: \"Orvel Box\" } }\n");
    if (engine.rootObjects().isEmpty())
        return 2;
    auto* w = qobject_cast<QQuickWindow*>(engine.rootObjects().first());
    QObject::connect(w, &QQuickWindow::frameSwapped, &a, [] {
        std::printf("first-frame\n");
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    return a.exec();
}

// Runs a child while this thread's event loop keeps the in-process stand-in answering; the
// milliseconds until it printed `marker`, or -1.
double runServed(const QString& self, const QStringList& args, const QProcessEnvironment& env,
                 const QByteArray& marker) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setProcessEnvironment(env);
    QEventLoop loop;
    QByteArray out;
    double ms = -1;
    QElapsedTimer t;
    QObject::connect(&p, &QProcess::readyReadStandardOutput, &loop, [&] {
        out += p.readAllStandardOutput();
        if (ms < 0 && out.contains(marker)) {
            ms = t.nsecsElapsed() / 1e6;
            loop.quit();
        }
    });
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    t.start();
    p.start(self, args);
    loop.exec();
    p.waitForFinished(5000);
    return ms;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

QCoro::Task<void> fetchGroups(OrvelApi* api, QString faculty, std::optional<ApiResult>* out) {
    *out = co_await api->getGroups(faculty);
}

int signedInBench(const QString& self, int runs) {
    // Every answer held back as on a real network.
    standin::Options options;
    options.latencyMs = 50;
    standin::Server server(options);
    if (!server.listen())
        return 1;
    const QString login = QStringLiteral("bench");
    QString refresh;
    const QString access = server.issueTokens(login, &refresh);
    for (const auto& [key, value] : Preferences::defaults())
        server.setStorage(login, key, value);
    const QString faculty = standin::Server::facultyNames().first();
    OrvelApi probe(server.baseUrl(), access, std::nullopt);
    std::optional<ApiResult> groups;
    fetchGroups(&probe, faculty, &groups);
    while (!groups)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!groups->ok())
        return 1;
    server.setStorage(login, QStringLiteral("work_mode"), QStringLiteral("student"));
    server.setStorage(login, QStringLiteral("faculty_name"), faculty);
    server.setStorage(
        login, QStringLiteral("group_name"),
        groups->value().value(QStringLiteral("groups")).toArray().first()[u"name"].toString());
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("ORVEL_TOKEN_STORE"), QStringLiteral("file"));
    env.insert(QStringLiteral("BENCH_ACCESS"), access);
    env.insert(QStringLiteral("BENCH_REFRESH"), refresh);
    const QStringList args{QStringLiteral("--signed-in"), server.baseUrl()};
    std::vector<double> empty, warm, window;
    int requests = 0, warmRequests = 0;
    for (int i = 0; i < runs; ++i) {
        window.push_back(runServed(self, {QStringLiteral("--empty")}, env, "first-frame"));
        QDir(home.filePath(QStringLiteral("data"))).removeRecursively();
        server.clearLog();
        empty.push_back(runServed(self, args, env, "first-week"));
        requests = int(server.requests().size());
        server.clearLog();
        warm.push_back(runServed(self, args, env, "first-week"));
        warmRequests = int(server.requests().size());
    }
    std::printf("signed-in start to the first week drawn, answers held back 50 ms (median of %d):\n"
                "  empty Qt Quick window   %7.1f ms\n"
                "  week store empty        %7.1f ms  (%d requests by then)\n"
                "  week store warm         %7.1f ms  (%d requests by then)\n"
                "  warm / empty window     %7.2f (goal <= 1.50)\n",
                runs, median(window), median(empty), requests, median(warm), warmRequests,
                median(warm) / median(window));
    for (const standin::LoggedRequest& r : server.requests())
        std::printf("    %s %s\n", qPrintable(r.method), qPrintable(r.path));
    return 0;
}

double runOnce(const QString& self, const QString& mode) {
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(self, {mode});
    if (!p.waitForStarted(5000))
        return -1;
    while (p.state() != QProcess::NotRunning) {
        p.waitForReadyRead(5000);
        if (p.readAllStandardOutput().contains("first-frame"))
            break;
    }
    const double ms = t.nsecsElapsed() / 1e6;
    p.waitForFinished(5000);
    return ms;
}
} // namespace

int main(int argc, char** argv) {
    if (argc > 2 && qstrcmp(argv[1], "--signed-in") == 0)
        return signedInChild(argc, argv);
    if (argc > 1 && (qstrcmp(argv[1], "--app") == 0 || qstrcmp(argv[1], "--empty") == 0))
        return child(argc, argv, qstrcmp(argv[1], "--app") == 0);

    QCoreApplication core(argc, argv);
    const QString self = QCoreApplication::applicationFilePath();
    const int runs = 3;
    std::vector<double> app, empty;
    for (int i = 0; i < runs; ++i) {
        empty.push_back(runOnce(self, QStringLiteral("--empty")));
        app.push_back(runOnce(self, QStringLiteral("--app")));
    }
    std::sort(app.begin(), app.end());
    std::sort(empty.begin(), empty.end());
    const double a = app[runs / 2], e = empty[runs / 2];
    std::printf("cold start to first frame (median of %d, platform %s):\n", runs,
                qPrintable(qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("default"))));
    std::printf("  empty Qt Quick window  %7.1f ms\n", e);
    std::printf("  loading screen         %7.1f ms\n", a);
    std::printf("  ratio                  %7.2f (goal <= 1.50)\n", a / e);
    return signedInBench(self, runs);
}
