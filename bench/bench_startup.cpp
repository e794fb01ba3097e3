// Cold start to the first frame: the application's loading screen against an empty Qt Quick
// window, each started as a fresh process, measured from the parent, in the same run.
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QtQml/qqmlextensionplugin.h>
#include <algorithm>
#include <cstdio>

Q_IMPORT_QML_PLUGIN(OrvelBox_ControlsPlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_CorePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_AppPlugin)

namespace {
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
    if (argc > 1 && (qstrcmp(argv[1], "--app") == 0 || qstrcmp(argv[1], "--empty") == 0))
        return child(argc, argv, qstrcmp(argv[1], "--app") == 0);

    QCoreApplication core(argc, argv);
    const QString self = QCoreApplication::applicationFilePath();
    const int runs = 10;
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
    return 0;
}
