#pragma once
#include <QImage>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QVariantMap>
#include <functional>
#include <memory>

// One offscreen window with its own QML engine (and so its own Theme), holding one item built
// from QML text that imports the application's modules.
class QmlScene {
  public:
    explicit QmlScene(QSize size = {420, 760});
    ~QmlScene();

    // Builds the item, fills the window with it and waits until the window is exposed. Returns
    // null (after a test failure message) when the QML does not load.
    QQuickItem* load(const QByteArray& qml, const QVariantMap& initialProperties = {});
    QQuickItem* root() const { return m_root.get(); }
    QQuickWindow& window() { return m_window; }

    template <class T = QObject> T* find(const QString& objectName) const {
        return m_root ? m_root->findChild<T*>(objectName) : nullptr;
    }

  private:
    QQmlEngine m_engine;
    QQuickWindow m_window;
    std::unique_ptr<QQuickItem> m_root;
};

// Items named `name` at or below `item` in the visual tree; loaded screens, list delegates and
// sheets hang there without QObject parents, so findChild does not reach them.
QList<QQuickItem*> itemsNamed(QQuickItem* item, const QString& name);
// The first item named `name` below `item` (depth first), or null; null `item` gives null.
QQuickItem* itemNamed(QQuickItem* item, const QString& name);
// Whether `item` or anything below it matches.
bool anyItem(QQuickItem* item, const std::function<bool(QQuickItem*)>& matches);
// Types any text, Cyrillic included, into whatever has the focus (keyClicks is widgets only).
void typeText(QWindow& window, const QString& text);
// How many pixels are close to `colour`.
int pixelsNear(const QImage& image, QColor colour, int tolerance = 24);
