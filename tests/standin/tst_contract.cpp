// The stand-in's routes through the application's own client: the shapes the screens read.
#include "OrvelApi.h"
#include "Schedule.h"
#include "StandinServer.h"
#include "TestSupport.h"

#include <QJsonArray>
#include <algorithm>

namespace {
QJsonArray arrayOf(const ApiResult& r, const char* key) {
    return r.ok() ? r.value().value(QLatin1String(key)).toArray() : QJsonArray();
}

ApiResult must(std::optional<ApiResult> r) {
    if (!r)
        return ApiError::transport(-1, QStringLiteral("no answer in time"));
    return *r;
}
} // namespace

class TestContract : public QObject {
    Q_OBJECT
    std::unique_ptr<standin::Server> server;

    std::unique_ptr<OrvelApi> signIn(const QString& login) {
        auto api = std::make_unique<OrvelApi>(server->baseUrl(), std::nullopt, std::nullopt);
        const ApiResult r = must(await(api->login(login, login)));
        if (!r.ok() || !api->accessToken())
            qWarning("sign-in failed: %s",
                     qPrintable(r.ok() ? QStringLiteral("no token") : r.error().description()));
        return api;
    }

  private slots:
    void init() {
        server = std::make_unique<standin::Server>();
        QVERIFY(server->listen());
    }
    void cleanup() { server.reset(); }

    // Ending another device's session makes its refresh token useless; ending all others keeps
    // the caller's own.
    void sessionLifecycle() {
        auto laptop = signIn(QStringLiteral("student"));
        auto phone = signIn(QStringLiteral("student"));
        QVERIFY(laptop->accessToken() && phone->accessToken());
        const ApiResult me = must(await(laptop->getMe()));
        QVERIFY(me.ok());
        QCOMPARE(me.value().value(QStringLiteral("login")).toString(), QStringLiteral("student"));

        const QJsonArray sessions = arrayOf(must(await(laptop->getSessions())), "sessions");
        qint64 otherId = -1;
        int current = 0;
        for (const QJsonValue& s : sessions) {
            if (s[u"is_current"].toBool())
                ++current;
            else
                otherId = s[u"id"].toInteger();
        }
        QCOMPARE(current, 1);
        QVERIFY(otherId >= 0);
        QVERIFY(must(await(laptop->revokeSession(otherId))).ok());
        QCOMPARE(arrayOf(must(await(laptop->getSessions())), "sessions").size(),
                 sessions.size() - 1);
        server->expireAccessTokens();
        const ApiResult refused = must(await(phone->getMe()));
        QVERIFY(!refused.ok() && refused.error().is(OrvelApiError::refreshFailed));
        QVERIFY(!phone->refreshToken());
        QVERIFY(must(await(laptop->getMe())).ok());
        auto tablet = signIn(QStringLiteral("student"));
        QVERIFY(must(await(laptop->revokeAllSessions())).ok());
        server->expireAccessTokens();
        QVERIFY(!must(await(tablet->getMe())).ok());
        QVERIFY(must(await(laptop->getMe())).ok());
    }

    void teacherWeekHoldsTheLessonsThatNameThem() {
        auto api = signIn(QStringLiteral("student"));
        const QString faculty = standin::Server::facultyNames().value(2);
        const QJsonArray groups = arrayOf(must(await(api->getGroups(faculty))), "groups");
        QVERIFY(!groups.isEmpty());
        for (int offset : {-30, -1, 0, 1}) {
            const QString group = groups.at(0).toObject().value(QStringLiteral("name")).toString();
            const auto week = schedulesFromAnswer(
                must(await(api->getWeekSchedule(faculty, group, offset))).value(),
                QStringLiteral("combined_with"));
            QVERIFY2(!week.isEmpty(), qPrintable(QStringLiteral("offset %1").arg(offset)));
            const auto named = std::find_if(week.begin(), week.end(),
                                            [](const Schedule& s) { return !s.teacher.isEmpty(); });
            QVERIFY(named != week.end());
            const auto theirs = schedulesFromAnswer(
                must(await(api->getTeacherSchedule(named->teacher, offset))).value(),
                QStringLiteral("combined_groups"));
            const bool found = std::any_of(theirs.begin(), theirs.end(), [&](const Schedule& s) {
                return s.day == named->day && s.time == named->time && s.subject == named->subject;
            });
            QVERIFY2(found, qPrintable(named->teacher));
            const teacherInfo card = teacherFromMap(must(await(api->getTeacher(named->teacher)))
                                                        .value()
                                                        .value(QStringLiteral("teacher"))
                                                        .toObject());
            QCOMPARE(card.name, named->teacher);
        }
    }
};

QTEST_GUILESS_MAIN(TestContract)
#include "tst_contract.moc"
