#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QtPlugin>
#include <QtQml/qqmlextensionplugin.h>
#include <QtWebView/QtWebView>

Q_IMPORT_QML_PLUGIN(OrvelBox_ControlsPlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_CorePlugin)

int main(int argc, char* argv[]) {
    // The web view backend must be set up before the application object exists.
    QtWebView::initialize();
    QGuiApplication app(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("OrvelBox"));
    QGuiApplication::setApplicationName(QStringLiteral("Orvel_Box"));

    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    QObject::connect(&engine, &QQmlApplicationEngine::objectCreationFailed, &app,
                     [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
    // Importing the module by name (rather than loading its file by path) makes the engine load
    // the module's static plugin, which registers its C++ types.
    engine.loadData(QByteArrayLiteral("import OrvelBox.Core\nMain {}\n"), QUrl(QStringLiteral("qrc:/main.qml")));
    return app.exec();
}
