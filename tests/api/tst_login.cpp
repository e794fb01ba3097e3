// Sign-in: the user name as sent, which tokens the client keeps from the answer, and that a
// refused sign-in changes nothing.
#include "Faults.h"
#include "OrvelApi.h"
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
        QTest::newRow("mixed runs at both ends") << " \t \tstudent \t " << "student";
        QTest::newRow("inner spaces kept") << "  Иван Петров  " << "Иван Петров";
        QTest::newRow("line breaks kept") << "\nstudent\r\n" << "\nstudent\r\n";
        QTest::newRow("break behind a space stops the trim") << "student \n" << "student \n";
        QTest::newRow("no-break space kept") << "\u00A0student\u00A0" << "\u00A0student\u00A0";
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

    // Each token is taken only when the answer carries it as text; a missing one clears the old.
    void tokensFromTheAnswer_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<OptText>("access");
        QTest::addColumn<OptText>("refresh");
        QTest::newRow("both") << QByteArray(R"({"access_token":"A","refresh_token":"R","user":{}})")
                              << OptText("A") << OptText("R");
        QTest::newRow("no refresh token")
            << QByteArray(R"({"access_token":"A"})") << OptText("A") << none;
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
};

QTEST_GUILESS_MAIN(TestLogin)
#include "tst_login.moc"
