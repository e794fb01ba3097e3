// The menu's profile card read from account records, and the about screen's facts.
#include "AppInfo.h"
#include "AppinfoModel.h"
#include "MenuScreenModel.h"
#include "SignedInWindow.h"

class TestMenu : public QObject {
    Q_OBJECT
    SignedInWindow w;

  private slots:
    void initTestCase() { QVERIFY(w.start()); }
    void cleanupTestCase() { w.stop(); }

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
        QTest::newRow("admin as text") << QByteArray(R"({"user":{"isAdmin":"true"}})") << ""
                                       << "@" << false << "";
        QTest::newRow("admin as a number") << QByteArray(R"({"user":{"isAdmin":1}})") << ""
                                           << "@" << true << "";
        QTest::newRow("no user") << QByteArray(R"({"name":"top level","username":"x"})") << ""
                                 << "@" << false << "";
        QTest::newRow("user not a map") << QByteArray(R"({"user":"Ирина"})") << ""
                                        << "@" << false << "";
        QTest::newRow("wrong kinds")
            << QByteArray(R"({"user":{"name":5,"username":null,"avatarUrl":[1]}})") << ""
            << "@" << false << "";
        QTest::newRow("unusable avatar path")
            << QByteArray(R"({"user":{"avatarUrl":"/a b/%zz"}})") << ""
            << "@" << false << "-";
        QTest::newRow("the home screen's first value") << QByteArray(R"({"":""})") << ""
                                                       << "@" << false << "";
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

    void sitePages() {
        QCOMPARE(MenuScreenModel::feedbackUrl(), AppInfo::sitePage(QStringLiteral("/report")));
        const QList<siteLink> links = AppinfoModel::links();
        QCOMPARE(links.size(), 3);
        QCOMPARE(links[0].url, AppInfo::sitePage({}));
        QCOMPARE(links[1].url.path(), QStringLiteral("/user-agreement"));
        QCOMPARE(links[2].url.path(), QStringLiteral("/privacy"));
    }

    void aboutFacts() {
        QCOMPARE(
            AppinfoModel::versionLine(),
            QStringLiteral("Version: %1 (%2)").arg(AppInfo::version(), AppInfo::buildNumber()));
        const QList<devBox> developers = AppinfoModel::developers();
        QCOMPARE(developers.size(), 2);
        for (const devBox& d : developers)
            QVERIFY2(QFile::exists(QLatin1Char(':') + d.image.path()),
                     qPrintable(d.image.toString()));
    }
};

QTEST_GUILESS_MAIN(TestMenu)
#include "tst_menu.moc"
