// The system theme follows the desktop's portal, on a private session bus that the test's
// command starts (dbus-run-session), with a stand-in portal on a connection of its own.
#include "AppDriver.h"
#include "ColorSchemePortal.h"
#include "CoordinatorModel.h"
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
        QTest::addColumn<bool>("logged");
        QTest::newRow("prefers dark") << true << true << true << 1u << 1 << false;
        QTest::newRow("prefers light") << true << true << true << 2u << 0 << false;
        QTest::newRow("no preference") << true << true << true << 0u << -1 << false;
        QTest::newRow("unknown value") << true << true << true << 7u << -1 << false;
        QTest::newRow("Read only, dark") << true << true << false << 1u << 1 << false;
        QTest::newRow("no portal") << false << true << true << 1u << -1 << true;
        QTest::newRow("never answers") << true << false << true << 1u << -1 << true;
    }
    void firstAnswer() {
        QFETCH(bool, offered);
        QFETCH(bool, answers);
        QFETCH(bool, readOne);
        QFETCH(uint, scheme);
        QFETCH(int, expected);
        QFETCH(bool, logged);
        portal.scheme = scheme;
        portal.answers = answers;
        portal.readOneOffered = readOne;
        offer(offered);
        LogCapture log;
        QElapsedTimer clock;
        clock.start();
        ColorSchemePortal desktop;
        QSignalSpy settled(&desktop, &ColorSchemePortal::settled);
        QVERIFY(settled.wait(ColorSchemePortal::answerBoundMs + 2000));
        QVERIFY(clock.elapsed() < ColorSchemePortal::answerBoundMs + 1000);
        QCOMPARE(desktop.prefersDark().has_value(), expected >= 0);
        if (expected >= 0)
            QCOMPARE(*desktop.prefersDark(), expected == 1);
        QCOMPARE(log.lines.size(), logged ? 1 : 0);
        offer(false);
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
        app.picture(QStringLiteral("portal-light"));
        const qsizetype requests = app.server().requests().size();

        announce(1);
        QVERIFY(AppDriver::waitFor([&] { return app.window()->color() != light; }));
        QVERIFY(Toolkit::instance()->systemDark());
        app.picture(QStringLiteral("portal-dark"));
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
