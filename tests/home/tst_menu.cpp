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
        // Nothing usable: no name, a bare "@", no administrator badge.
        const auto blank = [](const char* tag, const char* json, bool admin = false,
                              const char* avatar = "") {
            QTest::newRow(tag) << QByteArray(json) << QString() << "@" << admin << avatar;
        };
        blank("admin as text", R"({"user":{"isAdmin":"true"}})");
        blank("admin as a number", R"({"user":{"isAdmin":1}})", true);
        blank("no user", R"({"name":"top level","username":"x"})");
        blank("wrong kinds", R"({"user":{"name":5,"username":null,"avatarUrl":[1]}})");
        blank("unusable avatar path", R"({"user":{"avatarUrl":"/a b/%zz"}})", false, "-");
        blank("the home screen's first value", R"({"":""})");
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
