// Desktop services on the private session bus of dbus-run-session: the system theme follows the
// portal, and lesson reminders reach the notification service.
#include "AppDriver.h"
#include "ColorSchemePortal.h"
#include "CoordinatorModel.h"
#include "DesktopNotifications.h"
#include "LessonReminder.h"
#include "Preferences.h"
#include "TestSupport.h"
#include "Toolkit.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QSignalSpy>
#include <QtTest>

namespace {
const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");

// The desktop's settings object, as much of it as the application reads.
class FakeSettings : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
  public:
    static inline const QString name = QStringLiteral("fake-portal");
    uint scheme = 0;
    bool readOneOffered = true; // older portals have Read only
    bool answers = true;        // false: takes every question and never replies

  public slots:
    QDBusVariant ReadOne(const QString&, const QString&) {
        if (!readOneOffered) {
            sendErrorReply(QDBusError::UnknownMethod, QStringLiteral("ReadOne"));
            return {};
        }
        return answer(QVariant::fromValue(scheme));
    }
    QDBusVariant Read(const QString&, const QString&) {
        return answer(QVariant::fromValue(QDBusVariant(QVariant::fromValue(scheme))));
    }

  private:
    QDBusVariant answer(const QVariant& value) {
        if (!answers)
            setDelayedReply(true);
        return QDBusVariant(value);
    }
};

// The notification service: keeps "summary|body" of each notification and who sent it.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
  public:
    QStringList shown;
    QString sender;

  public slots:
    uint Notify(const QString& app, uint, const QString& icon, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap& hints, int) {
        shown.append(summary + u'|' + body);
        sender =
            QStringList{app, icon, hints.value(QStringLiteral("desktop-entry")).toString()}.join(
                u'|');
        return uint(shown.size());
    }
};

void announce(uint scheme) {
    QDBusMessage signal =
        QDBusMessage::createSignal(portalPath, QStringLiteral("org.freedesktop.portal.Settings"),
                                   QStringLiteral("SettingChanged"));
    signal << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme")
           << QVariant::fromValue(QDBusVariant(QVariant::fromValue(scheme)));
    QDBusConnection::connectToBus(QDBusConnection::SessionBus, FakeSettings::name).send(signal);
}
} // namespace

class TestDesktopScheme : public QObject {
    Q_OBJECT
    FakeSettings portal;
    QDBusConnection fake =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, FakeSettings::name);

    void offer(bool on) {
        if (on) {
            QVERIFY(fake.registerObject(portalPath, &portal, QDBusConnection::ExportAllSlots));
            QVERIFY(fake.registerService(portalService));
        } else {
            fake.unregisterService(portalService);
            fake.unregisterObject(portalPath);
        }
    }

    FakeNotifications notifications;

  private slots:
    void initTestCase() {
        if (!QDBusConnection::sessionBus().isConnected() || !fake.isConnected())
            QSKIP("No session bus: run through dbus-run-session");
    }

    void firstAnswer_data() {
        QTest::addColumn<bool>("offered");
        QTest::addColumn<bool>("answers");
        QTest::addColumn<bool>("readOne");
        QTest::addColumn<uint>("scheme");
        QTest::addColumn<int>("expected"); // -1 unknown (the palette decides), 0 light, 1 dark
        QTest::newRow("prefers dark") << true << true << true << 1u << 1;
        QTest::newRow("prefers light") << true << true << true << 2u << 0;
        QTest::newRow("no preference") << true << true << true << 0u << -1;
        QTest::newRow("Read only, dark") << true << true << false << 1u << 1;
        QTest::newRow("no portal") << false << true << true << 1u << -1;
        QTest::newRow("never answers") << true << false << true << 1u << -1;
    }
    void firstAnswer() {
        QFETCH(bool, offered);
        QFETCH(bool, answers);
        QFETCH(bool, readOne);
        QFETCH(uint, scheme);
        QFETCH(int, expected);
        portal.scheme = scheme;
        portal.answers = answers;
        portal.readOneOffered = readOne;
        offer(offered);
        LogCapture quiet;
        QElapsedTimer clock;
        clock.start();
        ColorSchemePortal desktop;
        QSignalSpy settled(&desktop, &ColorSchemePortal::settled);
        QVERIFY(settled.wait(ColorSchemePortal::answerBoundMs + 2000));
        QVERIFY(clock.elapsed() < ColorSchemePortal::answerBoundMs + 1000);
        QCOMPARE(desktop.prefersDark().has_value(), expected >= 0);
        if (expected >= 0)
            QCOMPARE(*desktop.prefersDark(), expected == 1);
        offer(false);
    }

    // Each step of 30 seconds checked twice, the week handed over again between (a reload): one
    // notification per lesson ten minutes before it, none once it started, when off, for
    // another week or with no service (said once).
    void remindsOfTodaysLessons_data() {
        QTest::addColumn<QTime>("from");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("weeksAgo"); // of the held week
        QTest::addColumn<bool>("offered");
        QTest::addColumn<QStringList>("expected");
        const QString physics = "Через 10 минут: Физика|1-101 · Иванов И. И.";
        const QString chemistry = "Через 10 минут: Химия|Петров П. П.";
        const QString history = "Через 10 минут: История|2-202";
        const auto row = [](const char* name, QTime from, QStringList expected, bool enabled = true,
                            int weeksAgo = 0, bool offered = true) {
            QTest::newRow(name) << from << enabled << weeksAgo << offered << expected;
        };
        row("whole day", {7, 0}, {physics, chemistry, history});
        row("opened during the first", {8, 45}, {chemistry, history});
        row("opened five minutes before", {8, 25},
            {"Через 5 минут: Физика|1-101 · Иванов И. И.", chemistry, history});
        row("switched off", {7, 0}, {}, false);
        row("last week's lessons", {7, 0}, {}, true, 1);
        row("no service", {7, 0}, {}, true, 0, false);
    }
    void remindsOfTodaysLessons() {
        QFETCH(QTime, from);
        QFETCH(bool, enabled);
        QFETCH(int, weeksAgo);
        QFETCH(bool, offered);
        QFETCH(QStringList, expected);
        if (offered) {
            QVERIFY(fake.registerObject(DesktopNotifications::path, &notifications,
                                        QDBusConnection::ExportAllSlots));
            QVERIFY(fake.registerService(DesktopNotifications::service));
        }
        notifications.shown.clear();
        const QDate wednesday(2025, 3, 5);
        TodayLessons::Week week{wednesday.addDays(-2 - 7 * weeksAgo), {}};
        for (const char* l : {"Среда|История|11:40-13:00|2-202|", "Четверг|Завтра|08:00-09:00||",
                              "Среда|Физика|08:30-09:50|1-101|Иванов И. И.",
                              "Среда|Химия|10:00-11:20| |Петров П. П."}) {
            const QStringList f = QString::fromUtf8(l).split(u'|');
            week.lessons.append(scheduleFromMap({{"day", f[0]},
                                                 {"subject", f[1]},
                                                 {"time", f[2]},
                                                 {"classroom", f[3]},
                                                 {"teacher", f[4]}},
                                                {}));
        }
        LogCapture log;
        QDateTime now(wednesday, from);
        LessonReminder reminder;
        reminder.setClock([&now] { return now; });
        reminder.setEnabled(enabled);
        reminder.hold(week);
        for (; now.time() < QTime(14, 0); now = now.addSecs(30)) {
            reminder.check();
            reminder.hold(week);
            reminder.check();
        }
        QTRY_COMPARE(log.lines.size(), offered ? 0 : 1);
        QTRY_COMPARE(notifications.shown, expected);
        QTest::qWait(100);
        QCOMPARE(notifications.shown, expected);
        if (!expected.isEmpty())
            QCOMPARE(notifications.sender, "Orvel Box|org.orvelbox.OrvelBox|org.orvelbox.OrvelBox");
        fake.unregisterService(DesktopNotifications::service);
        fake.unregisterObject(DesktopNotifications::path);
    }

    // The signed-in window changes when the desktop does, without asking the service, unless
    // the user chose a theme.
    void followsTheDesktopLive() {
        portal.scheme = 2;
        portal.answers = true;
        portal.readOneOffered = true;
        offer(true);
        AppDriver app(QStringLiteral("desktop-scheme"));
        QVERIFY(app.startSignedIn(QStringLiteral("teacher")));
        QVERIFY(app.waitForScreen(QStringLiteral("home")));
        QVERIFY(AppDriver::waitFor([&] { return app.timetableSettled(); }));
        const QColor light = app.window()->color();
        // The start's last requests (the week is asked for again) come after the first frame.
        qsizetype requests = -1;
        while (requests != app.server().requests().size()) {
            requests = app.server().requests().size();
            AppDriver::pause(500);
        }

        announce(1);
        QVERIFY(AppDriver::waitFor([&] { return app.window()->color() != light; }));
        QVERIFY(Toolkit::instance()->systemDark());
        QCOMPARE(app.server().requests().size(), requests);

        app.root()->preferences()->chooseTheme(QStringLiteral("light"));
        QVERIFY(AppDriver::waitFor([&] { return app.window()->color() == light; }));
        announce(1);
        AppDriver::pause(300);
        QCOMPARE(app.window()->color(), light);
        offer(false);
    }
};

QTEST_MAIN(TestDesktopScheme)
#include "tst_desktopscheme.moc"
