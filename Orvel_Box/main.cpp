#include "RootView.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QSGRendererInterface>

int main(int argc, char* argv[]) {
    // The web view (Qt WebEngine underneath) shares OpenGL contexts with the scene graph; both
    // must be settled before the application object exists. The engine itself is not started
    // here (QtWebView::initialize, or merely linking the web view library, loads it with the
    // application object: a third of the time to the first frame); the web view's QML module
    // starts it when a screen first shows a page.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    QGuiApplication app(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("OrvelBox"));
    QGuiApplication::setApplicationName(QStringLiteral("Orvel_Box"));

    QQmlApplicationEngine engine;
    loadRootView(engine);
    return app.exec();
}
