// Home screen figures: the process's CPU use while the home screen idles with its
// once-a-second clock (goal < 0.5 % of one core), and its resident memory once home is shown
// without the web view (goal < 150 MB). The service is the in-process stand-in; it is idle
// while the home screen is.
//
// Usage: bench_home [seconds per section, default 30]. Run it offscreen or under Xvfb.
#include "BenchSupport.h"
#include "CoordinatorModel.h"
#include "GlobalHomeModel.h"
#include "NewsScreenModel.h"
#include "StandinServer.h"
#include "Toolkit.h"

#include <QFile>
#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>
#include <cstdio>
#include <sys/resource.h>

Q_IMPORT_QML_PLUGIN(OrvelBox_ControlsPlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_CorePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_TimetablePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_HomePlugin)

namespace {
const QByteArray sceneQml = R"qml(
import QtQuick
import OrvelBox.Controls
import OrvelBox.Home
Rectangle {
    property var coordinator
    color: Theme.systemBackground
    GlobalHome { anchors.fill: parent; co: parent.coordinator.co; coordinator: parent.coordinator }
}
)qml";

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// VmRSS of this process in MiB.
double residentMiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

// Runs the event loop alone (QTest::qWait would wake every 10 ms and count itself).
void idle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Whatever the screen loads when shown has arrived when no request came for a while.
void settle(standin::Server& server) {
    qsizetype seen = -1;
    while (server.requests().size() != seen) {
        seen = server.requests().size();
        idle(1500);
    }
}
} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 30;

    bench::TeacherSession session;
    if (!session.start(QStringLiteral("student")))
        return 1;
    standin::Server& server = session.server;
    NewsScreenModel::setContentHost(server.baseUrl());
    // The root view's model: signs in with the stored pair and loads the preferences.
    CoordinatorModel coordinator(new CO(server.baseUrl(), session.tokens));
    while (coordinator.screen() != u"home") {
        if (coordinator.screen() != u"loading") {
            std::printf("the stand-in did not let the account in\n");
            return 1;
        }
        idle(50);
    }

    QQmlEngine engine;
    QQuickWindow window;
    window.resize(1000, 700);
    const std::unique_ptr<QObject> object = bench::showScene(
        engine, window, sceneQml, {{"coordinator", QVariant::fromValue<QObject*>(&coordinator)}});
    if (!object)
        return 1;
    auto* home = object->findChild<GlobalHomeModel*>();
    if (!home)
        return 1;

    std::printf("home screen idling, %s platform, idiom %s, %d s per section (goal < 0.5 %%):\n",
                qPrintable(QGuiApplication::platformName()),
                qPrintable(Toolkit::instance()->idiom()), seconds);
    const char* names[] = {"timetable", "news", "menu"};
    for (int section = 0; section < 3; ++section) {
        home->setSelectedUI(section);
        settle(server);
        if (section == 0)
            std::printf("  resident memory with home shown (no web view): %.1f MiB (goal < 150)\n",
                        residentMiB());
        QSignalSpy ticks(home, &GlobalHomeModel::ticked);
        QSignalSpy frames(&window, &QQuickWindow::frameSwapped);
        const qsizetype requests = server.requests().size();
        const double cpu = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        idle(seconds * 1000);
        const double used = cpuSeconds() - cpu;
        std::printf("  %-9s  cpu %6.3f %% of a core   %3lld ticks   %4lld frames   %lld requests\n",
                    names[section], 100.0 * used / (wall.elapsed() / 1000.0),
                    qlonglong(ticks.size()), qlonglong(frames.size()),
                    qlonglong(server.requests().size() - requests));
    }
    std::printf("  resident memory at the end: %.1f MiB\n", residentMiB());
    return 0;
}
