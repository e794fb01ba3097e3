// Theme, accent and lesson-switch choices: the settings map changes at once, the per-user store
// gets exactly the writes the choices call for, and the last choice is the one stored.
#include "HomeScene.h"
#include "PreferenceWriter.h"
#include "SettingsModel.h"
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

  private slots:
    void init() { QVERIFY(w.start()); }
    void cleanup() { w.stop(); }

    // Showing the screen selects the stored theme; a light or dark one counts as a change and
    // is written back once, anything else selects the system theme without a write.
    void opening_data() {
        QTest::addColumn<QVariant>("theme");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("writes");
        QTest::newRow("light") << QVariant(QStringLiteral("light")) << 1 << 1;
        QTest::newRow("dark") << QVariant(QStringLiteral("dark")) << 2 << 1;
        QTest::newRow("system") << QVariant(QStringLiteral("system")) << 0 << 0;
        QTest::newRow("nothing") << QVariant() << 0 << 0;
        QTest::newRow("other case") << QVariant(QStringLiteral("Dark")) << 0 << 0;
        QTest::newRow("not text") << QVariant(2) << 0 << 0;
    }
    void opening() {
        QFETCH(QVariant, theme);
        QFETCH(int, selected);
        QFETCH(int, writes);
        w.root->preferences()->setSetting(QStringLiteral("settings__theme"), theme);
        w.server->clearLog();

        auto screen = open();
        QCOMPARE(screen->selectedTheme(), selected);
        QVERIFY(written());
        QCOMPARE(w.posts("/api/storage/set"), writes);
        if (writes)
            QCOMPARE(this->writes().first(),
                     (QJsonObject{{"key", "settings__theme"}, {"value", theme.toString()}}));
        QCOMPARE(w.root->preferences()->settings().value(QStringLiteral("settings__theme")), theme);

        // Showing it again after a pushed screen went away sends nothing new.
        screen->setActive(false);
        screen->setActive(true);
        QCoreApplication::processEvents();
        QVERIFY(written());
        QCOMPARE(w.posts("/api/storage/set"), writes);
    }

    // Each choice shows at once. With the first write slow, later choices of the key wait and
    // replace each other; closing the screen keeps the write, signing out drops it.
    void choicesAreWritten_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariantList>("choices");
        QTest::addColumn<QString>("then"); // "screen closed", "signed out" or nothing
        QTest::addColumn<QVariantList>("sent");
        const QString theme = QStringLiteral("settings__theme");
        const QString accent = QStringLiteral("settings__accent_color");
        QTest::newRow("Светлая, Темная")
            << theme << QVariantList{"light", "dark"} << "" << QVariantList{"light", "dark"};
        QTest::newRow("Темная, Системная")
            << theme << QVariantList{"dark", "system"} << "" << QVariantList{"dark", "system"};
        QTest::newRow("swatch back to the first")
            << accent << QVariantList{"pink", "teal", "pink"} << "" << QVariantList{"pink", "pink"};
        QTest::newRow("screen closed") << accent << QVariantList{"orange", "indigo"}
                                       << "screen closed" << QVariantList{"orange", "indigo"};
        QTest::newRow("signed out")
            << accent << QVariantList{"red", "brown"} << "signed out" << QVariantList{"red"};
        QTest::newRow("next lesson off and on")
            << QStringLiteral("settings__next_lesson") << QVariantList{false, true} << ""
            << QVariantList{false, true};
        QTest::newRow("current lesson off, on, off")
            << QStringLiteral("settings__current_lesson") << QVariantList{false, true, false} << ""
            << QVariantList{false, false};
    }
    void choicesAreWritten() {
        QFETCH(QString, key);
        QFETCH(QVariantList, choices);
        QFETCH(QString, then);
        QFETCH(QVariantList, sent);
        auto screen = open();
        QCOMPARE(screen->markedAccent(), QStringLiteral("blue"));
        w.server->clearLog();
        w.fault("POST", "/api/storage/set", fault::times(1, fault::delayed(400)));

        Preferences* p = w.root->preferences();
        for (const QVariant& choice : choices) {
            if (key == u"settings__theme") {
                screen->setSelectedTheme(SettingsModel::themeIndex(choice.toString()));
                QCOMPARE(p->theme(), choice.toString());
            } else if (key == u"settings__accent_color") {
                screen->chooseAccent(choice.toString());
                QCOMPARE(screen->markedAccent(), choice.toString());
                QCOMPARE(p->accentColorOr({}), *SystemColors::named(choice.toString()));
            } else if (key == u"settings__current_lesson") {
                screen->setCurrentLesson(choice.toBool());
                QCOMPARE(p->currentLesson(), choice.toBool());
            } else {
                screen->setNextLesson(choice.toBool());
                QCOMPARE(p->nextLesson(), choice.toBool());
            }
        }
        if (then == u"screen closed")
            screen.reset();
        else if (then == u"signed out")
            w.co()->setAppState(CO::appStates::login);
        QVERIFY(written());
        QList<QJsonObject> expected;
        for (const QVariant& value : sent)
            expected.append({{"key", key}, {"value", QJsonValue::fromVariant(value)}});
        QCOMPARE(writes(), expected);
        QCOMPARE(w.stored(key), expected.last().value("value"));
    }

    // A refused write leaves every choice as shown and says why in the log.
    void failedWriteKeepsTheChoice() {
        auto screen = open();
        w.fault("POST", "/api/storage/set", fault::answer(500));
        LogCapture log;
        screen->chooseAccent(QStringLiteral("purple"));
        screen->setNextLesson(false);
        QVERIFY(written());
        Preferences* p = w.root->preferences();
        QCOMPARE(p->accentColorOr({}), *SystemColors::named(QStringLiteral("purple")));
        QVERIFY(!p->nextLesson() && !screen->nextLesson());
        QCOMPARE(log.lines, QStringList({"HTTP Error: 500", "HTTP Error: 500"}));
        QVERIFY(w.stored(QStringLiteral("settings__next_lesson")) != QJsonValue(false));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
