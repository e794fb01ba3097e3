// The devices screen against the stand-in: session records, this device's own session, and
// answers that come back late (failed loads and revokes are the fault matrix's).
#include "DevicescreenModel.h"
#include "SignedInWindow.h"

#include <QAbstractItemModelTester>
#include <QJsonArray>
#include <QSignalSpy>
#include <algorithm>
#include <tuple>

class TestDevices : public QObject {
    Q_OBJECT
    SignedInWindow w;
    std::unique_ptr<OrvelApi> phone; // the same account signed in on a second device

    std::unique_ptr<DevicescreenModel> open() {
        auto model = std::make_unique<DevicescreenModel>();
        new QAbstractItemModelTester(model->allDevicesModel(),
                                     QAbstractItemModelTester::FailureReportingMode::QtTest,
                                     model.get());
        model->setCo(w.co());
        model->setActive(true);
        return model;
    }
    static bool loaded(DevicescreenModel& m) {
        return detail::spinUntil([&] { return !m.myDeviceLoading() && !m.allDevicesLoading(); },
                                 10000);
    }
    // Most recently used first, newer first among equals; use is counted in whole seconds, so
    // the tests check the rule and the members, never one fixed order.
    static bool inServiceOrder(const DevicescreenModel& m) {
        return std::is_sorted(
            m.allDevices().begin(), m.allDevices().end(), [](const session& a, const session& b) {
                return std::tie(a.last_used_at, a.id) > std::tie(b.last_used_at, b.id);
            });
    }
    static QStringList sortedNames(const DevicescreenModel& m) {
        QStringList out;
        for (const session& s : m.allDevices())
            out.append(s.device_name);
        out.sort();
        return out;
    }
    static const session* named(const DevicescreenModel& m, QStringView name) {
        for (const session& s : m.allDevices())
            if (s.device_name == name)
                return &s;
        return nullptr;
    }
    static qint64 phoneSession(const DevicescreenModel& m) {
        const session* s = named(m, u"Pixel 8");
        return s ? s->id : -1;
    }
    void script(const char* method, const char* path, const QJsonObject& body, int delayMs = 0,
                int times = -1) {
        const QByteArray json = QJsonDocument(body).toJson(QJsonDocument::Compact);
        w.fault(method, path,
                fault::times(times, fault::delayed(delayMs, fault::answer(200, json))));
    }
    int gets(const char* path) const {
        return w.server->count(QStringLiteral("GET"), QString::fromLatin1(path));
    }

  private slots:
    void init() {
        QVERIFY(w.start());
        phone = w.signInElsewhere(QStringLiteral("Pixel 8"), QStringLiteral("android"));
        QVERIFY(phone);
    }
    void cleanup() {
        phone.reset();
        w.stop();
    }

    void records_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("current");
        QTest::addColumn<qint64>("id");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<QString>("ip");
        // Listed sessions default to "unknown", this device's own to empty texts.
        const auto row = [](const char* tag, const char* json, bool current, qint64 id,
                            const char* name, const char* type, const char* icon,
                            const char* ip = "0.0.0.0") {
            QTest::newRow(tag) << QByteArray(json) << current << id << QString::fromUtf8(name)
                               << QString::fromUtf8(type) << QString::fromUtf8(icon)
                               << QString::fromUtf8(ip);
        };
        row("web", R"({"id":3,"device_type":"web","device_name":"Firefox","ip":"10.0.0.2"})", false,
            3, "Firefox", "web", "globe", "10.0.0.2");
        row("ios", R"({"device_type":"ios"})", false, 0, "unknown", "ios", "iphone");
        row("desktop", R"({"device_type":"desktop"})", true, 0, "", "desktop", "macbook.gen1");
        row("pwa", R"({"device_type":"pwa"})", false, 0, "unknown", "pwa", "app.background.dotted");
        row("android", R"({"device_type":"android"})", false, 0, "unknown", "android",
            "iphone.gen1");
        row("other case", R"({"device_type":"Desktop"})", false, 0, "unknown", "Desktop",
            "questionmark.app");
        row("wrong kinds", R"({"id":"7","device_type":5,"device_name":null,"ip":false})", false, 0,
            "unknown", "unknown", "questionmark.app");
        row("fractional id", R"({"id":7.5})", true, 0, "", "", "questionmark.app");
    }
    void records() {
        QFETCH(QByteArray, json);
        QFETCH(bool, current);
        const QJsonObject o = QJsonDocument::fromJson(json).object();
        const session s = current ? session::current(o) : session::listed(o);
        QTEST(s.id, "id");
        QTEST(s.device_name, "name");
        QTEST(s.device_type, "type");
        QTEST(s.shownIcon(), "icon");
        QTEST(s.ip, "ip");
        QCOMPARE(session::placeholder().shownIcon(), QStringLiteral("globe"));
    }

    // This device's own session in the list is a sign-out: the screen asks first and sends
    // nothing yet.
    void revokeThisDeviceAsksToSignOut() {
        auto screen = open();
        QVERIFY(loaded(*screen));
        QSignalSpy asked(screen.get(), &DevicescreenModel::signOutRequested);
        screen->revoke(screen->myDevice().id);
        QCOMPARE(asked.count(), 1);
        QCOMPARE(w.posts("/api/users/sessions/revoke"), 0);
        QVERIFY(!screen->allDevicesLoading());
        QCOMPARE(w.co()->appState(), CO::appStates::home);
    }

    // A list asked for earlier and answered later never replaces or joins a newer one.
    // "listed" is in sorting order.
    // A failed revoke leaves both blocks waiting; nothing is asked again.
    void failedRevokeKeepsWaiting() {
        auto screen = open();
        QVERIFY(loaded(*screen));
        const int lists = gets("/api/users/sessions");
        w.fault("POST", "/api/users/sessions/revoke", fault::answer(500));
        QSignalSpy settled(screen.get(), &DevicescreenModel::settled);
        screen->revoke(phoneSession(*screen));
        QVERIFY(settled.wait(10000));
        QTest::qWait(100);
        QVERIFY(screen->allDevicesLoading() && screen->myDeviceLoading());
        QCOMPARE(gets("/api/users/sessions"), lists);
    }

    void lateAnswerIsDropped_data() {
        QTest::addColumn<bool>("revoke");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<int>("tasks");
        QTest::newRow("shown again") << false << QStringList({"Pixel 8", "test"}) << 4;
        QTest::newRow("session ended") << true << QStringList{"test"} << 5;
    }
    void lateAnswerIsDropped() {
        QFETCH(bool, revoke);
        QFETCH(int, tasks);
        qint64 phoneId = 0;
        {
            auto first = open();
            QVERIFY(loaded(*first));
            phoneId = phoneSession(*first);
        }
        const QJsonObject stale{
            {"sessions", QJsonArray{QJsonObject{{"id", 999}, {"device_name", "stale"}}}}};
        script("GET", "/api/users/sessions", stale, 500, 1);
        script("GET", "/api/sessions/current",
               {{"session", QJsonObject{{"id", 999}, {"device_name", "stale"}}}}, 500, 1);
        auto screen = open();
        QSignalSpy settled(screen.get(), &DevicescreenModel::settled);
        // Both scripted answers must be taken by this first load: the two requests travel on
        // connections of their own, and one still on its way would take the script meant for
        // it from the newer load.
        QVERIFY(QTest::qWaitFor(
            [&] { return gets("/api/users/sessions") == 2 && gets("/api/sessions/current") == 2; },
            5000));

        if (revoke) {
            screen->revoke(phoneId);
        } else {
            screen->setActive(false);
            screen->setActive(true);
        }
        QVERIFY(QTest::qWaitFor([&] { return settled.count() == tasks; }, 10000));
        QVERIFY(!screen->myDeviceLoading());
        QVERIFY(!screen->allDevicesLoading());
        QCOMPARE(screen->myDevice().device_name, QStringLiteral("test"));
        QVERIFY(inServiceOrder(*screen));
        QTEST(sortedNames(*screen), "listed");
    }
};

QTEST_GUILESS_MAIN(TestDevices)
#include "tst_devices.moc"
