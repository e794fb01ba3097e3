// Sign-in: what the login body carries, which tokens the client keeps from the answer, and
// that a refused sign-in changes nothing. Also the push calls that need a refresh token.
#include "ApiTestSupport.h"
#include "DeviceInfo.h"
#include "TestSupport.h"

#include <QJsonDocument>

using OptText = std::optional<QString>;
Q_DECLARE_METATYPE(OptText)

namespace {
const OptText none = std::nullopt;
} // namespace

class TestLogin : public QObject {
    Q_OBJECT
    std::unique_ptr<standin::Server> server;
    std::unique_ptr<OrvelApi> api;
    QList<QPair<QString, OptText>> updates;
    int logouts = 0;

    void answerLogin(int status, const QByteArray& body) {
        server->setFault(QStringLiteral("POST"), QStringLiteral("/api/auth/login"),
                         fault::answer(status, body));
    }
    QJsonObject sentBody() const {
        const auto log = server->requests();
        return log.isEmpty() ? QJsonObject() : QJsonDocument::fromJson(log.last().body).object();
    }

  private slots:
    void init() {
        server = std::make_unique<standin::Server>();
        QVERIFY(server->listen());
        updates.clear();
        logouts = 0;
        api = std::make_unique<OrvelApi>(
            server->baseUrl(), QStringLiteral("old-access"), QStringLiteral("old-refresh"),
            [this](const QString& a, const OptText& r) {
                updates.append({a, r});
            },
            [this] { ++logouts; });
    }
    void cleanup() {
        api.reset();
        server.reset();
    }

    void userNameIsTrimmedOfSpacesAndTabsOnly_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("sent");
        // clang-format off
        QTest::newRow("leading spaces, trailing tab") << "   student\t" << "student";
        QTest::newRow("mixed runs at both ends") << " \t \tstudent \t " << "student";
        QTest::newRow("inner spaces kept") << "  Иван Петров  " << "Иван Петров";
        QTest::newRow("line breaks kept") << "\nstudent\r\n" << "\nstudent\r\n";
        QTest::newRow("break behind a space stops the trim") << "student \n" << "student \n";
        QTest::newRow("no-break space kept") << "\u00A0student\u00A0" << "\u00A0student\u00A0";
        QTest::newRow("only blanks") << " \t " << "";
        QTest::newRow("empty") << "" << "";
        // clang-format on
    }
    void userNameIsTrimmedOfSpacesAndTabsOnly() {
        QFETCH(QString, typed);
        QFETCH(QString, sent);
        await(api->login(typed, QStringLiteral(" pass word ")));
        const QJsonObject body = sentBody();
        QCOMPARE(body.value(u"username").toString(), sent);
        QCOMPARE(body.value(u"password").toString(), QStringLiteral(" pass word "));
        QCOMPARE(body.size(), 4);
    }

    void deviceNameAndType_data() {
        QTest::addColumn<OptText>("name");
        QTest::addColumn<OptText>("type");
        QTest::addColumn<QString>("sentName");
        QTest::addColumn<QString>("sentType");
        const QString machine =
            DeviceInfo::deviceMarketingName(DeviceInfo::deviceModelIdentifier());
        QTest::newRow("defaults: this machine, desktop") << none << none << machine << "desktop";
        QTest::newRow("given name is not looked up") << OptText("Mac16,8") << none << "Mac16,8"
                                                     << "desktop";
        QTest::newRow("given type") << none << OptText("tablet") << machine << "tablet";
        QTest::newRow("empty texts are given values") << OptText("") << OptText("") << ""
                                                      << "";
    }
    void deviceNameAndType() {
        QFETCH(OptText, name);
        QFETCH(OptText, type);
        QFETCH(QString, sentName);
        QFETCH(QString, sentType);
        QVERIFY(!sentName.isNull());
        await(api->login(QStringLiteral("student"), QStringLiteral("student"), name, type));
        QCOMPARE(sentBody().value(u"device_name").toString(), sentName);
        QCOMPARE(sentBody().value(u"device_type").toString(), sentType);
    }

    // Each token is taken only when the answer carries it as text; a missing one clears the old.
    void tokensFromTheAnswer_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<OptText>("access");
        QTest::addColumn<OptText>("refresh");
        QTest::newRow("both") << QByteArray(R"({"access_token":"A","refresh_token":"R","user":{}})")
                              << OptText("A") << OptText("R");
        QTest::newRow("no refresh token")
            << QByteArray(R"({"access_token":"A"})") << OptText("A") << none;
        QTest::newRow("refresh token null")
            << QByteArray(R"({"access_token":"A","refresh_token":null})") << OptText("A") << none;
        QTest::newRow("access token a number")
            << QByteArray(R"({"access_token":5,"refresh_token":"R"})") << none << OptText("R");
        QTest::newRow("empty object") << QByteArray("{}") << none << none;
    }
    void tokensFromTheAnswer() {
        QFETCH(QByteArray, answer);
        QFETCH(OptText, access);
        QFETCH(OptText, refresh);
        answerLogin(200, answer);
        const auto r = await(api->login(QStringLiteral("student"), QStringLiteral("student")));
        QVERIFY(r && r->ok());
        QCOMPARE(r->value(), QJsonDocument::fromJson(answer).object());
        QCOMPARE(api->accessToken(), access);
        QCOMPARE(api->refreshToken(), refresh);
        QCOMPARE(updates.size(), 1);
        QCOMPARE(updates.first().first, access.value_or(QString()));
        QVERIFY(!updates.first().first.isNull());
        QCOMPARE(updates.first().second, refresh);
        QCOMPARE(logouts, 0);
    }

    void refusedSignInChangesNothing_data() {
        QTest::addColumn<int>("status"); // 0: the stand-in judges the password itself
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("wrong password") << 0 << QByteArray();
        QTest::newRow("401 scripted")
            << 401 << QByteArray(R"({"error":"Неверный логин или пароль"})");
        QTest::newRow("server error") << 500 << QByteArray("<html>oops</html>");
        QTest::newRow("not an object") << 200 << QByteArray(R"(["access_token"])");
    }
    void refusedSignInChangesNothing() {
        QFETCH(int, status);
        QFETCH(QByteArray, answer);
        if (status)
            answerLogin(status, answer);
        const auto r = await(api->login(QStringLiteral("student"), QStringLiteral("wrong")));
        QVERIFY(r);
        QVERIFY(!r->ok());
        QCOMPARE(api->accessToken(), OptText("old-access"));
        QCOMPARE(api->refreshToken(), OptText("old-refresh"));
        QVERIFY(updates.isEmpty());
        QCOMPARE(logouts, 0);
        // A refused sign-in is never taken for an expired token.
        QCOMPARE(server->count(QStringLiteral("POST"), QStringLiteral("/api/auth/refresh")), 0);
    }

    void pushNeedsARefreshToken_data() {
        QTest::addColumn<Call>("call");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("viaLogout");
        const Call reg([](OrvelApi& a) {
            return a.registerPush({{"endpoint", "https://push.example/x"}});
        });
        const Call unreg([](OrvelApi& a) { return a.unregisterPush(); });
        QTest::newRow("register, never had one") << reg << "/api/push/register" << false;
        QTest::newRow("register right after logout") << reg << "/api/push/register" << true;
        QTest::newRow("unregister, never had one") << unreg << "/api/push/unregister" << false;
        QTest::newRow("unregister right after logout") << unreg << "/api/push/unregister" << true;
    }
    void pushNeedsARefreshToken() {
        QFETCH(Call, call);
        QFETCH(QString, path);
        QFETCH(bool, viaLogout);
        if (viaLogout)
            QVERIFY(awaitVoid(api->logout()));
        else
            api->setRefreshToken(std::nullopt);
        const auto r = await(call(*api));
        QVERIFY(r);
        QVERIFY(!r->ok());
        QVERIFY(r->error().is(OrvelApiError::refreshFailed));
        QCOMPARE(server->count(QStringLiteral("*"), path), 0);
    }
};

QTEST_GUILESS_MAIN(TestLogin)
#include "tst_login.moc"
