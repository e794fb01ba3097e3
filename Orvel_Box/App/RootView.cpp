#include "RootView.h"

#include "Accessibility.h"
#include "Toolkit.h"
#include "WeekStore.h"

#include <QCoreApplication>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QtPlugin>
#include <QtQml/qqmlextensionplugin.h>

// The modules are linked in statically; their plugins register the C++ types. Importing them
// here rather than in main() gives the program and the end-to-end tests the same set.
Q_IMPORT_QML_PLUGIN(OrvelBox_ControlsPlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_CorePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_TimetablePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_HomePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_AppPlugin)

void loadRootView(QQmlApplicationEngine& engine) {
    WeekStore::loadDriverSoon();
    installAccessibility();
    // The symbol font is registered before the window exists: a font added once text is made
    // makes the window drop every font and lay out all of its text again on the first frame.
    Toolkit::instance()->symbolFontFamily();
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreationFailed, QCoreApplication::instance(),
        [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
    // The window's types compile on the engine's loader thread while this one opens the local
    // store, which a start with a session reads before its first frame.
    QQmlComponent early(&engine, QUrl(QStringLiteral("qrc:/qt/qml/OrvelBox/App/Main.qml")),
                        QQmlComponent::Asynchronous);
    WeekStore::shared().openIfKept();
    // Importing the module by name (rather than loading its file by path) makes the engine load
    // the module's static plugin, which registers its C++ types.
    engine.loadData(QByteArrayLiteral("import OrvelBox.App\nMain {}\n"),
                    QUrl(QStringLiteral("qrc:/main.qml")));
}
