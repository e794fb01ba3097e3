// A window's root model signed in to the in-process stand-in with its preferences loaded, and
// its home screen in an offscreen window.
#pragma once
#include "CoordinatorModel.h"
#include "GlobalHomeModel.h"
#include "NewsScreenModel.h"
#include "QmlScene.h"
#include "StandinSession.h"
#include "TestSupport.h"
#include "Toolkit.h"
#include "WeekStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QQuickItem>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

struct SignedInWindow : StandinSession {
    QTemporaryDir dir;
    std::shared_ptr<TokenStore> tokens;
    std::unique_ptr<CoordinatorModel> root;
    QString login;
    int starts = 0;

    // Signs `account` in as this machine's session and waits until home is loaded.
    bool start(const QString& account = QStringLiteral("student")) {
        QStandardPaths::setTestModeEnabled(true);
        WeekStore::setSharedPath(dir.filePath(QStringLiteral("weeks-%1.sqlite").arg(++starts)));
        login = account;
        if (!StandinSession::start(login))
            return false;
        tokens = std::make_shared<TokenStore>(dir.filePath(QStringLiteral("tokens.ini")));
        writeTo(*tokens);
        root = std::make_unique<CoordinatorModel>(new CO(server->baseUrl(), tokens));
        return detail::spinUntil([&] { return root->screen() == u"home"; }, 10000);
    }
    void stop() {
        root.reset();
        server.reset();
    }

    // The same account signed in on another device, as a client of its own.
    std::unique_ptr<OrvelApi> signInElsewhere(const QString& device, const QString& type) {
        auto other = std::make_unique<OrvelApi>(server->baseUrl(), std::nullopt, std::nullopt);
        const auto answer = await(other->login(login, login, device, type));
        return answer && answer->ok() ? std::move(other) : nullptr;
    }

    CO* co() const { return root->co(); }
    QJsonValue stored(const QString& key) const { return server->storage(login, key); }

    int posts(const char* path) const {
        return server->count(QStringLiteral("POST"), QString::fromLatin1(path));
    }
    // Bodies of the requests to `path`, in sending order.
    QList<QJsonObject> bodies(const char* path) const {
        QList<QJsonObject> out;
        for (const standin::LoggedRequest& r : server->requests())
            if (r.path == QLatin1String(path))
                out.append(QJsonDocument::fromJson(r.body).object());
        return out;
    }
    void fault(const char* method, const char* path, standin::Fault f) {
        server->setFault(QString::fromLatin1(method), QString::fromLatin1(path), f);
    }
};

namespace home {
// The home screen as the root view holds it; `showing` false discards it, as signing out does.
inline const QByteArray sceneQml = R"qml(
import QtQuick
import OrvelBox.Controls
import OrvelBox.Home
Item {
    id: scene
    property var coordinator
    property bool showing: true
    readonly property string scheme: Theme.preferredScheme
    Loader {
        anchors.fill: parent
        active: scene.showing
        sourceComponent: GlobalHome {
            objectName: "home"
            co: scene.coordinator.co
            coordinator: scene.coordinator
        }
    }
}
)qml";

// Stores the first group of the first demo faculty as the account's work mode.
inline bool chooseDemoGroup(SignedInWindow& app) {
    const QString faculty = standin::Server::facultyNames().first();
    const auto groups = await(app.co()->api()->getGroups(faculty));
    if (!groups || !groups->ok())
        return false;
    const QString group = groups->value()
                              .value(QStringLiteral("groups"))
                              .toArray()
                              .first()[QStringLiteral("name")]
                              .toString();
    app.server->setStorage(app.login, QStringLiteral("work_mode"), QStringLiteral("student"));
    app.server->setStorage(app.login, QStringLiteral("faculty_name"), faculty);
    app.server->setStorage(app.login, QStringLiteral("group_name"), group);
    return !group.isEmpty();
}

struct Shown {
    std::unique_ptr<QmlScene> scene;

    // Only what is on screen: a hidden tab still holds its screen.
    QQuickItem* visibleItem(const QString& name) const {
        for (QQuickItem* i : itemsNamed(scene->window().contentItem(), name))
            if (i->isVisible())
                return i;
        return nullptr;
    }
    QQuickItem* home() const { return visibleItem(QStringLiteral("home")); }
    GlobalHomeModel* model() const { return home()->property("model").value<GlobalHomeModel*>(); }
    template <class T> T* modelOf(const QString& screen) const {
        QQuickItem* i = visibleItem(screen);
        return i ? i->property("model").value<T*>() : nullptr;
    }
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(&scene->window(), Qt::Key(key), modifiers);
    }
    // Clicks the middle of `item` once it and the layouts around it (outermost first) are placed.
    bool click(QQuickItem* item, Qt::MouseButton button = Qt::LeftButton) {
        if (!item)
            return false;
        QList<QQuickItem*> chain;
        for (QQuickItem* up = item; up; up = up->parentItem())
            chain.prepend(up);
        for (QQuickItem* i : chain)
            i->ensurePolished();
        QTest::mouseClick(
            &scene->window(), button, {},
            item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint());
        return true;
    }
    QObject* navigation() const { return home()->property("navigator").value<QObject*>(); }
    QQuickItem* current() const {
        return navigation()->property("currentItem").value<QQuickItem*>();
    }
    // The screen titled `title` once it has slid in on the home screen's stack, or null.
    QQuickItem* arrived(const QString& title) const {
        const bool in = QTest::qWaitFor(
            [&] {
                return navigation()->property("currentTitle").toString() == title &&
                       current()->x() == 0;
            },
            10000);
        return in ? current() : nullptr;
    }
    // Shows section `index` (timetable, news, menu) and waits until its content has arrived.
    bool openSection(int index) {
        press(Qt::Key_1 + index, Qt::ControlModifier);
        const char* const names[] = {"timetableSection", "newsSection", "menuSection"};
        const QString name = QString::fromLatin1(names[index]);
        if (!QTest::qWaitFor([&] { return visibleItem(name) != nullptr; }, 5000))
            return false;
        QObject* m = modelOf<QObject>(name);
        return QTest::qWaitFor(
            [&] {
                if (index == 1)
                    return !m->property("isLoading").toBool();
                if (index == 2)
                    return !model()->meInformationLoading();
                // A stored week shows while the service is still asked: wait for its answer.
                const QString state = m->property("screenState").toString();
                return state == u"modeRequired" ||
                       (state != u"loading" && !m->property("isSheduleLoading").toBool());
            },
            10000);
    }
};

// Signs the demo student in, with a group chosen and the news read from the same stand-in.
inline bool start(SignedInWindow& app) {
    if (!app.start())
        return false;
    NewsScreenModel::setContentHost(app.server->baseUrl());
    return chooseDemoGroup(app);
}

// Shows the home screen of `app` in a window of `size` on a device of `idiom`.
inline Shown show(SignedInWindow& app, const QString& idiom, QSize size) {
    Toolkit::instance()->setIdiom(idiom);
    Toolkit::instance()->setWebViewStandIn(true);
    Shown s;
    s.scene = std::make_unique<QmlScene>(size);
    if (!s.scene->load(sceneQml, {{"coordinator", QVariant::fromValue<QObject*>(app.root.get())}}))
        s.scene.reset();
    return s;
}
} // namespace home
