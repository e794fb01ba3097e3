#include "RootView.h"

#include "Accessibility.h"

#include <QCoreApplication>
#include <QQmlApplicationEngine>

void loadRootView(QQmlApplicationEngine& engine) {
    installAccessibility();
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreationFailed, QCoreApplication::instance(),
        [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
    // Importing the module by name (rather than loading its file by path) makes the engine load
    // the module's static plugin, which registers its C++ types.
    engine.loadData(QByteArrayLiteral("import OrvelBox.Core\nMain {}\n"),
                    QUrl(QStringLiteral("qrc:/main.qml")));
}
