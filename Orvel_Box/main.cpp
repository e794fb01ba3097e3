#include "RootView.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QtPlugin>
#include <QtQml/qqmlextensionplugin.h>
#include <QtWebView/QtWebView>

Q_IMPORT_QML_PLUGIN(OrvelBox_ControlsPlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_CorePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_TimetablePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_HomePlugin)

int main(int argc, char* argv[]) {
    // The web view (Qt WebEngine underneath) shares OpenGL contexts with the scene graph; both
    // must be settled before the application object exists, or it is set up from a plugin
    // too late. The view itself is created only when a screen shows a page.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    QtWebView::initialize();
    QGuiApplication app(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("OrvelBox"));
    QGuiApplication::setApplicationName(QStringLiteral("Orvel_Box"));

    QQmlApplicationEngine engine;
    loadRootView(engine);
    return app.exec();
}
