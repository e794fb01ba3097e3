// The application on a phone's layout with the keyboard alone: sign-in, a news item, the theme
// from the menu and sign-out; a step the mouse alone reaches fails.
#include "Journey.h"
#include "NewsScreenModel.h"
#include "Toolkit.h"

#include <QPointer>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(OrvelBox_ControlsPlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_CorePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_TimetablePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_HomePlugin)

class TestKeyboard : public Journey {
    Q_OBJECT

    QString focused() const {
        QQuickItem* item = app.window()->activeFocusItem();
        return item ? item->objectName() : QString();
    }
    // Tab until the control named `name` has the keyboard.
    bool tabTo(const QString& name) {
        for (int i = 0; i < 40; ++i) {
            if (focused() == name)
                return true;
            app.press(Qt::Key_Tab);
        }
        qWarning("Tab never reached %s (last: %s)", qPrintable(name), qPrintable(focused()));
        return false;
    }

  public:
    TestKeyboard() : Journey(QStringLiteral("keyboard")) {}

  private slots:
    void initTestCase() {
        QVERIFY(app.start({420, 820}));
        Toolkit::instance()->setIdiom(QStringLiteral("phone"));
    }

    void signInByKeys() {
        app.stalls().setStep(QStringLiteral("sign in"));
        QVERIFY(app.waitForScreen(QStringLiteral("login")));
        // The login field has the keyboard from the start.
        QTRY_COMPARE(focused(), QStringLiteral("entry"));
        app.type(QStringLiteral("teacher"));
        app.press(Qt::Key_Tab);
        app.type(QStringLiteral("teacher"));
        app.press(Qt::Key_Return);
        QVERIFY(app.waitForScreen(QStringLiteral("home")));
        QVERIFY(app.waitForVisible(QStringLiteral("tabView")));
        QVERIFY(app.showsLessons());
        app.picture(QStringLiteral("phone-timetable"));
    }

    void readNewsByKeys() {
        app.stalls().setStep(QStringLiteral("news"));
        app.press(Qt::Key_2, Qt::ControlModifier);
        QQuickItem* section = app.waitForVisible(QStringLiteral("newsSection"));
        QVERIFY(section);
        auto* news = section->property("model").value<NewsScreenModel*>();
        QTRY_VERIFY(!news->isLoading() && !news->news().isEmpty());
        app.press(Qt::Key_Down);
        app.press(Qt::Key_Return);
        QObject* sheet = section->property("sheet").value<QObject*>();
        QTRY_VERIFY(sheet->property("opened").toBool());
        QCOMPARE(news->selectedNews().id, news->news().at(1).id);
        app.picture(QStringLiteral("phone-news-page"));
        app.press(Qt::Key_Escape);
        QTRY_VERIFY(!sheet->property("visible").toBool());
    }

    void themeFromTheMenu() {
        app.stalls().setStep(QStringLiteral("settings"));
        app.press(Qt::Key_3, Qt::ControlModifier);
        QVERIFY(app.waitForVisible(QStringLiteral("menuSection")));
        QVERIFY(tabTo(QStringLiteral("settingsRow")));
        app.press(Qt::Key_Return);
        QVERIFY(app.arrived(QStringLiteral("Настройки")));
        QVERIFY(tabTo(QStringLiteral("theme1")));
        app.press(Qt::Key_Space);
        QTRY_COMPARE(app.server()
                         .storage(QStringLiteral("teacher"), QStringLiteral("settings__theme"))
                         .toString(),
                     QStringLiteral("light"));
        app.picture(QStringLiteral("phone-settings"));
        app.press(Qt::Key_Escape);
        QTRY_COMPARE(app.navigation()->property("depth").toInt(), 1);
    }

    // Escape answers "no"; the confirmation's own button then signs out.
    void signOutByKeys() {
        app.stalls().setStep(QStringLiteral("sign out"));
        QVERIFY(tabTo(QStringLiteral("devicesRow")));
        app.press(Qt::Key_Return);
        QVERIFY(app.arrived(QStringLiteral("Устройства")));
        QVERIFY(tabTo(QStringLiteral("signOutButton")));
        app.press(Qt::Key_Space);
        QPointer<QQuickItem> confirm = app.waitForVisible(QStringLiteral("confirmButton"));
        QVERIFY(confirm);
        app.picture(QStringLiteral("phone-sign-out"));
        app.press(Qt::Key_Escape);
        QTRY_VERIFY(!confirm || !confirm->isVisible());

        QVERIFY(tabTo(QStringLiteral("signOutButton")));
        app.press(Qt::Key_Space);
        QVERIFY(app.waitForVisible(QStringLiteral("confirmButton")));
        QVERIFY(tabTo(QStringLiteral("confirmButton")));
        app.press(Qt::Key_Space);
        QVERIFY(app.waitForScreen(QStringLiteral("login")));
        QVERIFY(app.storedAccess().isEmpty());
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
