#include "QmlScene.h"

#include "Accessibility.h"

#include <QQmlComponent>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>
#include <algorithm>

Q_IMPORT_QML_PLUGIN(OrvelBox_ControlsPlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_CorePlugin)

QmlScene::QmlScene(QSize size) {
    installAccessibility();
    m_engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    m_window.resize(size);
}

QmlScene::~QmlScene() {
    m_root.reset();
}

QQuickItem* QmlScene::load(const QByteArray& qml, const QVariantMap& initialProperties) {
    QQmlComponent component(&m_engine);
    component.setData(qml, QUrl(QStringLiteral("qrc:/scene.qml")));
    if (!component.isReady()) {
        qWarning().noquote() << "QML did not load:" << component.errorString();
        return nullptr;
    }
    std::unique_ptr<QObject> object(component.createWithInitialProperties(initialProperties));
    auto* item = qobject_cast<QQuickItem*>(object.get());
    if (!item) {
        qWarning().noquote() << "QML did not load:" << component.errorString();
        return nullptr;
    }
    object.release();
    m_root.reset(item);
    item->setParentItem(m_window.contentItem());
    item->setSize(m_window.size());
    m_window.show();
    if (!QTest::qWaitForWindowExposed(&m_window))
        qWarning("The offscreen window was never exposed");
    return item;
}

QList<QQuickItem*> itemsNamed(QQuickItem* item, const QString& name) {
    QList<QQuickItem*> out;
    if (item->objectName() == name)
        out.append(item);
    for (QQuickItem* child : item->childItems())
        out.append(itemsNamed(child, name));
    return out;
}

QQuickItem* itemNamed(QQuickItem* item, const QString& name) {
    if (!item)
        return nullptr;
    for (QQuickItem* child : item->childItems()) {
        if (child->objectName() == name)
            return child;
        if (QQuickItem* found = itemNamed(child, name))
            return found;
    }
    return nullptr;
}

bool anyItem(QQuickItem* item, const std::function<bool(QQuickItem*)>& matches) {
    if (matches(item))
        return true;
    const auto children = item->childItems();
    return std::any_of(children.cbegin(), children.cend(),
                       [&](QQuickItem* child) { return anyItem(child, matches); });
}

void typeText(QWindow& window, const QString& text) {
    for (QChar c : text) {
        const char latin = c.toLatin1();
        // Characters without a key of their own arrive as text only, as from an input method.
        if (latin >= ' ' && latin <= '~')
            QTest::keyClick(&window, latin);
        else
            QTest::sendKeyEvent(QTest::Click, &window, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

int pixelsNear(const QImage& image, QColor colour, int tolerance) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) <= tolerance &&
                std::abs(c.green() - colour.green()) <= tolerance &&
                std::abs(c.blue() - colour.blue()) <= tolerance)
                ++n;
        }
    return n;
}
