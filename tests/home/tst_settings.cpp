// Theme, accent and lesson-switch choices: the settings map changes at once, the per-user store
// gets exactly the writes the choices call for, and the last choice is the one stored.
#include "PreferenceWriter.h"
#include "SettingsModel.h"
#include "SignedInWindow.h"
#include "SystemColors.h"

class TestSettings : public QObject {
    Q_OBJECT
    SignedInWindow w;

    // The screen as it appears: it has read the map (and written what that calls for).
    std::unique_ptr<SettingsModel> open() {
        auto model = std::make_unique<SettingsModel>();
        model->setCo(w.co());
        model->setCoordinator(w.root.get());
        model->setActive(true);
        QCoreApplication::processEvents();
        return model;
    }
    bool written() {
        PreferenceWriter* writer = PreferenceWriter::of(w.co());
        return detail::spinUntil([&] { return writer->idle(); }, 10000);
    }
    QList<QJsonObject> writes() const { return w.bodies("/api/storage/set"); }
    static QJsonObject entry(const QString& key, const QJsonValue& value) {
        return {{"key", key}, {"value", value}};
    }
    static bool isSwitch(const QString& key) { return key.endsWith(u"_lesson"); }
    // The switches are written as JSON booleans, whatever form the defaults took.
    static QJsonValue storedForm(const QString& key, const QString& choice) {
        return isSwitch(key) ? QJsonValue(choice == u"on") : QJsonValue(choice);
    }
    // What the map shows for `key`, in the choices' terms.
    QString shown(const QString& key) const {
        Preferences* p = w.root->preferences();
        if (key == u"settings__theme")
            return p->theme();
        if (key == u"settings__accent_color")
            return p->accentName();
        return (key == u"settings__current_lesson" ? p->currentLesson() : p->nextLesson())
                   ? QStringLiteral("on")
                   : QStringLiteral("off");
    }
    static standin::Fault slowFirstWrite(int delayMs = 400) {
        return fault::times(1, fault::delayed(delayMs));
    }

  private slots:
    void init() { QVERIFY(w.start()); }
    void cleanup() { w.stop(); }

    // A choice, the swatch already marked too, changes the map at once and writes one value.
    void choiceWritesOneValue_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("before"); // the theme in the map before; empty: as loaded
        QTest::addColumn<int>("theme");      // the theme picked; -1: a swatch instead
        QTest::addColumn<QString>("stored");
        const QString theme = QStringLiteral("settings__theme");
        const QString accent = QStringLiteral("settings__accent_color");
        QTest::newRow("Системная") << theme << "dark" << 0 << "system";
        QTest::newRow("Светлая") << theme << "system" << 1 << "light";
        QTest::newRow("Темная after Светлая") << theme << "light" << 2 << "dark";
        QTest::newRow("swatch brown") << accent << "" << -1 << "brown";
    }
    void choiceWritesOneValue() {
        QFETCH(QString, key);
        QFETCH(QString, before);
        QFETCH(int, theme);
        QFETCH(QString, stored);
        if (!before.isEmpty())
            w.root->preferences()->setSetting(QStringLiteral("settings__theme"), before);
        auto screen = open();
        QVERIFY(written());
        QCOMPARE(screen->markedAccent(), QStringLiteral("blue"));
        w.server->clearLog();

        if (theme >= 0) {
            screen->setSelectedTheme(theme);
            QCOMPARE(w.setting("settings__theme").toString(), stored);
        } else {
            screen->chooseAccent(stored);
            QCOMPARE(w.setting("settings__accent_color").value<QColor>(),
                     *SystemColors::named(stored));
            QCOMPARE(w.setting("settings__accent_color_string").toString(), stored);
            QCOMPARE(screen->markedAccent(), stored);
        }
        QVERIFY(written());
        QCOMPARE(writes(), QList<QJsonObject>{entry(key, stored)});
        QCOMPARE(w.stored(key).toString(), stored);
    }

    // Showing the screen selects the stored theme; a light or dark one counts as a change and
    // is written back once, anything else selects the system theme without a write.
    void opening_data() {
        QTest::addColumn<QVariant>("theme");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("writes");
        QTest::newRow("light") << QVariant(QStringLiteral("light")) << 1 << 1;
        QTest::newRow("dark") << QVariant(QStringLiteral("dark")) << 2 << 1;
        QTest::newRow("system") << QVariant(QStringLiteral("system")) << 0 << 0;
        QTest::newRow("other case") << QVariant(QStringLiteral("Dark")) << 0 << 0;
        QTest::newRow("not text") << QVariant(2) << 0 << 0;
    }
    void opening() {
        QFETCH(QVariant, theme);
        QFETCH(int, selected);
        QFETCH(int, writes);
        QVariantMap settings = w.root->preferences()->settings();
        settings.remove(QStringLiteral("settings__theme"));
        if (theme.isValid())
            settings.insert(QStringLiteral("settings__theme"), theme);
        w.root->preferences()->setSettings(settings);
        w.server->clearLog();

        auto screen = open();
        QCOMPARE(screen->selectedTheme(), selected);
        QVERIFY(written());
        QCOMPARE(w.posts("/api/storage/set"), writes);
        if (writes)
            QCOMPARE(this->writes().first(),
                     entry(QStringLiteral("settings__theme"), theme.toString()));
        QCOMPARE(w.setting("settings__theme"), theme);

        // Showing it again after a pushed screen went away sends nothing new.
        screen->setActive(false);
        screen->setActive(true);
        QCoreApplication::processEvents();
        QVERIFY(written());
        QCOMPARE(w.posts("/api/storage/set"), writes);
    }

    // With the first write slow, later choices of the key wait and replace each other, so the
    // store ends with the last; closing the screen keeps the write, signing out drops it.
    void lastChoiceIsStored_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QStringList>("choices");
        QTest::addColumn<QString>("then"); // "screen closed", "signed out" or nothing
        QTest::addColumn<int>("sent");
        QTest::addColumn<QString>("stored");
        const QString theme = QStringLiteral("settings__theme");
        const QString accent = QStringLiteral("settings__accent_color");
        QTest::newRow("two themes") << theme << QStringList{"light", "dark"} << "" << 2 << "dark";
        QTest::newRow("back to the first")
            << accent << QStringList{"pink", "teal", "pink"} << "" << 2 << "pink";
        QTest::newRow("screen closed")
            << accent << QStringList{"orange", "indigo"} << "screen closed" << 2 << "indigo";
        QTest::newRow("signed out")
            << accent << QStringList{"red", "brown"} << "signed out" << 1 << "red";
        const QString current = QStringLiteral("settings__current_lesson");
        const QString next = QStringLiteral("settings__next_lesson");
        QTest::newRow("next lesson off and on")
            << next << QStringList{"off", "on"} << "" << 2 << "on";
        QTest::newRow("current lesson off, on, off")
            << current << QStringList{"off", "on", "off"} << "" << 2 << "off";
    }
    void lastChoiceIsStored() {
        QFETCH(QString, key);
        QFETCH(QStringList, choices);
        QFETCH(QString, then);
        auto screen = open();
        w.server->clearLog();
        w.fault("POST", "/api/storage/set", slowFirstWrite());

        for (const QString& choice : choices) {
            if (key == u"settings__theme")
                screen->setSelectedTheme(SettingsModel::themeIndex(choice));
            else if (key == u"settings__current_lesson")
                screen->setCurrentLesson(choice == u"on");
            else if (key == u"settings__next_lesson")
                screen->setNextLesson(choice == u"on");
            else
                screen->chooseAccent(choice);
            QCOMPARE(shown(key), choice);
        }
        if (then == u"screen closed")
            screen.reset();
        else if (then == u"signed out")
            w.co()->setAppState(CO::appStates::login);
        QVERIFY(written());
        QTEST(w.posts("/api/storage/set"), "sent");
        QFETCH(QString, stored);
        QCOMPARE(writes().first(), entry(key, storedForm(key, choices.first())));
        QCOMPARE(w.stored(key), storedForm(key, stored));
    }

    // Choices of different keys do not wait for each other.
    void keysAreWrittenIndependently() {
        auto screen = open();
        w.server->clearLog();
        w.fault("POST", "/api/storage/set", slowFirstWrite(2000));
        screen->setSelectedTheme(2);
        QVERIFY(QTest::qWaitFor([&] { return w.posts("/api/storage/set") == 1; }, 1000));
        screen->chooseAccent(QStringLiteral("mint"));
        QVERIFY(QTest::qWaitFor(
            [&] {
                return w.stored(QStringLiteral("settings__accent_color")).toString() == u"mint";
            },
            1500));
        QVERIFY(written());
        QCOMPARE(w.stored(QStringLiteral("settings__theme")).toString(), QStringLiteral("dark"));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
