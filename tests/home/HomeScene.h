// The home screen in an offscreen window, signed in to the in-process stand-in.
#pragma once
#include "CachedAsyncImage.h"
#include "GlobalHomeModel.h"
#include "NewsScreenModel.h"
#include "QmlScene.h"
#include "SignedInWindow.h"
#include "Toolkit.h"

#include <QJsonArray>

#include <QQuickItem>
#include <QSignalSpy>

namespace home {
// The home screen as the root view holds it. `showing` false discards it, as leaving the
// signed-in state does; `scheme` is what the colour theme is at any moment.
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

inline bool anyLoading(QQuickItem* root) {
    return anyItem(root, [](QQuickItem* item) {
        auto* image = qobject_cast<CachedAsyncImage*>(item);
        return image && image->loading();
    });
}

struct Shown {
    std::unique_ptr<QmlScene> scene;

    QQuickItem* item(const QString& name) const {
        const auto found = itemsNamed(scene->window().contentItem(), name);
        return found.isEmpty() ? nullptr : found.first();
    }
    // Only what is on screen: a hidden tab still holds its screen.
    QQuickItem* visibleItem(const QString& name) const {
        for (QQuickItem* i : itemsNamed(scene->window().contentItem(), name))
            if (i->isVisible())
                return i;
        return nullptr;
    }
    QQuickItem* home() const { return item(QStringLiteral("home")); }
    GlobalHomeModel* model() const {
        return home() ? home()->property("model").value<GlobalHomeModel*>() : nullptr;
    }
    template <class T> T* modelOf(const QString& screen) const {
        QQuickItem* i = visibleItem(screen);
        return i ? i->property("model").value<T*>() : nullptr;
    }
    // Waits until no picture on screen is still loading.
    bool picturesArrived() const {
        return QTest::qWaitFor([&] { return !anyLoading(scene->window().contentItem()); }, 10000);
    }
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(&scene->window(), Qt::Key(key), modifiers);
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
