// Every control a user can press, type into or tab to carries a name that assistive technology
// reads out: each screen's visual tree walked through the real accessibility interfaces.
#include "HomeScene.h"

#include <QAccessible>
#include <QInputDevice>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(OrvelBox_TimetablePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_HomePlugin)

namespace {
// "ContextMenuItem_QMLTYPE_12" reads better as "ContextMenuItem".
QString typeOf(const QObject* o) {
    const QString name = QString::fromLatin1(o->metaObject()->className());
    return name.left(name.indexOf(QLatin1String("_QML")));
}

struct Control {
    QQuickItem* item;
    bool clicked; // a plain item the mouse's main button activates needs a press action too
};

// Shown and enabled controls at or below `item`, popups (hung off the content item) included.
void collectControls(QQuickItem* item, QList<Control>& out) {
    if (!item->isVisible() || !item->isEnabled())
        return;
    const bool mouseArea = item->inherits("QQuickMouseArea");
    bool handled = false;
    bool clicked = mouseArea && (item->acceptedMouseButtons() & Qt::LeftButton);
    for (const QObject* h : item->children()) {
        const bool tap = h->inherits("QQuickTapHandler");
        if (!(tap || h->inherits("QQuickDragHandler")) || !h->property("enabled").toBool())
            continue;
        handled = true;
        clicked |= tap && (h->property("acceptedButtons").toInt() & Qt::LeftButton) &&
                   (h->property("acceptedDevices").toInt() & int(QInputDevice::DeviceType::Mouse));
    }
    const QVariant policy = item->property("focusPolicy");
    const bool takesFocus = policy.isValid() && policy.toInt() != Qt::NoFocus;
    if (handled || mouseArea || item->inherits("QQuickTextInput") ||
        item->inherits("QQuickTextEdit") || item->inherits("QQuickAbstractButton") ||
        (item->inherits("QQuickControl") && takesFocus) || item->activeFocusOnTab())
        out.append({item, clicked});
    for (QQuickItem* child : item->childItems())
        collectControls(child, out);
}

// The nearest of `control` and a few ancestors with an accessibility interface speaks for it.
QAccessibleInterface* speakerFor(QQuickItem* control) {
    QQuickItem* item = control;
    for (int up = 0; item && up <= 3; ++up, item = item->parentItem())
        if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(item))
            return iface;
    return nullptr;
}

bool pressable(QAccessibleInterface* iface) {
    QAccessibleActionInterface* actions = iface ? iface->actionInterface() : nullptr;
    return actions && actions->actionNames().contains(QAccessibleActionInterface::pressAction());
}

// Presses `item` the way assistive technology does, through its press action. Connecting is
// what gives the controls made so far their roles and actions (offscreen never reports active).
bool pressAccessibly(QQuickItem* item) {
    QAccessible::setActive(true);
    QAccessibleInterface* iface = item ? QAccessible::queryAccessibleInterface(item) : nullptr;
    if (!pressable(iface))
        return false;
    iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    return true;
}
} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT
    SignedInWindow app;
    std::unique_ptr<OrvelApi> otherDevice;
    QTemporaryDir signedOutDir;
    std::unique_ptr<CO> signedOut;
    home::Shown shown;

    QQuickItem* visible(const char* name) const {
        return shown.visibleItem(QString::fromLatin1(name));
    }
    static bool waitFor(const std::function<bool()>& c) { return QTest::qWaitFor(c, 10000); }
    static bool opened(QObject* popup) {
        return popup && waitFor([&] { return popup->property("opened").toBool(); });
    }
    static QObject* modelOf(QQuickItem* screen) {
        return screen ? screen->property("model").value<QObject*>() : nullptr;
    }

    // Selects a day of the shown week that has lessons, so that lesson cards are on screen.
    bool showLessons() {
        if (!shown.openSection(0))
            return false;
        QObject* model = modelOf(visible("timetableSection"));
        const QVariantList counts = model->property("inDay").toList();
        for (int day = 0; day < counts.size(); ++day)
            if (counts[day].toInt() > 0) {
                model->setProperty("selectedDay", day);
                return waitFor(
                    [&] { return model->property("screenState").toString() == u"lessons"; });
            }
        return false;
    }
    // Opens a menu row through its press action, as a screen reader user does.
    bool menuRow(const char* row, const QString& title) {
        return shown.openSection(2) && pressAccessibly(visible(row)) && shown.arrived(title);
    }
    bool devicesLoaded() {
        if (!menuRow("devicesRow", QStringLiteral("Устройства")))
            return false;
        QObject* model = modelOf(shown.current());
        return waitFor([&] {
            return !model->property("myDeviceLoading").toBool() &&
                   !model->property("allDevicesLoading").toBool();
        });
    }
    bool workmodeLoaded() {
        return menuRow("workModeRow", QStringLiteral("Режим работы")) &&
               waitFor([&] { return !modelOf(shown.current())->property("isLoading").toBool(); });
    }
    bool pickerSheet(const char* picker) {
        QQuickItem* field = visible(picker);
        return shown.click(field) && opened(field->property("sheet").value<QObject*>());
    }
    bool reach(const QString& screen) {
        if (screen == u"login") {
            shown.scene = std::make_unique<QmlScene>(QSize(420, 760));
            return shown.scene->load("import QtQuick\nimport OrvelBox.Core\nGlobalLogin {}",
                                     {{"co", QVariant::fromValue(signedOut.get())}}) != nullptr;
        }
        const bool phone = screen == u"phone";
        shown = home::show(app, phone ? QStringLiteral("phone") : QStringLiteral("pad"),
                           phone ? QSize(390, 780) : QSize(1000, 700));
        if (!shown.scene)
            return false;
        if (screen == u"timetable" || screen == u"phone")
            return showLessons();
        if (screen == u"mode prompt")
            return shown.openSection(0);
        if (screen == u"news page") {
            if (!shown.openSection(1))
                return false;
            shown.press(Qt::Key_Return);
            return opened(visible("newsSection")->property("sheet").value<QObject*>());
        }
        if (screen == u"menu")
            return shown.openSection(2);
        if (screen == u"settings")
            return menuRow("settingsRow", QStringLiteral("Настройки"));
        if (screen == u"about")
            return menuRow("aboutRow", QStringLiteral("О Приложении"));
        if (screen == u"session menu") {
            if (!devicesLoaded())
                return false;
            QQuickItem* card = visible("revokeButton");
            while (card && !card->objectName().startsWith(u"session-"))
                card = card->parentItem();
            return shown.click(card, Qt::RightButton) &&
                   opened(card->findChild<QObject*>(QStringLiteral("contextMenu")));
        }
        if (screen == u"sign-out confirmation")
            return devicesLoaded() && shown.click(visible("signOutButton")) &&
                   opened(shown.current()->property("confirmation").value<QObject*>());
        if (screen == u"faculty picker")
            return workmodeLoaded() && pickerSheet("facultyPicker");
        if (screen == u"teacher picker")
            return workmodeLoaded() && shown.click(visible("teacherTile")) &&
                   waitFor([&] { return visible("teacherPicker") != nullptr; }) &&
                   pickerSheet("teacherPicker");
        if (screen == u"teacher card")
            return showLessons() && shown.click(visible("teacherLink")) && waitFor([&] {
                       return visible("teacherPage") != nullptr && shown.current()->x() == 0;
                   });
        qWarning().noquote() << "No way to show" << screen;
        return false;
    }

    // Whatever the screen shows, assistive technology (and every other program on its bus) gets
    // only dots for the password, from the start and after the password is shown.
    void passwordStaysSecret() {
        QQuickItem* entry = itemNamed(visible("passwordField"), QStringLiteral("entry"));
        QVERIFY(entry);
        entry->forceActiveFocus();
        typeText(shown.scene->window(), QStringLiteral("пароль7"));
        QTRY_COMPARE(entry->property("text").toString(), QStringLiteral("пароль7"));
        const QString dots(7, QChar(0x25CF));
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(entry);
        QVERIFY(iface && iface->textInterface());
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Пароль"));
        for (bool shownOnScreen : {false, true}) {
            if (shownOnScreen) {
                QVERIFY(shown.click(visible("eyeButton")));
                QTRY_COMPARE(entry->property("echoMode").toInt(), 0);
            }
            QVERIFY(iface->state().passwordEdit);
            QCOMPARE(iface->text(QAccessible::Value), dots);
            QCOMPARE(iface->textInterface()->text(0, 7), dots);
            QCOMPARE(iface->textInterface()->characterCount(), 7);
        }
    }

  private slots:
    void initTestCase() {
        QVERIFY(home::start(app));
        otherDevice = app.signInElsewhere(QStringLiteral("Pixel 8"), QStringLiteral("android"));
        QVERIFY(otherDevice);
        signedOut = std::make_unique<CO>(
            app.server->baseUrl(),
            std::make_shared<TokenStore>(signedOutDir.filePath(QStringLiteral("tokens.ini"))));
        QVERIFY(detail::spinUntil([&] { return signedOut->appState() == CO::appStates::login; },
                                  10000));
    }
    void cleanupTestCase() {
        signedOut.reset();
        otherDevice.reset();
        app.stop();
    }
    void cleanup() {
        shown.scene.reset();
        if (app.stored(QStringLiteral("work_mode")).isUndefined())
            QVERIFY(home::chooseDemoGroup(app));
    }

    // Each screen, items proving it is there, and roles: a choice of one is heard as radio
    // buttons, a section switch as tabs.
    void everyControlIsNamed_data() {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QStringList>("landmarks");
        QTest::addColumn<QVariantMap>("roles"); // objectName, or type for unnamed ones
        auto row = [](const char* screen, QStringList landmarks, QVariantMap roles = {}) {
            QTest::newRow(screen) << QString::fromLatin1(screen) << landmarks << roles;
        };
        const int tab = QAccessible::PageTab;
        const int radio = QAccessible::RadioButton;
        row("login", {"loginField", "passwordField", "eyeButton", "signInButton"},
            {{"entry", int(QAccessible::EditableText)}});
        row("timetable", {"previousWeek", "lessonList", "teacherLink", "sectionBar"},
            {{"ScheduleButtonBox", tab}, {"SectionButton", tab}});
        row("mode prompt", {"modePrompt", "modeButton", "sectionBar"});
        row("phone", {"tabBar", "lessonList"}, {{"QQuickTabButton", tab}});
        // A sheet or menu leaves the screen under it shown: its row checks both.
        row("news page", {"newsList", "newsSheetBar", "sheetClose"});
        row("menu", {"profileCard", "settingsRow"});
        row("settings", {"theme0", "swatch-blue", "nextLessonSwitch", "backButton"},
            {{"ThemeChoice", radio}, {"Swatch", radio}});
        row("session menu", {"myDeviceCard", "signOutButton", "revokeItem"},
            {{"revokeItem", int(QAccessible::MenuItem)}});
        row("sign-out confirmation", {"confirmButton", "cancelButton"});
        row("about", {"versionLine"});
        row("faculty picker",
            {"studentTile", "facultyPicker", "groupPicker", "saveButton", "optionList"},
            {{"BigModeBox", radio}});
        // No teacher chosen yet: the picker has only its prompt to say.
        row("teacher picker", {"teacherPicker", "searchField", "optionList"});
        row("teacher card", {"teacherPage", "backButton"});
    }
    void everyControlIsNamed() {
        QFETCH(QString, screen);
        QFETCH(QStringList, landmarks);
        QFETCH(QVariantMap, roles);
        if (screen == u"mode prompt")
            QVERIFY(await(app.co()->api()->storageDelete(QStringLiteral("work_mode")))->ok());
        QVERIFY2(reach(screen), qPrintable(screen + QStringLiteral(" was never shown")));
        for (const QString& landmark : landmarks)
            QVERIFY2(shown.visibleItem(landmark), qPrintable(landmark + " is not shown"));

        QTest::qWait(300); // sheets and menus fade in
        QAccessible::setActive(true);
        QList<Control> controls;
        collectControls(shown.scene->window().contentItem(), controls);
        QStringList faults;
        QVariantMap unseen = roles;
        for (const auto& [control, clicked] : controls) {
            const QString type = typeOf(control);
            const QString name =
                roles.contains(control->objectName()) ? control->objectName() : type;
            if (roles.contains(name)) {
                unseen.remove(name);
                auto* iface = QAccessible::queryAccessibleInterface(control);
                if (!iface || iface->role() != QAccessible::Role(roles.value(name).toInt()))
                    faults.append(name + QStringLiteral(": wrong role"));
            }
            QAccessibleInterface* speaker = speakerFor(control);
            const QString where = type + u'#' + control->objectName();
            if (!speaker)
                faults.append(where + QStringLiteral(": nothing accessible speaks for it"));
            else if (speaker->text(QAccessible::Name).trimmed().isEmpty())
                faults.append(where + QStringLiteral(": no accessible name"));
            else if (clicked && !pressable(speaker))
                faults.append(where + QStringLiteral(": clicked, but offers no press action"));
        }
        for (const QString& name : unseen.keys())
            faults.append(name + QStringLiteral(" is not on screen"));
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1String("\n  "))));
        if (screen == u"login")
            passwordStaysSecret();
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
