// The menu and the side screens it opens, drawn in offscreen windows against the stand-in and
// driven by mouse and keyboard. Pictures go to the artefact folder.
#include "CachedAsyncImage.h"
#include "DevicescreenModel.h"
#include "MenuScreenModel.h"
#include "QmlScene.h"
#include "SettingsModel.h"
#include "SignedInWindow.h"
#include "Toolkit.h"

#include <QDir>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(OrvelBox_TimetablePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_HomePlugin)

namespace {
const QByteArray sceneQml = R"qml(
import QtQuick
import OrvelBox.Controls
import OrvelBox.Core
import OrvelBox.Home
Rectangle {
    id: scene
    property CO co
    property CoordinatorModel coordinator
    property var meInfo: ({})
    property bool meInfoLoading: false
    property string scheme
    color: Theme.systemBackground
    Component.onCompleted: Theme.preferredScheme = scheme
    NavigationStack {
        id: nav
        objectName: "navigation"
        anchors.fill: parent
        tint: scene.coordinator.preferences.accentColor
        initialItem: MenuScreen {
            objectName: "menu"
            co: scene.co
            coordinator: scene.coordinator
            meInfo: scene.meInfo
            meInfoLoading: scene.meInfoLoading
            navigation: nav
        }
    }
}
)qml";

// The first shown item called `name` at or below `root`: pushed pages and repeated delegates
// hang there without QObject parents.
QQuickItem* nearestShownNamed(QQuickItem* root, const QString& name) {
    for (QQuickItem* item : itemsNamed(root, name))
        if (item->isVisible())
            return item;
    return nullptr;
}

QPoint centreOf(QQuickItem* item) {
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
}
} // namespace

class TestHomeViews : public QObject {
    Q_OBJECT
    SignedInWindow w;
    std::unique_ptr<OrvelApi> phone;
    std::unique_ptr<QmlScene> scene;

    QQuickItem* navigation() const { return scene->find<QQuickItem>(QStringLiteral("navigation")); }
    QQuickItem* current() const {
        return navigation()->property("currentItem").value<QQuickItem*>();
    }
    QQuickItem* named(const char* name) {
        return nearestShownNamed(scene->root(), QString::fromLatin1(name));
    }
    void click(QQuickItem* item, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(&scene->window(), button, {}, centreOf(item));
    }

    bool show(const QString& scheme, QSize size = {820, 720}) {
        const auto me = await(w.co()->api()->getMe());
        if (!me || !me->ok())
            return false;
        scene = std::make_unique<QmlScene>(size);
        return scene->load(sceneQml, {{"co", QVariant::fromValue(w.co())},
                                      {"coordinator", QVariant::fromValue(w.root.get())},
                                      {"meInfo", me->value().toVariantMap()},
                                      {"scheme", scheme}}) != nullptr;
    }
    // Clicks the menu row and waits until its screen has slid in.
    QQuickItem* openRow(const char* row, const QString& title) {
        click(named(row));
        const bool arrived = QTest::qWaitFor(
            [&] {
                return navigation()->property("currentTitle").toString() == title &&
                       current()->x() == 0;
            },
            5000);
        return arrived ? current() : nullptr;
    }
    bool back() {
        QVariant popped;
        QMetaObject::invokeMethod(navigation(), "pop", Q_RETURN_ARG(QVariant, popped));
        return QTest::qWaitFor(
            [&] { return current()->objectName() == u"menu" && current()->x() == 0; }, 5000);
    }
    bool avatarShown() {
        auto* photo = named("avatar")->findChild<CachedAsyncImage*>();
        return photo && QTest::qWaitFor([&] { return photo->ready(); }, 10000);
    }
    template <class M> M* modelOf(QQuickItem* page) { return page->property("model").value<M*>(); }
    DevicescreenModel* devices(QQuickItem* page) {
        auto* m = modelOf<DevicescreenModel>(page);
        const bool loaded = QTest::qWaitFor(
            [&] { return !m->myDeviceLoading() && !m->allDevicesLoading(); }, 10000);
        return loaded ? m : nullptr;
    }
    void save(const QString& name) {
        const QImage picture = scene->grab();
        QVERIFY(picture.save(QDir(screenshotDir()).filePath(name)));
    }

  private slots:
    void init() {
        QVERIFY(w.start());
        phone = w.signInElsewhere(QStringLiteral("Pixel 8"), QStringLiteral("android"));
        QVERIFY(phone);
    }
    void cleanup() {
        scene.reset();
        phone.reset();
        w.stop();
        Toolkit::instance()->setIdiom(QStringLiteral("pad"));
        Toolkit::instance()->setUrlOpener({});
    }

    void screens_data() {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("accent");
        QTest::newRow("light") << QStringLiteral("light") << QStringLiteral("blue");
        QTest::newRow("dark") << QStringLiteral("dark") << QStringLiteral("purple");
    }
    void screens() {
        QFETCH(QString, scheme);
        QFETCH(QString, accent);
        w.root->preferences()->setSetting(QStringLiteral("settings__theme"), scheme);
        w.root->preferences()->setSetting(QStringLiteral("settings__accent_color_string"), accent);
        w.root->preferences()->setSetting(QStringLiteral("settings__accent_color"),
                                          Preferences::accentColorOf(accent));
        QVERIFY(show(scheme));
        QVERIFY(avatarShown());
        save(QStringLiteral("menu-%1.png").arg(scheme));
        // The card's gradient: #474759 in its middle, #25252E from 180 points out.
        QQuickItem* card = named("profileCard");
        const QImage picture = scene->grab();
        const QPoint middle = centreOf(card);
        auto near = [](QColor a, QColor b) {
            return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                       std::abs(a.blue() - b.blue()) <=
                   6;
        };
        // 70 points out, beside the avatar: 70/180 of the way from one colour to the other.
        QVERIFY(near(picture.pixelColor(middle.x() + 70, middle.y()), QColor(58, 58, 72)));
        QCOMPARE(picture.pixelColor(middle.x() + 250, middle.y()), QColor(37, 37, 46));

        QQuickItem* page = openRow("settingsRow", QStringLiteral("Настройки"));
        QVERIFY(page);
        QCOMPARE(modelOf<SettingsModel>(page)->selectedTheme(), scheme == u"dark" ? 2 : 1);
        // The marked swatch is in sight, even when it lies past the end of the card.
        QQuickItem* swatches = named("swatches");
        QQuickItem* marked = nearestShownNamed(swatches, QStringLiteral("swatch-") + accent);
        const qreal at = marked->mapToItem(swatches, {0, 0}).x();
        QVERIFY(at >= 0 && at + marked->width() <= swatches->width());
        save(QStringLiteral("settings-%1.png").arg(scheme));
        QVERIFY(back());

        page = openRow("devicesRow", QStringLiteral("Устройства"));
        QVERIFY(page && devices(page));
        QVERIFY(pixelsNear(scene->grab(), Preferences::accentColorOf(accent), 6) > 2000);
        save(QStringLiteral("devices-%1.png").arg(scheme));
        QVERIFY(back());

        page = openRow("aboutRow", QStringLiteral("О Приложении"));
        QVERIFY(page);
        scene->window().resize(820, 1000);
        scene->root()->setSize({820, 1000});
        QVERIFY(QTest::qWaitFor([&] { return page->height() > 900; }, 2000));
        save(QStringLiteral("about-%1.png").arg(scheme));
    }

    // A phone held sideways puts the avatar beside the names; the rows take the whole width.
    void menuOnAPhone_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("beside");
        QTest::newRow("portrait") << QSize(390, 760) << false;
        QTest::newRow("landscape") << QSize(760, 390) << true;
    }
    void menuOnAPhone() {
        QFETCH(QSize, size);
        QFETCH(bool, beside);
        Toolkit::instance()->setIdiom(QStringLiteral("phone"));
        QVERIFY(show(QStringLiteral("light"), size));
        QVERIFY(avatarShown());
        QQuickItem* avatar = named("avatar");
        QQuickItem* name = named("profileName");
        const QPointF a = avatar->mapToScene({0, 0});
        const QPointF n = name->mapToScene({0, 0});
        QCOMPARE(n.x() > a.x() + avatar->width(), beside);
        QCOMPARE(n.y() > a.y() + avatar->height(), !beside);
        QCOMPARE(named("settingsRow")->width(), size.width() - 40.0);
        save(QStringLiteral("menu-phone-%1.png").arg(QString::fromLatin1(QTest::currentDataTag())));

        // Feedback goes to the browser; the menu stays.
        QList<QUrl> opened;
        Toolkit::instance()->setUrlOpener([&](const QUrl& u) { opened.append(u); });
        click(named("feedbackRow"));
        QCOMPARE(opened, QList<QUrl>{MenuScreenModel::feedbackUrl()});
        QCOMPARE(navigation()->property("depth").toInt(), 1);
    }

    void menuWaitsForTheAccount() {
        scene = std::make_unique<QmlScene>(QSize(820, 720));
        QVERIFY(scene->load(sceneQml, {{"co", QVariant::fromValue(w.co())},
                                       {"coordinator", QVariant::fromValue(w.root.get())},
                                       {"meInfoLoading", true}}));
        QVERIFY(named("menuLoading"));
        QVERIFY(!named("settingsRow"));
        QVERIFY(!named("profileCard"));
    }

    // Choices made with the mouse restyle the window at once and reach the store.
    void settingsByPointer() {
        QVERIFY(show(QString()));
        QQuickItem* page = openRow("settingsRow", QStringLiteral("Настройки"));
        QVERIFY(page);
        click(named("theme2"));
        click(named("swatch-green"));
        QCOMPARE(w.setting("settings__accent_color_string").toString(), QStringLiteral("green"));
        QCOMPARE(page->property("accentColor").value<QColor>(),
                 Preferences::accentColorOf(QStringLiteral("green")));
        QCOMPARE(navigation()->property("tint").value<QColor>(),
                 Preferences::accentColorOf(QStringLiteral("green")));

        // The swatches that do not fit are reached with the wheel.
        QQuickItem* swatches = named("swatches");
        QVERIFY(named("swatch-brown")->mapToItem(swatches, {0, 0}).x() > swatches->width());
        const QPoint at = centreOf(swatches);
        QWheelEvent wheel(at, scene->window().mapToGlobal(at), {}, {0, -360}, Qt::NoButton, {},
                          Qt::NoScrollPhase, false);
        QGuiApplication::sendEvent(&scene->window(), &wheel);
        QVERIFY(QTest::qWaitFor([&] { return swatches->property("contentX").toReal() > 0; }, 2000));
        swatches->setProperty("contentX", 0);
        // So is a swatch that gets the keyboard focus.
        named("swatch-brown")->forceActiveFocus(Qt::TabFocusReason);
        QVERIFY(swatches->property("contentX").toReal() > 0);
        QTRY_COMPARE_WITH_TIMEOUT(w.stored(QStringLiteral("settings__theme")).toString(),
                                  QStringLiteral("dark"), 10000);
    }

    // The other device's card ends its session by its button, the Delete key or its menu, each
    // only once the user confirms; cancelling or Escape leaves it signed in.
    void revokeFromTheCard_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("answer");
        const auto row = [](const char* tag, const char* way, const char* answer) {
            QTest::newRow(tag) << QString::fromLatin1(way) << QString::fromLatin1(answer);
        };
        row("button, confirmed", "button", "confirm");
        row("Delete key, Escape", "key", "escape");
        row("context menu, cancelled", "menu", "cancel");
    }
    void revokeFromTheCard() {
        QFETCH(QString, way);
        QFETCH(QString, answer);
        QVERIFY(show(QString()));
        QQuickItem* page = openRow("devicesRow", QStringLiteral("Устройства"));
        DevicescreenModel* model = page ? devices(page) : nullptr;
        QVERIFY(model);
        qint64 phoneId = 0;
        for (const session& s : model->allDevices())
            if (s.device_name == u"Pixel 8")
                phoneId = s.id;
        QQuickItem* card = nearestShownNamed(page, QStringLiteral("session-%1").arg(phoneId));
        QVERIFY(card);

        if (way == u"button") {
            click(nearestShownNamed(card, QStringLiteral("revokeButton")));
        } else if (way == u"key") {
            card->forceActiveFocus(Qt::TabFocusReason);
            QTest::keyClick(&scene->window(), Qt::Key_Delete);
        } else {
            click(card, Qt::RightButton);
            QObject* menu = card->findChild<QObject*>(QStringLiteral("contextMenu"));
            QVERIFY(menu &&
                    QTest::qWaitFor([&] { return menu->property("opened").toBool(); }, 5000));
            QQuickItem* item =
                nearestShownNamed(scene->window().contentItem(), QStringLiteral("revokeItem"));
            QVERIFY(item);
            QVERIFY(QTest::qWaitFor([&] { return item->opacity() == 1.0; }, 5000));
            click(item);
        }
        QObject* dialog = page->property("revokeConfirmation").value<QObject*>();
        QVERIFY(QTest::qWaitFor([&] { return dialog->property("opened").toBool(); }, 5000));
        QCOMPARE(dialog->property("title").toString(), QStringLiteral("Завершить сеанс?"));
        QCOMPARE(dialog->property("message").toString(),
                 QStringLiteral("Устройство «Pixel 8» будет отключено от аккаунта."));
        QCOMPARE(w.posts("/api/users/sessions/revoke"), 0);
        if (answer == u"escape") {
            QTest::keyClick(&scene->window(), Qt::Key_Escape);
        } else {
            if (answer == u"confirm")
                save(QStringLiteral("devices-revoke-confirmation.png"));
            click(nearestShownNamed(scene->window().contentItem(),
                                    answer == u"confirm" ? QStringLiteral("confirmButton")
                                                         : QStringLiteral("cancelButton")));
        }
        QVERIFY(QTest::qWaitFor([&] { return !dialog->property("visible").toBool(); }, 5000));
        if (answer != u"confirm") {
            QTest::qWait(200);
            QCOMPARE(w.posts("/api/users/sessions/revoke"), 0);
            QCOMPARE(model->allDevices().size(), 2);
            return;
        }
        QVERIFY(QTest::qWaitFor([&] { return w.posts("/api/users/sessions/revoke") == 1; }, 5000));
        QVERIFY(devices(page));
        QVERIFY(QTest::qWaitFor([&] { return model->allDevices().size() == 1; }, 5000));
        QVERIFY(!nearestShownNamed(page, QStringLiteral("session-%1").arg(phoneId)));
    }

    // Signing out asks first; cancelling changes nothing. Ending this device's own session
    // from its card asks the same (the sign-out button's yes is the journeys').
    void signOutAsksFirst_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<bool>("confirm");
        QTest::newRow("button, cancelled") << "signOutButton" << false;
        QTest::newRow("own card, confirmed") << "ownCard" << true;
    }
    void signOutAsksFirst() {
        QFETCH(QString, from);
        QFETCH(bool, confirm);
        QVERIFY(show(QString()));
        QQuickItem* page = openRow("devicesRow", QStringLiteral("Устройства"));
        DevicescreenModel* model = page ? devices(page) : nullptr;
        QVERIFY(model);
        QQuickItem* opener =
            from == u"ownCard"
                ? nearestShownNamed(
                      nearestShownNamed(page,
                                        QStringLiteral("session-%1").arg(model->myDevice().id)),
                      QStringLiteral("revokeButton"))
                : nearestShownNamed(page, from);
        QVERIFY(opener);
        click(opener);
        QObject* dialog = page->property("confirmation").value<QObject*>();
        QVERIFY(QTest::qWaitFor([&] { return dialog->property("opened").toBool(); }, 5000));
        save(QStringLiteral("devices-sign-out.png"));

        QQuickItem* button = nearestShownNamed(scene->window().contentItem(),
                                               confirm ? QStringLiteral("confirmButton")
                                                       : QStringLiteral("cancelButton"));
        QVERIFY(button);
        click(button);
        QVERIFY(QTest::qWaitFor([&] { return !dialog->property("visible").toBool(); }, 5000));
        if (!confirm) {
            QCOMPARE(w.co()->appState(), CO::appStates::home);
            QVERIFY(!model->allDevicesLoading());
            QCOMPARE(model->allDevices().size(), 2);
        } else {
            QVERIFY(
                QTest::qWaitFor([&] { return w.co()->appState() == CO::appStates::login; }, 5000));
            QCOMPARE(w.posts("/api/auth/logout"), 1);
            QCOMPARE(w.posts("/api/users/sessions/revoke"), 0);
            QVERIFY(!w.tokens->read(QString::fromLatin1(TokenStore::accessKey)));
        }
    }
};

QTEST_MAIN(TestHomeViews)
#include "tst_homeviews.moc"
