// The menu's side screens against the stand-in: the profile card, the about facts, and the
// devices screen's sessions and answers that come back late (failed loads: the fault matrix).
#include "AppInfo.h"
#include "AppinfoModel.h"
#include "DevicescreenModel.h"
#include "HomeScene.h"
#include "MenuScreenModel.h"

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
    static qint64 phoneSession(const DevicescreenModel& m) {
        for (const session& s : m.allDevices())
            if (s.device_name == u"Pixel 8")
                return s.id;
        return -1;
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

    void card_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("login");
        QTest::addColumn<bool>("admin");
        QTest::addColumn<QString>("avatar"); // path after the service's address; "-" none
        QTest::newRow("complete")
            << QByteArray(
                   R"({"user":{"name":"Ирина","username":"irina","isAdmin":true,"avatarUrl":"/a/1.png"}})")
            << "Ирина"
            << "@irina" << true << "/a/1.png";
        // Nothing usable: no name, a bare "@", no administrator badge.
        QTest::newRow("no user") << QByteArray(R"({"name":"top level","username":"x"})")
                                 << QString() << "@" << false << "";
        QTest::newRow("unusable avatar path") << QByteArray(R"({"user":{"avatarUrl":"/a b/%zz"}})")
                                              << QString() << "@" << false << "-";
    }
    void card() {
        QFETCH(QByteArray, json);
        QFETCH(QString, avatar);
        MenuScreenModel menu;
        menu.setCo(w.co());
        menu.setMeInfo(QJsonDocument::fromJson(json).object().toVariantMap());
        QTEST(menu.name(), "name");
        QTEST(menu.loginLine(), "login");
        QTEST(menu.isAdmin(), "admin");
        QCOMPARE(menu.avatarUrl(), avatar == u"-" ? QUrl() : QUrl(w.server->baseUrl() + avatar));
    }

    // The pages the menu and the about screen open, and its version line.
    void aboutFacts() {
        QCOMPARE(MenuScreenModel::feedbackUrl(), AppInfo::sitePage(QStringLiteral("/report")));
        const QList<siteLink> links = AppinfoModel::links();
        QCOMPARE(links.size(), 3);
        QCOMPARE(links[0].url, AppInfo::sitePage({}));
        QCOMPARE(links[1].url.path(), QStringLiteral("/user-agreement"));
        QCOMPARE(links[2].url.path(), QStringLiteral("/privacy"));
        QCOMPARE(
            AppinfoModel::versionLine(),
            QStringLiteral("Version: %1 (%2)").arg(AppInfo::version(), AppInfo::buildNumber()));
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
        row("android", R"({"device_type":"android"})", false, 0, "unknown", "android",
            "iphone.gen1");
        row("wrong kinds", R"({"id":"7","device_type":5,"device_name":null,"ip":false})", false, 0,
            "unknown", "unknown", "questionmark.app");
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
    }

    // This device's own session in the list is a sign-out: the screen asks first and sends
    // nothing. A failed revoke of another leaves both blocks waiting; nothing is asked again.
    void revokes() {
        auto screen = open();
        QVERIFY(loaded(*screen));
        QSignalSpy asked(screen.get(), &DevicescreenModel::signOutRequested);
        screen->revoke(screen->myDevice().id);
        QCOMPARE(asked.count(), 1);
        QCOMPARE(w.posts("/api/users/sessions/revoke"), 0);
        QVERIFY(!screen->allDevicesLoading());
        QCOMPARE(w.co()->appState(), CO::appStates::home);

        const int lists = gets("/api/users/sessions");
        w.fault("POST", "/api/users/sessions/revoke", fault::answer(500));
        QSignalSpy settled(screen.get(), &DevicescreenModel::settled);
        screen->revoke(phoneSession(*screen));
        QVERIFY(settled.wait(10000));
        QTest::qWait(100);
        QCOMPARE(w.posts("/api/users/sessions/revoke"), 1);
        QVERIFY(screen->allDevicesLoading() && screen->myDeviceLoading());
        QCOMPARE(gets("/api/users/sessions"), lists);
    }

    // A list asked for earlier and answered later never replaces or joins a newer one.
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
        const QJsonObject stale{{"id", 999}, {"device_name", "stale"}};
        const auto slowOnce = [](const QJsonObject& body) {
            const QByteArray json = QJsonDocument(body).toJson(QJsonDocument::Compact);
            return fault::times(1, fault::delayed(500, fault::answer(200, json)));
        };
        w.fault("GET", "/api/users/sessions", slowOnce({{"sessions", QJsonArray{stale}}}));
        w.fault("GET", "/api/sessions/current", slowOnce({{"session", stale}}));
        auto screen = open();
        QSignalSpy settled(screen.get(), &DevicescreenModel::settled);
        // Both scripted (slow) answers must go to this first load, not to the newer one.
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
        // Most recently used first, newer first among equals (use is counted in whole seconds).
        QStringList names;
        for (const session& s : screen->allDevices())
            names.append(s.device_name);
        QVERIFY(std::is_sorted(screen->allDevices().begin(), screen->allDevices().end(),
                               [](const session& a, const session& b) {
                                   return std::tie(a.last_used_at, a.id) >
                                          std::tie(b.last_used_at, b.id);
                               }));
        names.sort();
        QTEST(names, "listed");
    }
};

QTEST_GUILESS_MAIN(TestDevices)
#include "tst_devices.moc"
