#include "AppDriver.h"

#include "CO.h"
#include "CachedAsyncImage.h"
#include "CoordinatorModel.h"
#include "GlobalHomeModel.h"
#include "NewsScreenModel.h"
#include "PhotoCache.h"
#include "QmlScene.h"
#include "RootView.h"
#include "ScheduleScreenModel.h"
#include "StandinSession.h"
#include "TestSupport.h"
#include "TokenStore.h"
#include "Toolkit.h"
#include "WeekStore.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <utility>

// The stand-in commits every write: in memory-backed storage it costs no disk flush.
AppDriver::AppDriver(QString journey)
    : m_journey(std::move(journey)),
      m_data(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                 ? QStringLiteral("/dev/shm/orvel-standin-XXXXXX")
                 : QDir::tempPath() + QStringLiteral("/orvel-standin-XXXXXX")) {}

bool AppDriver::startSignedIn(const QString& login, const std::function<void()>& prepare) {
    if (!serve())
        return false;
    TokenStore tokens;
    signInto(*m_server, login, tokens);
    if (prepare)
        prepare();
    return open();
}

// A stand-in of its own for every start: no answer of an earlier one reaches this run, and
// picture addresses (keyed by port) are new to the picture cache.
bool AppDriver::serve(QSize size) {
    quit();
    m_size = size;
    QStandardPaths::setTestModeEnabled(true);
    QGuiApplication::setOrganizationName(QStringLiteral("OrvelBox"));
    QGuiApplication::setApplicationName(QStringLiteral("Orvel_Box"));
    m_server.reset();
    m_options = {};
    m_options.dbPath = m_data.filePath(QStringLiteral("standin-%1.sqlite").arg(++m_services));
    m_server = std::make_unique<standin::Server>(m_options);
    if (!m_server->listen())
        return false;
    m_options.port = m_server->port();
    // Only the files go: the cache writes into the folders it made when it was created.
    PhotoCache::instance().clearMemory();
    QDirIterator stored(PhotoCache::defaultDiskPath(), QDir::Files, QDirIterator::Subdirectories);
    while (stored.hasNext())
        QFile::remove(stored.next());
    // A first start: no session, stored weeks or timetable view kept from an earlier run.
    WeekStore::setSharedPath(m_data.filePath(QStringLiteral("weeks-%1.sqlite").arg(m_services)));
    TokenStore tokens;
    tokens.remove(QString::fromLatin1(TokenStore::accessKey));
    tokens.remove(QString::fromLatin1(TokenStore::refreshKey));
    QSettings().remove(QStringLiteral("timetable/weekView"));
    CO::setServiceUrl(m_server->baseUrl());
    NewsScreenModel::setContentHost(m_server->baseUrl());
    Toolkit::instance()->setIdiom(QStringLiteral("pad"));
    Toolkit::instance()->setWebViewStandIn(true);
    Toolkit::instance()->setUrlOpener([](const QUrl&) {});
    return true;
}

bool AppDriver::restartService() {
    m_stalls.pause();
    m_server.reset();
    m_server = std::make_unique<standin::Server>(m_options);
    const bool up = m_server->listen();
    m_stalls.resume();
    return up;
}

bool AppDriver::open() {
    m_engine = std::make_unique<QQmlApplicationEngine>();
    loadRootView(*m_engine);
    const auto roots = m_engine->rootObjects();
    m_window = roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow*>(roots.first());
    if (!m_window)
        return false;
    m_window->resize(m_size);
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

CoordinatorModel* AppDriver::root() const {
    QQuickItem* coordinator = item(QStringLiteral("coordinator"));
    return coordinator ? coordinator->property("model").value<CoordinatorModel*>() : nullptr;
}

GlobalHomeModel* AppDriver::home() const {
    QQuickItem* page = item(QStringLiteral("homePage"));
    QQuickItem* global = page ? page->property("item").value<QQuickItem*>() : nullptr;
    return global ? global->property("model").value<GlobalHomeModel*>() : nullptr;
}

ScheduleScreenModel* AppDriver::timetable() const {
    QQuickItem* section = visibleItem(QStringLiteral("timetableSection"));
    return section ? section->property("model").value<ScheduleScreenModel*>() : nullptr;
}

QString AppDriver::screen() const {
    CoordinatorModel* model = root();
    return model ? model->screen() : QString();
}

QQuickItem* AppDriver::arrived(const QString& expectedTitle) const {
    const bool in =
        waitFor([&] { return title() == expectedTitle && page() && page()->x() == 0; }, 5000);
    return in ? page() : nullptr;
}

bool AppDriver::back() {
    click(visibleItem(QStringLiteral("backButton")));
    return waitFor([&] { return navigation() && navigation()->property("depth").toInt() == 1; });
}

bool AppDriver::timetableSettled() const {
    return waitFor(
        [&] {
            const QString state = timetable() ? timetable()->screenState() : QString();
            // A stored week shows while the service is still asked: wait for its answer.
            return state == u"modeRequired" ||
                   ((state == u"lessons" || state == u"rest") && !timetable()->isSheduleLoading());
        },
        10000);
}

bool AppDriver::showsLessons() const {
    if (!timetableSettled())
        return false;
    ScheduleScreenModel* t = timetable();
    const QVariantList counts = t->property("inDay").toList();
    for (int day = 0; day < counts.size() && t->screenState() == u"rest"; ++day)
        if (counts.at(day).toInt() > 0)
            t->setSelectedDay(day);
    return t->screenState() == u"lessons";
}

QQuickItem* AppDriver::item(const QString& name) const {
    QQuickItem* shown = visibleItem(name);
    return shown ? shown : items(name).value(0);
}

QQuickItem* AppDriver::visibleItem(const QString& name) const {
    for (QQuickItem* i : items(name))
        if (i->isVisible())
            return i;
    return nullptr;
}

QQuickItem* AppDriver::waitForVisible(const QString& name, int timeoutMs) const {
    QQuickItem* found = nullptr;
    (void)waitFor([&] { return (found = visibleItem(name)) != nullptr; }, timeoutMs);
    return found;
}

QObject* AppDriver::openPicker(const QString& picker) {
    QQuickItem* field = waitForVisible(picker);
    if (!field)
        return nullptr;
    click(field);
    QObject* sheet = nullptr;
    const bool opened = waitFor(
        [&] {
            sheet = field->property("sheet").value<QObject*>();
            return sheet && sheet->property("opened").toBool();
        },
        5000);
    return opened ? sheet : nullptr;
}

QQuickItem* AppDriver::shownOption(const QString& text) const {
    for (QQuickItem* name : items(QStringLiteral("optionName")))
        if (name->isVisible() && name->property("text").toString() == text)
            return name;
    return nullptr;
}

void AppDriver::clickAt(QQuickItem* item, QPointF local, Qt::MouseButton button) {
    // A control just shown is placed at the next frame, and pages slide in: press where it
    // comes to rest, as a person would. A stack view eats every press while a page slides.
    const auto stackBusy = [](QQuickItem* i) {
        return i->inherits("QQuickStackView") && i->property("busy").toBool();
    };
    QPointF at = item->mapToScene(local);
    for (int i = 0; i < 50; ++i) {
        pause(20);
        const QPointF now = item->mapToScene(local);
        if (now == at && !anyItem(m_window->contentItem(), stackBusy))
            break;
        at = now;
    }
    QTest::mouseClick(m_window, button, {}, at.toPoint());
}

bool AppDriver::fillSignIn(const QString& login) {
    QQuickItem* entry =
        itemNamed(waitForVisible(QStringLiteral("loginField")), QStringLiteral("entry"));
    if (!entry)
        return false;
    click(entry);
    if (!entry->hasActiveFocus())
        return false;
    type(login);
    press(Qt::Key_Tab);
    type(login);
    return true;
}

bool AppDriver::confirm(const QString& step) {
    QQuickItem* button = waitForVisible(QStringLiteral("confirmButton"));
    if (!button || !waitFor([&] { return button->opacity() == 1.0; }, 5000))
        return false;
    if (!step.isEmpty())
        picture(step, 0);
    click(button);
    return true;
}

QImage AppDriver::picture(const QString& step, int settleMs) {
    pause(settleMs); // sheets and pages slide for up to 300 ms
    m_stalls.pause();
    const QImage image = m_window->grabWindow();
    const QString name = QStringLiteral("journey-%1-%2-%3.png")
                             .arg(m_journey)
                             .arg(++m_pictures, 2, 10, QLatin1Char('0'))
                             .arg(step);
    image.save(QDir(artifactDir()).filePath(name));
    m_stalls.resume();
    return image;
}

bool AppDriver::picturesArrived(int timeoutMs) const {
    const auto loading = [](QQuickItem* i) {
        auto* image = qobject_cast<CachedAsyncImage*>(i);
        return image && image->loading();
    };
    return waitFor([&] { return !m_window || !anyItem(m_window->contentItem(), loading); },
                   timeoutMs);
}
