#include "AppDriver.h"

#include "CO.h"
#include "CachedAsyncImage.h"
#include "CoordinatorModel.h"
#include "NewsScreenModel.h"
#include "RootView.h"
#include "TestSupport.h"
#include "TokenStore.h"
#include "Toolkit.h"

#include <QDir>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTest>

namespace {
void collect(QQuickItem* item, const QString& name, QList<QQuickItem*>& out) {
    if (item->objectName() == name)
        out.append(item);
    for (QQuickItem* child : item->childItems())
        collect(child, name, out);
}

bool anyLoading(QQuickItem* item) {
    if (auto* image = qobject_cast<CachedAsyncImage*>(item); image && image->loading())
        return true;
    const auto children = item->childItems();
    return std::any_of(children.cbegin(), children.cend(), anyLoading);
}
} // namespace

AppDriver::AppDriver(QString journey) : m_journey(std::move(journey)) {}

AppDriver::~AppDriver() {
    quit();
}

bool AppDriver::start(QSize size) {
    QStandardPaths::setTestModeEnabled(true);
    QGuiApplication::setOrganizationName(QStringLiteral("OrvelBox"));
    QGuiApplication::setApplicationName(QStringLiteral("Orvel_Box"));
    m_server = std::make_unique<standin::Server>();
    if (!m_server->listen())
        return false;
    // A first start: no session kept from an earlier run.
    TokenStore tokens;
    tokens.remove(QString::fromLatin1(TokenStore::accessKey));
    tokens.remove(QString::fromLatin1(TokenStore::refreshKey));
    CO::setServiceUrl(m_server->baseUrl());
    NewsScreenModel::setContentHost(m_server->baseUrl());
    Toolkit::instance()->setIdiom(QStringLiteral("pad"));
    Toolkit::instance()->setWebViewStandIn(true);
    Toolkit::instance()->setUrlOpener([](const QUrl&) {});
    return open(size);
}

bool AppDriver::open(QSize size) {
    m_engine = std::make_unique<QQmlApplicationEngine>();
    loadRootView(*m_engine);
    const auto roots = m_engine->rootObjects();
    m_window = roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow*>(roots.first());
    if (!m_window)
        return false;
    m_window->resize(size);
    m_window->requestActivate();
    if (!QTest::qWaitForWindowExposed(m_window))
        return false;
    m_stalls.start(QStringLiteral("start"));
    return true;
}

void AppDriver::quit() {
    m_stalls.pause();
    m_window = nullptr;
    m_engine.reset();
}

bool AppDriver::relaunch(QSize size) {
    quit();
    return open(size);
}

CoordinatorModel* AppDriver::root() const {
    QQuickItem* coordinator = item(QStringLiteral("coordinator"));
    return coordinator ? coordinator->property("model").value<CoordinatorModel*>() : nullptr;
}

QString AppDriver::screen() const {
    CoordinatorModel* model = root();
    return model ? model->screen() : QString();
}

bool AppDriver::waitForScreen(const QString& name, int timeoutMs) const {
    return QTest::qWaitFor([&] { return screen() == name; }, timeoutMs);
}

QList<QQuickItem*> AppDriver::items(const QString& name) const {
    QList<QQuickItem*> out;
    if (m_window)
        collect(m_window->contentItem(), name, out);
    return out;
}

QQuickItem* AppDriver::item(const QString& name) const {
    if (QQuickItem* shown = visibleItem(name))
        return shown;
    return items(name).value(0);
}

QQuickItem* AppDriver::visibleItem(const QString& name) const {
    for (QQuickItem* i : items(name))
        if (i->isVisible())
            return i;
    return nullptr;
}

QQuickItem* AppDriver::waitForVisible(const QString& name, int timeoutMs) const {
    QQuickItem* found = nullptr;
    (void)QTest::qWaitFor([&] { return (found = visibleItem(name)) != nullptr; }, timeoutMs);
    return found;
}

void AppDriver::click(QQuickItem* item, Qt::MouseButton button) {
    clickAt(item, QPointF(item->width() / 2, item->height() / 2), button);
}

void AppDriver::clickAt(QQuickItem* item, QPointF local, Qt::MouseButton button) {
    // A control that has just appeared is placed by its layout at the next frame, and pages
    // slide in: press where it comes to rest, as a person would.
    QPointF at = item->mapToScene(local);
    for (int i = 0; i < 50; ++i) {
        QTest::qWait(20);
        const QPointF now = item->mapToScene(local);
        if (now == at)
            break;
        at = now;
    }
    QTest::mouseClick(m_window, button, {}, at.toPoint());
}

void AppDriver::press(int key, Qt::KeyboardModifiers modifiers) {
    QTest::keyClick(m_window, Qt::Key(key), modifiers);
}

void AppDriver::type(const QString& text) {
    for (QChar c : text) {
        const char latin = c.toLatin1();
        if (latin >= ' ' && latin <= '~')
            QTest::keyClick(m_window, latin);
        else
            QTest::sendKeyEvent(QTest::Click, m_window, Qt::Key_unknown, QString(c),
                                Qt::NoModifier);
    }
}

QImage AppDriver::picture(const QString& step) {
    QTest::qWait(350); // sheets and pages slide for up to 300 ms
    m_stalls.pause();
    const QImage image = m_window->grabWindow();
    const QString name = QStringLiteral("journey-%1-%2-%3.png")
                             .arg(m_journey)
                             .arg(++m_pictures, 2, 10, QLatin1Char('0'))
                             .arg(step);
    image.save(QDir(artifactDir()).filePath(name));
    m_stalls.resume(step);
    return image;
}

bool AppDriver::picturesArrived(int timeoutMs) const {
    return QTest::qWaitFor([&] { return !m_window || !anyLoading(m_window->contentItem()); },
                           timeoutMs);
}

QString AppDriver::storedAccess() const {
    return TokenStore().read(QString::fromLatin1(TokenStore::accessKey)).value_or(QString());
}

QString AppDriver::storedRefresh() const {
    return TokenStore().read(QString::fromLatin1(TokenStore::refreshKey)).value_or(QString());
}
