// Every control a user can press, type into or tab to carries a name that assistive technology
// reads out. Each screen is shown against the stand-in and its visual tree walked through the
// real accessibility interfaces, as a screen reader would meet them.
#include "HomeScene.h"

#include <QAccessible>
#include <QInputDevice>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(OrvelBox_TimetablePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_HomePlugin)

using home::Shown;

namespace {
// "ContextMenuItem_QMLTYPE_12" reads better as "ContextMenuItem".
QString typeOf(const QObject* o) {
    const QString name = QString::fromLatin1(o->metaObject()->className());
    const qsizetype cut = name.indexOf(QLatin1String("_QML"));
    return cut > 0 ? name.left(cut) : name;
}

QString describe(const QQuickItem* item) {
    return item->objectName().isEmpty() ? typeOf(item)
                                        : typeOf(item) + QLatin1Char('#') + item->objectName();
}

// Enough of the ancestry to find the control in the QML.
QString ancestry(const QQuickItem* item) {
    QStringList chain;
    for (const QQuickItem* up = item->parentItem(); up && chain.size() < 8; up = up->parentItem())
        chain.append(describe(up));
    return chain.join(QLatin1String(" < "));
}

QList<QObject*> pointerHandlers(const QQuickItem* item) {
    QList<QObject*> out;
    for (QObject* c : item->children())
        if ((c->inherits("QQuickTapHandler") || c->inherits("QQuickDragHandler")) &&
            c->property("enabled").toBool())
            out.append(c);
    return out;
}

// A plain item that the mouse's main button activates: it needs a press action of its own,
// since only Qt Quick controls come with one.
bool pressedByPointer(const QQuickItem* item) {
    if (item->inherits("QQuickMouseArea"))
        return item->acceptedMouseButtons() & Qt::LeftButton;
    const QList<QObject*> handlers = pointerHandlers(item);
    return std::any_of(handlers.cbegin(), handlers.cend(), [](const QObject* h) {
        return h->inherits("QQuickTapHandler") &&
               (h->property("acceptedButtons").toInt() & Qt::LeftButton) &&
               (h->property("acceptedDevices").toInt() & int(QInputDevice::DeviceType::Mouse));
    });
}

bool takesFocus(const QQuickItem* item) {
    const QVariant policy = item->property("focusPolicy");
    return policy.isValid() && policy.toInt() != Qt::NoFocus;
}

bool interactive(const QQuickItem* item) {
    return item->inherits("QQuickMouseArea") || item->inherits("QQuickTextInput") ||
           item->inherits("QQuickTextEdit") || item->inherits("QQuickAbstractButton") ||
           (item->inherits("QQuickControl") && takesFocus(item)) || item->activeFocusOnTab() ||
           !pointerHandlers(item).isEmpty();
}

// Shown and enabled controls at or below `item`, popups included (they hang off the window's
// content item).
void collectControls(QQuickItem* item, QList<QQuickItem*>& out) {
    if (!item->isVisible() || !item->isEnabled())
        return;
    if (interactive(item))
        out.append(item);
    for (QQuickItem* child : item->childItems())
        collectControls(child, out);
}

// What speaks for `control`: the nearest of itself and a few ancestors that carries accessible
// properties (Qt Quick gives only those an accessibility interface), as for a handler laid over
// a styled rectangle.
QAccessibleInterface* speakerFor(QQuickItem* control) {
    QQuickItem* item = control;
    for (int up = 0; item && up <= 3; ++up, item = item->parentItem())
        if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(item))
            return iface;
    return nullptr;
}

QString spokenLabel(QAccessibleInterface* iface) {
    return iface->text(QAccessible::Name).trimmed();
}

// What a screen reader connecting does: every control made so far takes its accessible role,
// state and actions. The offscreen platform never reports accessibility as active, so controls
// made later wait for the next call, and none takes a name from its text by itself: names here
// are all given explicitly.
void screenReaderConnects() {
    QAccessible::setActive(true);
}

// Presses `item` the way assistive technology does, through its press action.
bool pressAccessibly(QQuickItem* item) {
    screenReaderConnects();
    QAccessibleInterface* iface = item ? QAccessible::queryAccessibleInterface(item) : nullptr;
    QAccessibleActionInterface* actions = iface ? iface->actionInterface() : nullptr;
    if (!actions || !actions->actionNames().contains(QAccessibleActionInterface::pressAction()))
        return false;
    actions->doAction(QAccessibleActionInterface::pressAction());
    return true;
}

const char* const sectionNames[] = {"timetableSection", "newsSection", "menuSection"};
} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT
    SignedInWindow app;
    std::unique_ptr<OrvelApi> otherDevice;
    QTemporaryDir signedOutDir;
    std::unique_ptr<CO> signedOut;
    Shown shown;

    QQuickWindow& window() { return shown.scene->window(); }
    QQuickItem* visible(const QString& name) const { return shown.visibleItem(name); }
    QObject* navigation() const { return shown.home()->property("navigator").value<QObject*>(); }
    QQuickItem* current() const {
        return navigation()->property("currentItem").value<QQuickItem*>();
    }
    template <class Condition> static bool waitFor(Condition c, int ms = 10000) {
        return QTest::qWaitFor(c, ms);
    }
    bool click(QQuickItem* item, Qt::MouseButton button = Qt::LeftButton) {
        if (!item)
            return false;
        // A control that has just appeared may not have been laid out yet: place it (and the
        // layouts around it, outermost first) before aiming at it.
        QList<QQuickItem*> chain;
        for (QQuickItem* up = item; up; up = up->parentItem())
            chain.prepend(up);
        for (QQuickItem* i : chain)
            i->ensurePolished();
        QTest::mouseClick(
            &window(), button, {},
            item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint());
        return true;
    }
    static bool opened(QObject* popup) {
        return popup && waitFor([&] { return popup->property("opened").toBool(); }, 5000);
    }
    QObject* modelOf(QQuickItem* screen) const {
        return screen ? screen->property("model").value<QObject*>() : nullptr;
    }

    bool showLogin() {
        shown.scene = std::make_unique<QmlScene>(QSize(420, 760));
        return shown.scene->load("import QtQuick\nimport OrvelBox.Core\nGlobalLogin {}",
                                 {{"co", QVariant::fromValue(signedOut.get())}}) != nullptr;
    }
    // Shows section `index` of the home screen and waits until its content has arrived.
    bool openSection(int index) {
        shown.press(Qt::Key_1 + index, Qt::ControlModifier);
        const QString name = QString::fromLatin1(sectionNames[index]);
        if (!waitFor([&] { return visible(name) != nullptr; }, 5000))
            return false;
        QObject* model = modelOf(visible(name));
        switch (index) {
        case 0:
            // A stored week shows while the service is still asked: wait for its answer.
            return waitFor([&] {
                const QString state = model->property("screenState").toString();
                return state == u"modeRequired" ||
                       (state != u"loading" && !model->property("isSheduleLoading").toBool());
            });
        case 1:
            return waitFor([&] { return !model->property("isLoading").toBool(); });
        default:
            return waitFor([&] { return !shown.model()->meInformationLoading(); });
        }
    }
    // Selects a day of the shown week that has lessons, so that lesson cards are on screen.
    bool showLessons() {
        if (!openSection(0))
            return false;
        QObject* model = modelOf(visible(QStringLiteral("timetableSection")));
        const QVariantList counts = model->property("inDay").toList();
        for (int day = 0; day < counts.size(); ++day)
            if (counts[day].toInt() > 0) {
                model->setProperty("selectedDay", day);
                return waitFor(
                    [&] { return model->property("screenState").toString() == u"lessons"; });
            }
        return false;
    }
    // Waits until the screen titled `title` has slid in on the home screen's stack.
    bool arrived(const QString& title) {
        return waitFor([&] {
            return navigation()->property("currentTitle").toString() == title &&
                   current()->x() == 0;
        });
    }
    // Opens a menu row the way a screen reader user does, which also proves the row's press
    // action works.
    bool menuRow(const char* row, const QString& title) {
        return openSection(2) && pressAccessibly(visible(QString::fromLatin1(row))) &&
               arrived(title);
    }
    bool devicesLoaded() {
        if (!menuRow("devicesRow", QStringLiteral("Устройства")))
            return false;
        QObject* model = modelOf(current());
        return waitFor([&] {
            return !model->property("myDeviceLoading").toBool() &&
                   !model->property("allDevicesLoading").toBool();
        });
    }
    bool workmodeLoaded() {
        return menuRow("workModeRow", QStringLiteral("Режим работы")) &&
               waitFor([&] { return !modelOf(current())->property("isLoading").toBool(); });
    }
    bool teacherMode() {
        return workmodeLoaded() && click(visible(QStringLiteral("teacherTile"))) &&
               waitFor([&] { return visible(QStringLiteral("teacherPicker")) != nullptr; });
    }
    bool pickerSheet(const char* picker) {
        QQuickItem* field = visible(QString::fromLatin1(picker));
        return click(field) && opened(field->property("sheet").value<QObject*>());
    }
    bool sessionMenu() {
        if (!devicesLoaded())
            return false;
        QQuickItem* card = visible(QStringLiteral("revokeButton"));
        while (card && !card->objectName().startsWith(u"session-"))
            card = card->parentItem();
        return click(card, Qt::RightButton) &&
               opened(card->findChild<QObject*>(QStringLiteral("contextMenu")));
    }
    // The controls on screen once sheets and menus have faded in (their rows appear as they do),
    // as a screen reader connecting now finds them.
    QList<QQuickItem*> shownControls() {
        QTest::qWait(300);
        screenReaderConnects();
        QList<QQuickItem*> controls;
        collectControls(window().contentItem(), controls);
        return controls;
    }
    bool reach(const QString& screen) {
        if (screen == u"login")
            return showLogin();
        const bool phone = screen == u"phone";
        shown = home::show(app, phone ? QStringLiteral("phone") : QStringLiteral("pad"),
                           phone ? QSize(390, 780) : QSize(1000, 700));
        if (!shown.scene)
            return false;
        if (screen == u"timetable" || screen == u"phone")
            return showLessons();
        if (screen == u"mode prompt")
            return openSection(0);
        if (screen == u"news")
            return openSection(1);
        if (screen == u"news page") {
            if (!openSection(1))
                return false;
            QList<QQuickItem*> cards;
            collectControls(visible(QStringLiteral("newsList")), cards);
            QQuickItem* news = visible(QStringLiteral("newsSection"));
            return !cards.isEmpty() && click(cards.first()) &&
                   opened(news->property("sheet").value<QObject*>());
        }
        if (screen == u"menu")
            return openSection(2);
        if (screen == u"settings")
            return menuRow("settingsRow", QStringLiteral("Настройки"));
        if (screen == u"about")
            return menuRow("aboutRow", QStringLiteral("О Приложении"));
        if (screen == u"devices")
            return devicesLoaded();
        if (screen == u"session menu")
            return sessionMenu();
        if (screen == u"sign-out confirmation")
            return devicesLoaded() && click(visible(QStringLiteral("signOutButton"))) &&
                   opened(current()->property("confirmation").value<QObject*>());
        if (screen == u"work mode")
            return workmodeLoaded();
        if (screen == u"faculty picker")
            return workmodeLoaded() && pickerSheet("facultyPicker");
        if (screen == u"teacher mode")
            return teacherMode();
        if (screen == u"teacher picker")
            return teacherMode() && pickerSheet("teacherPicker");
        if (screen == u"teacher card")
            return showLessons() && click(visible(QStringLiteral("teacherLink"))) && waitFor([&] {
                       return visible(QStringLiteral("teacherPage")) != nullptr &&
                              current()->x() == 0;
                   });
        qWarning().noquote() << "No way to show" << screen;
        return false;
    }

    // Whatever the screen shows, assistive technology (and every other program on its bus) gets
    // only dots for the password, from the start and after the password is shown.
    void passwordStaysSecret() {
        QQuickItem* entry =
            itemNamed(visible(QStringLiteral("passwordField")), QStringLiteral("entry"));
        QVERIFY(entry);
        entry->forceActiveFocus();
        typeText(window(), QStringLiteral("пароль7"));
        QTRY_COMPARE(entry->property("text").toString(), QStringLiteral("пароль7"));
        const QString dots(7, QChar(0x25CF));
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(entry);
        QVERIFY(iface && iface->textInterface());
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Пароль"));
        for (bool shownOnScreen : {false, true}) {
            if (shownOnScreen) {
                QVERIFY(click(visible(QStringLiteral("eyeButton"))));
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
        Toolkit::instance()->setIdiom(QStringLiteral("pad"));
        if (app.stored(QStringLiteral("work_mode")).isUndefined())
            QVERIFY(home::chooseDemoGroup(app));
    }

    void everyControlIsNamed_data() {
        QTest::addColumn<QString>("screen");
        // Items that prove the screen is really there.
        QTest::addColumn<QStringList>("landmarks");
        auto row = [](const char* screen, QStringList landmarks) {
            QTest::newRow(screen) << QString::fromLatin1(screen) << landmarks;
        };
        row("login", {"loginField", "passwordField", "eyeButton", "signInButton"});
        row("timetable", {"previousWeek", "lessonList", "teacherLink", "sectionBar"});
        row("mode prompt", {"modePrompt", "modeButton", "sectionBar"});
        row("phone", {"tabBar", "lessonList"});
        row("news", {"newsList"});
        row("news page", {"newsSheetBar", "sheetClose"});
        row("menu", {"profileCard", "settingsRow"});
        row("settings", {"theme0", "swatch-blue", "nextLessonSwitch", "backButton"});
        row("devices", {"myDeviceCard", "revokeButton", "signOutButton"});
        row("session menu", {"revokeItem"});
        row("sign-out confirmation", {"confirmButton", "cancelButton"});
        row("about", {"versionLine"});
        row("work mode", {"studentTile", "facultyPicker", "groupPicker", "saveButton"});
        row("faculty picker", {"optionList", "sheetClose"});
        // No teacher chosen yet: the picker has only its prompt to say.
        row("teacher mode", {"teacherPicker"});
        row("teacher picker", {"searchField", "optionList"});
        row("teacher card", {"teacherPage", "backButton"});
    }
    void everyControlIsNamed() {
        QFETCH(QString, screen);
        QFETCH(QStringList, landmarks);
        if (screen == u"mode prompt") {
            const auto deleted = await(app.co()->api()->storageDelete(QStringLiteral("work_mode")));
            QVERIFY(deleted && deleted->ok());
        }
        QVERIFY2(reach(screen), qPrintable(screen + QStringLiteral(" was never shown")));
        for (const QString& landmark : landmarks)
            QVERIFY2(visible(landmark),
                     qPrintable(QStringLiteral("%1: %2 is not shown").arg(screen, landmark)));

        const QList<QQuickItem*> controls = shownControls();
        QStringList faults;
        for (QQuickItem* control : controls) {
            QAccessibleInterface* speaker = speakerFor(control);
            const QString where =
                QStringLiteral("%1 (in %2)").arg(describe(control), ancestry(control));
            if (!speaker)
                faults.append(where + QStringLiteral(": nothing accessible speaks for it"));
            else if (spokenLabel(speaker).isEmpty())
                faults.append(where + QStringLiteral(": no accessible name"));
            else if (pressedByPointer(control) &&
                     !(speaker->actionInterface() &&
                       speaker->actionInterface()->actionNames().contains(
                           QAccessibleActionInterface::pressAction())))
                faults.append(where + QStringLiteral(": clicked, but offers no press action"));
        }
        if (screen == u"login") {
            passwordStaysSecret();
            if (QTest::currentTestFailed())
                return;
        }
        qInfo().noquote() << screen << "shows" << controls.size() << "controls";
        QVERIFY2(!controls.isEmpty(), qPrintable(screen + QStringLiteral(": no controls found")));
        QVERIFY2(faults.isEmpty(), qPrintable(QStringLiteral("%1: %2 of %3 controls fail:\n  %4")
                                                  .arg(screen)
                                                  .arg(faults.size())
                                                  .arg(controls.size())
                                                  .arg(faults.join(QLatin1String("\n  ")))));
    }

    // What a control is matters as much as its name: a choice of one is heard as radio
    // buttons, a section switch as tabs. Qt Quick controls report their own role whatever
    // Accessible.role says, so the right control type has to be used.
    void controlsSayWhatTheyAre_data() {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QString>("control"); // objectName, or type for unnamed ones
        QTest::addColumn<int>("role");
        auto row = [](const char* screen, const char* control, QAccessible::Role role) {
            QTest::addRow("%s: %s", screen, control)
                << QString::fromLatin1(screen) << QString::fromLatin1(control) << int(role);
        };
        row("login", "entry", QAccessible::EditableText);
        row("timetable", "ScheduleButtonBox", QAccessible::PageTab);
        row("timetable", "SectionButton", QAccessible::PageTab);
        row("phone", "QQuickTabButton", QAccessible::PageTab);
        row("settings", "ThemeChoice", QAccessible::RadioButton);
        row("settings", "Swatch", QAccessible::RadioButton);
        row("work mode", "BigModeBox", QAccessible::RadioButton);
        row("session menu", "revokeItem", QAccessible::MenuItem);
    }
    void controlsSayWhatTheyAre() {
        QFETCH(QString, screen);
        QFETCH(QString, control);
        QFETCH(int, role);
        QVERIFY2(reach(screen), qPrintable(screen + QStringLiteral(" was never shown")));
        int seen = 0;
        for (QQuickItem* item : shownControls()) {
            if (item->objectName() != control && typeOf(item) != control)
                continue;
            ++seen;
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(item);
            QVERIFY2(iface, qPrintable(describe(item) + QStringLiteral(" is not accessible")));
            QVERIFY2(iface->role() == QAccessible::Role(role),
                     qPrintable(QStringLiteral("%1 (in %2) reports role 0x%3")
                                    .arg(describe(item), ancestry(item))
                                    .arg(int(iface->role()), 0, 16)));
        }
        QVERIFY2(seen > 0, qPrintable(control + QStringLiteral(" is not on screen")));
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
