// Cold start to the first frame: the application's loading screen against an empty Qt Quick
// window, each started as a fresh process, measured from the parent, in the same run. Then a
// signed-in start to the first drawn week against the in-process stand-in with every answer
// held back 50 ms, with the local week store empty and warm (the kept week and colours drawn
// while the start-up check runs). Beside each wall-clock time, the child's own CPU time by then;
// run it under `chrt -f 10` on a busy machine, and under xvfb-run for a real window system.
#include "BenchSupport.h"
#include "CO.h"
#include "Preferences.h"
#include "RootView.h"
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
#include <algorithm>
#include <cstdio>


namespace {
// This process's own CPU time: unlike the wall clock, it does not grow when the machine is busy.
double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

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
    QGuiApplication a(argc, argv);
    // Written once: a start of the application writes nothing.
    TokenStore tokens;
    const QString access = qEnvironmentVariable("BENCH_ACCESS");
    if (tokens.read(QString::fromLatin1(TokenStore::accessKey)) != access) {
        tokens.write(QString::fromLatin1(TokenStore::accessKey), access);
        tokens.write(QString::fromLatin1(TokenStore::refreshKey),
                     qEnvironmentVariable("BENCH_REFRESH"));
    }
    CO::setServiceUrl(QString::fromLocal8Bit(argv[2]));
    QQmlApplicationEngine engine;
    loadRootView(engine);
    if (engine.rootObjects().isEmpty())
        return 2;
    auto* w = qobject_cast<QQuickWindow*>(engine.rootObjects().first());
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
        std::printf("first-week %.2f\n", cpuMs());
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
    if (app) {
        loadRootView(engine);
    } else {
        engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
        engine.loadData("import QtQuick\nWindow { width: 1100; height: 760; visible: true; Text { "
                        "text: \"Orvel Box\" } }\n");
    }
    if (engine.rootObjects().isEmpty())
        return 2;
    auto* w = qobject_cast<QQuickWindow*>(engine.rootObjects().first());
    QObject::connect(w, &QQuickWindow::frameSwapped, &a, [] {
        std::printf("first-frame %.2f\n", cpuMs());
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    return a.exec();
}

// The CPU time a child printed after `marker`, or -1.
double cpuAfter(const QByteArray& out, const QByteArray& marker) {
    const qsizetype at = out.indexOf(marker + ' ');
    if (at < 0)
        return -1;
    const qsizetype end = out.indexOf('\n', at);
    bool ok = false;
    const double ms = out.mid(at + marker.size() + 1, end - at - marker.size() - 1).toDouble(&ok);
    return ok ? ms : -1;
}

// Runs a child while this thread's event loop keeps the in-process stand-in answering; the
// milliseconds until it printed `marker`, or -1; `cpu` gets the child's CPU time by then.
double runServed(const QString& self, const QStringList& args, const QProcessEnvironment& env,
                 const QByteArray& marker, std::vector<double>& cpu) {
    QProcess p;
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
    cpu.push_back(cpuAfter(out + p.readAllStandardOutput(), marker));
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
    std::vector<double> emptyCpu, warmCpu, windowCpu;
    int requests = 0, warmRequests = 0;
    for (int i = 0; i < runs; ++i) {
        window.push_back(
            runServed(self, {QStringLiteral("--empty")}, env, "first-frame", windowCpu));
        QDir(home.filePath(QStringLiteral("data"))).removeRecursively();
        server.clearLog();
        empty.push_back(runServed(self, args, env, "first-week", emptyCpu));
        requests = int(server.requests().size());
        server.clearLog();
        warm.push_back(runServed(self, args, env, "first-week", warmCpu));
        warmRequests = int(server.requests().size());
    }
    std::printf("signed-in start to the first week drawn, answers held back 50 ms (median of %d;\n"
                "wall clock, and the process's own CPU time, which a busy machine does not grow):\n"
                "  empty Qt Quick window   %7.1f ms  cpu %5.1f ms\n"
                "  week store empty        %7.1f ms  cpu %5.1f ms  (%d requests by then)\n"
                "  week store warm         %7.1f ms  cpu %5.1f ms  (%d requests by then)\n"
                "  warm / empty window     %7.2f     cpu %5.2f (goal <= 1.50)\n",
                runs, median(window), median(windowCpu), median(empty), median(emptyCpu),
                requests, median(warm), median(warmCpu), warmRequests,
                median(warm) / median(window), median(warmCpu) / median(windowCpu));
    for (const standin::LoggedRequest& r : server.requests())
        std::printf("    %s %s\n", qPrintable(r.method), qPrintable(r.path));
    return 0;
}

double runOnce(const QString& self, const QString& mode, std::vector<double>& cpu) {
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(self, {mode});
    if (!p.waitForStarted(5000))
        return -1;
    QByteArray out;
    while (p.state() != QProcess::NotRunning) {
        p.waitForReadyRead(5000);
        out += p.readAllStandardOutput();
        if (out.contains("first-frame"))
            break;
    }
    const double ms = t.nsecsElapsed() / 1e6;
    p.waitForFinished(5000);
    cpu.push_back(cpuAfter(out + p.readAllStandardOutput(), "first-frame"));
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
    const int runs = 10;
    std::vector<double> app, empty, appCpu, emptyCpu;
    for (int i = 0; i < runs; ++i) {
        empty.push_back(runOnce(self, QStringLiteral("--empty"), emptyCpu));
        app.push_back(runOnce(self, QStringLiteral("--app"), appCpu));
    }
    const double a = median(app), e = median(empty);
    std::printf("cold start to first frame (median of %d, platform %s):\n", runs,
                qPrintable(qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("default"))));
    std::printf("  empty Qt Quick window  %7.1f ms  cpu %5.1f ms\n", e, median(emptyCpu));
    std::printf("  loading screen         %7.1f ms  cpu %5.1f ms\n", a, median(appCpu));
    std::printf("  ratio                  %7.2f     cpu %5.2f (goal <= 1.50)\n", a / e,
                median(appCpu) / median(emptyCpu));
    return signedInBench(self, runs);
}
