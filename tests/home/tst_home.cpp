// The home screen as drawn: scheme and accent, the layout per device idiom, the week view, the
// now/next banner, the news sheet and the session cards' revoke question. Pictures go to the
// artefact folder.
#include "CalendarExport.h"
#include "DevicescreenModel.h"
#include "HomeScene.h"
#include "NewsScreenModel.h"
#include "ScheduleScreenModel.h"
#include "SystemColors.h"

#include <QQmlProperty>
#include <QSettings>
#include <QTemporaryDir>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(OrvelBox_TimetablePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_HomePlugin)

using home::Shown;

namespace {
// Wednesday 5 March 2025 of every scripted week (day|time|subject|room|teacher).
const QStringList wednesday{"Среда|08:30-09:50|Математический анализ (Лек)|3-214|Орлова А. В.",
                            "Среда|10:00-11:20|Физика (Пр)|1-105|Белов С. Н.",
                            "Среда|11:40-13:00|Программирование (Лаб)|2-301|Ким Д. Р."};

// Takes every key press it is sent, as the web engine does for a page that has the keyboard.
class KeySink : public QQuickItem {
  public:
    explicit KeySink(QQuickItem* parent) : QQuickItem(parent) { setFlag(ItemIsFocusScope); }

  protected:
    bool event(QEvent* e) override {
        if (e->type() != QEvent::KeyPress && e->type() != QEvent::KeyRelease)
            return QQuickItem::event(e);
        e->accept();
        return true;
    }
};

// Lets pictures arrive and short animations end, then leaves a copy in the artefacts.
QImage picture(Shown& s, const QString& name) {
    if (!s.picturesArrived())
        qWarning("Some pictures were still loading");
    QTest::qWait(300);
    const QImage image = s.scene->grab();
    image.save(artifactDir() + QLatin1Char('/') + name + QStringLiteral(".png"));
    return image;
}
} // namespace

class TestHome : public QObject {
    Q_OBJECT
    SignedInWindow app;
    std::unique_ptr<OrvelApi> phone; // the same account on a second device

    Shown show(const QString& idiom = QStringLiteral("pad"), QSize size = {960, 680}) {
        return home::show(app, idiom, size);
    }
    // The loaded preferences with `key` set to `value`, or without it for an invalid value.
    void setPreference(const QString& key, const QVariant& value) {
        QVariantMap settings = app.root->preferences()->settings();
        if (value.isValid())
            settings.insert(key, value);
        else
            settings.remove(key);
        app.root->preferences()->setSettings(settings);
    }
    int gets(const char* path) const { return app.server->count("GET", QString::fromLatin1(path)); }
    // Waits until the shown section's model reports a finished load.
    template <class Model> static bool loaded(Shown& s, const QString& screen) {
        Model* m = nullptr;
        if (!QTest::qWaitFor([&] { return (m = s.modelOf<Model>(screen)) != nullptr; }, 5000))
            return false;
        QSignalSpy finished(m, &Model::loadFinished);
        return finished.wait(10000);
    }
    // Answers every week request with the lessons of `lines` (day|time|subject|room|teacher).
    void scriptWeek(const QStringList& lines) {
        QJsonArray week;
        for (const QString& l : lines + wednesday) {
            const QStringList f = l.split(u'|');
            week.append(QJsonObject{{"day", f[0]},
                                    {"time", f[1]},
                                    {"subject", f[2]},
                                    {"classroom", f[3]},
                                    {"teacher", f[4]}});
        }
        app.server->setFault(
            QStringLiteral("GET"), QStringLiteral("/api/schedule/week"),
            fault::answer(200, QJsonDocument(QJsonObject{{"schedule", week}}).toJson()));
    }
    // The shown timetable's week again with its clock at Wednesday 5 March 2025, 11:00.
    static bool atWednesdayEleven(Shown& s) {
        if (!loaded<ScheduleScreenModel>(s, QStringLiteral("timetableSection")))
            return false;
        auto* timetable = s.modelOf<ScheduleScreenModel>(QStringLiteral("timetableSection"));
        timetable->setClock([] { return QDateTime(QDate(2025, 3, 5), QTime(11, 0)); });
        QSignalSpy finished(timetable, &ScheduleScreenModel::loadFinished);
        timetable->reloadWeek();
        return finished.wait(10000);
    }
    Shown showStyled(const QString& scheme, const QString& idiom, const QString& accent = "blue",
                     QSize size = {}) {
        QVariantMap settings = app.root->preferences()->settings();
        settings.insert(QStringLiteral("settings__theme"), scheme);
        settings.insert(QStringLiteral("settings__accent_color"), *SystemColors::named(accent));
        settings.insert(QStringLiteral("settings__accent_color_string"), accent);
        app.root->preferences()->setSettings(settings);
        if (size.isEmpty())
            size = idiom == u"phone" ? QSize(390, 780) : QSize(1000, 700);
        return show(idiom, size);
    }

  private slots:
    void initTestCase() {
        QVERIFY(home::start(app));
        phone = app.signInElsewhere(QStringLiteral("Pixel 8"), QStringLiteral("android"));
        QVERIFY(phone);
    }
    void cleanupTestCase() {
        phone.reset();
        app.stop();
    }
    void init() {
        app.server->clearFaults();
        app.server->clearLog();
    }

    // Only "dark" and "light" set the scheme, and leaving home (signing out) gives it back to
    // the system; the accent fills the selected bar button, blue for a missing or malformed one.
    void styleFromPreferences_data() {
        QTest::addColumn<QVariant>("theme"); // invalid: no entry
        QTest::addColumn<QVariant>("accent");
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("shownAccent"); // palette name
        const QVariant pink = *SystemColors::named(u"pink");
        QTest::newRow("dark") << QVariant("dark") << pink << "dark"
                              << "pink";
        QTest::newRow("light, no accent") << QVariant("light") << QVariant() << "light"
                                          << "blue";
        QTest::newRow("system, accent as a name") << QVariant("system") << QVariant("pink") << ""
                                                  << "blue";
        QTest::newRow("other case") << QVariant("Dark") << pink << ""
                                    << "pink";
        QTest::newRow("number") << QVariant(2) << pink << ""
                                << "pink";
        QTest::newRow("missing") << QVariant() << pink << ""
                                 << "pink";
    }
    void styleFromPreferences() {
        QFETCH(QVariant, theme);
        QFETCH(QVariant, accent);
        QFETCH(QString, scheme);
        QFETCH(QString, shownAccent);
        setPreference(QStringLiteral("settings__theme"), theme);
        setPreference(QStringLiteral("settings__accent_color"), accent);
        Shown s = show();
        QVERIFY(s.scene);
        QCOMPARE(s.model()->preferredScheme(), scheme);
        QCOMPARE(s.scene->root()->property("scheme").toString(), scheme);
        const QColor colour = *SystemColors::named(shownAccent);
        QCOMPARE(s.model()->accentColor(), colour);
        QTRY_VERIFY(s.item(QStringLiteral("sectionBar")));
        QQuickItem* bar = s.item(QStringLiteral("sectionBar"));
        const QImage picture = s.scene->grab().copy(
            bar->mapRectToScene(QRectF(0, 0, bar->width(), bar->height())).toRect());
        QVERIFY(pixelsNear(picture, colour, 6) > 1500);
        s.scene->root()->setProperty("showing", false);
        QCOMPARE(s.scene->root()->property("scheme").toString(), QString());
    }

    // The device decides, never the window: a narrow desktop window keeps the bar, a wide
    // phone window keeps the tabs.
    void layoutFollowsTheIdiom_data() {
        QTest::addColumn<QString>("idiom");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("tabs");
        QTest::newRow("desktop, narrow window") << "pad" << QSize(360, 640) << false;
        QTest::newRow("phone, wide window") << "phone" << QSize(1200, 700) << true;
    }
    void layoutFollowsTheIdiom() {
        QFETCH(QString, idiom);
        QFETCH(QSize, size);
        QFETCH(bool, tabs);
        Shown s = show(idiom, size);
        QVERIFY(s.scene);
        QCOMPARE(s.visibleItem(QStringLiteral("tabView")) != nullptr, tabs);
        QCOMPARE(s.visibleItem(QStringLiteral("sectionBar")) != nullptr, !tabs);
        QVERIFY(s.visibleItem(QStringLiteral("timetableSection")));
    }

    // The week view on a wide window in light and dark, on Wednesday 5 March 2025 at 11:00 with
    // a lesson running; in light also the export's message over it.
    void weekView_data() {
        QTest::addColumn<QString>("scheme");
        QTest::newRow("light") << QStringLiteral("light");
        QTest::newRow("dark") << QStringLiteral("dark");
    }
    void weekView() {
        QFETCH(QString, scheme);
        scriptWeek({"Понедельник|08:30-09:50|Математический анализ (Лек)|3-214|Орлова А. В.",
                    "Понедельник|10:00-11:20|Иностранный язык (ПЗ)|4-410|Миронова Е. С.",
                    "Вторник|10:00-11:20|Программирование (Лаб)|2-301|Ким Д. Р.",
                    "Пятница|13:30-14:50|История (Зач)|1-201|Соколова Т. И.",
                    "Суббота|08:30-09:50|Физика (Лек)|1-105|Белов С. Н."});
        QSettings().remove(QStringLiteral("timetable/weekView"));
        Shown s = showStyled(scheme, QStringLiteral("pad"), "blue", {1280, 720});
        QVERIFY(s.scene);
        QVERIFY(atWednesdayEleven(s));
        QVERIFY(s.click(s.visibleItem(QStringLiteral("weekChoice"))));
        QVERIFY(QTest::qWaitFor([&] { return s.visibleItem(QStringLiteral("weekColumn5")); }));
        QCOMPARE(itemsNamed(s.visibleItem(QStringLiteral("weekColumn2")),
                            QStringLiteral("compactLesson"))
                     .size(),
                 3);
        QVERIFY(s.visibleItem(QStringLiteral("weekColumnRest"))); // Thursday
        picture(s, QStringLiteral("week-") + scheme);
        if (scheme == u"light") {
            auto* exporter = s.visibleItem(QStringLiteral("weekTools"))
                                 ->property("exporter")
                                 .value<CalendarExport*>();
            QTemporaryDir dir;
            QVERIFY(exporter->save(dir.filePath(QStringLiteral("ИВТ-21 03.03.25.ics"))));
            QVERIFY(QTest::qWaitFor([&] { return s.visibleItem(QStringLiteral("exportNotice")); }));
            picture(s, QStringLiteral("export-message"));
        }
    }

    // The now/next banner over the day's list with a fixed clock and week, light and dark and
    // on a phone; what it says is what a screen reader hears.
    void nowNextBanner_data() {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("idiom");
        QTest::newRow("light") << QStringLiteral("light") << QStringLiteral("pad");
        QTest::newRow("dark") << QStringLiteral("dark") << QStringLiteral("pad");
        QTest::newRow("phone") << QStringLiteral("light") << QStringLiteral("phone");
    }
    void nowNextBanner() {
        QFETCH(QString, scheme);
        QFETCH(QString, idiom);
        scriptWeek({});
        Shown s = showStyled(scheme, idiom);
        QVERIFY(s.scene);
        QVERIFY(atWednesdayEleven(s));
        const auto spoken = [&](const char* name) {
            QQuickItem* item = s.visibleItem(QString::fromLatin1(name));
            return item ? QQmlProperty(item, QStringLiteral("Accessible.name"), qmlContext(item))
                              .read()
                              .toString()
                        : QString();
        };
        QCOMPARE(spoken("nowLesson"), QStringLiteral("Сейчас, Физика (Пр), 1-105, до 11:20"));
        QCOMPARE(spoken("nextLesson"),
                 QStringLiteral("Далее, Программирование, 2-301, через 40 минут"));
        picture(s, QStringLiteral("nownext-") + QLatin1String(QTest::currentDataTag()));
    }

    // Coming back from a pushed screen fetches the account again, and stays on the menu.
    void accountFetchedOnReturn() {
        Shown s = show();
        QVERIFY(s.scene);
        QVERIFY(s.openSection(2));
        const int fetches = gets("/api/users/me");
        QMetaObject::invokeMethod(s.navigation(), "push",
                                  Q_ARG(QVariant, QVariant::fromValue(new QQuickItem)),
                                  Q_ARG(QVariant, QVariantMap()));
        QTRY_VERIFY(!s.model()->active());
        QMetaObject::invokeMethod(s.navigation(), "pop");
        QTRY_COMPARE(gets("/api/users/me"), fetches + 1);
        QCOMPARE(s.model()->selectedUI(), 2);
    }

    // A card opens its page in a sheet, by mouse or by Return; Escape (even while the page has
    // the keyboard) and the close button dismiss it, and the web view goes with the sheet.
    void cardOpensItsPage_data() {
        QTest::addColumn<QString>("idiom");
        QTest::addColumn<bool>("byKey");
        QTest::newRow("pad, keyboard") << "pad" << true;
        QTest::newRow("phone, mouse") << "phone" << false;
    }
    void cardOpensItsPage() {
        QFETCH(QString, idiom);
        QFETCH(bool, byKey);
        Shown s = showStyled(QStringLiteral("dark"), idiom, QStringLiteral("orange"));
        QVERIFY(s.scene);
        QVERIFY(s.openSection(1));
        auto* news = s.modelOf<NewsScreenModel>(QStringLiteral("newsSection"));
        QObject* sheet =
            s.visibleItem(QStringLiteral("newsSection"))->property("sheet").value<QObject*>();
        auto page = [&] { return sheet->property("page").value<QQuickItem*>(); };
        QVERIFY(!page());
        QQuickItem* list = s.visibleItem(QStringLiteral("newsList"));
        if (byKey)
            s.press(Qt::Key_Return);
        else
            QTest::mouseClick(&s.scene->window(), Qt::LeftButton, {},
                              list->mapToScene(QPointF(list->width() / 2, 220)).toPoint());
        QTRY_VERIFY(sheet->property("opened").toBool());
        const News first = news->news().first();
        QCOMPARE(news->selectedNews().id, first.id);
        QVERIFY(page());
        QCOMPARE(page()->property("url").toUrl(), first.pageUrl());
        QCOMPARE(page()->property("view").value<QObject*>()->property("url").toUrl(),
                 first.pageUrl());

        if (byKey) {
            KeySink sink(page());
            sink.forceActiveFocus();
            s.press(Qt::Key_Escape);
        } else {
            QVERIFY(s.click(s.visibleItem(QStringLiteral("sheetClose"))));
        }
        QTRY_VERIFY(!sheet->property("visible").toBool());
        QVERIFY(!news->hasSelection());
        QVERIFY(!page());
    }

    // A session card asks before anything is sent, whether by its button, the Delete key or its
    // menu's "Выйти"; only confirming ends the other device's session. This device's own card
    // asks to sign out instead.
    void revokeFromTheCard_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("answer");
        QTest::newRow("Delete key, Escape") << "key"
                                            << "escape";
        QTest::newRow("context menu, cancelled") << "menu"
                                                 << "cancel";
        QTest::newRow("own card, cancelled") << "own"
                                             << "cancel";
        QTest::newRow("button, confirmed") << "button"
                                           << "confirm";
    }
    void revokeFromTheCard() {
        QFETCH(QString, way);
        QFETCH(QString, answer);
        Shown s = show();
        QVERIFY(s.scene && s.openSection(2));
        QVERIFY(s.click(s.visibleItem(QStringLiteral("devicesRow"))));
        QQuickItem* page = s.arrived(QStringLiteral("Устройства"));
        QVERIFY(page);
        auto* model = page->property("model").value<DevicescreenModel*>();
        QTRY_VERIFY(!model->myDeviceLoading() && !model->allDevicesLoading());
        qint64 id = model->myDevice().id;
        for (const session& d : model->allDevices())
            if (d.device_name == u"Pixel 8" && way != u"own")
                id = d.id;
        QQuickItem* card = s.visibleItem(QStringLiteral("session-%1").arg(id));
        QVERIFY(card);

        if (way == u"key") {
            card->forceActiveFocus(Qt::TabFocusReason);
            s.press(Qt::Key_Delete);
        } else if (way == u"menu") {
            QVERIFY(s.click(card, Qt::RightButton));
            QQuickItem* item = nullptr;
            QTRY_VERIFY((item = s.visibleItem(QStringLiteral("revokeItem"))) &&
                        item->opacity() == 1.0);
            QVERIFY(s.click(item));
        } else {
            QVERIFY(s.click(itemNamed(card, QStringLiteral("revokeButton"))));
        }
        QObject* dialog =
            page->property(way == u"own" ? "confirmation" : "revokeConfirmation").value<QObject*>();
        QTRY_VERIFY(dialog->property("opened").toBool());
        if (way == u"own") {
            QCOMPARE(dialog->property("message").toString(),
                     QStringLiteral("Вы действительно хотите выйти из аккаунта?"));
        } else {
            QCOMPARE(dialog->property("title").toString(), QStringLiteral("Завершить сеанс?"));
            QCOMPARE(dialog->property("message").toString(),
                     QStringLiteral("Устройство «Pixel 8» будет отключено от аккаунта."));
        }
        QCOMPARE(app.posts("/api/users/sessions/revoke"), 0);
        if (answer == u"escape")
            s.press(Qt::Key_Escape);
        else
            QVERIFY(s.click(s.visibleItem(answer == u"confirm" ? QStringLiteral("confirmButton")
                                                               : QStringLiteral("cancelButton"))));
        QTRY_VERIFY(!dialog->property("visible").toBool());
        if (answer != u"confirm") {
            QTest::qWait(200);
            QCOMPARE(app.posts("/api/users/sessions/revoke"), 0);
            QCOMPARE(app.co()->appState(), CO::appStates::home);
            QCOMPARE(model->allDevices().size(), 2);
            return;
        }
        QTRY_COMPARE(app.posts("/api/users/sessions/revoke"), 1);
        QTRY_VERIFY(!model->allDevicesLoading() && model->allDevices().size() == 1);
        QVERIFY(!s.visibleItem(QStringLiteral("session-%1").arg(id)));
    }
};

QTEST_MAIN(TestHome)
#include "tst_home.moc"
