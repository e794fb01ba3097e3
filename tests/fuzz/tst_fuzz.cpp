// Damaged service answers must never crash a reader or break its promises.
#include "AppInfo.h"
#include "CoordinatorModel.h"
#include "Mutator.h"
#include "OrvelApi.h"
#include "Schedule.h"
#include "StandinServer.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>

namespace {
int iterations() {
    const int fromEnv = qEnvironmentVariableIntValue("ORVEL_FUZZ_ITERATIONS");
    return fromEnv > 0 ? fromEnv : 50000;
}

QJsonObject asObject(const QByteArray& bytes) {
    return QJsonDocument::fromJson(bytes).object();
}
} // namespace

class TestFuzz : public QObject {
    Q_OBJECT
    QList<QByteArray> corpus;
    qint64 total = 0;

    // Runs `check` on `iterations()` mutants of the corpus; returns false on the first broken
    // promise, after printing the input that broke it.
    template <class Check> void run(quint32 seed, Check check) {
        Mutator m(seed);
        QElapsedTimer t;
        t.start();
        const int n = iterations();
        for (int i = 0; i < n; ++i) {
            const QByteArray input = m.mutate(corpus);
            if (!check(input)) {
                qWarning("broken by input: %s", input.toPercentEncoding().constData());
                QFAIL("a reader broke its promise");
            }
        }
        total += n;
        qInfo("%d inputs in %lld ms", n, t.elapsed());
    }

private slots:
    void initTestCase() {
        // The seeds are real answers of the stand-in service.
        standin::Server server;
        QVERIFY(server.listen());
        OrvelApi api(server.baseUrl(), server.issueTokens(QStringLiteral("student")), std::nullopt);
        const QString faculty = standin::Server::facultyNames().value(2);
        const auto groups = await(api.getGroups(faculty));
        QVERIFY(groups && groups->ok());
        const QString group =
            groups->value().value(QStringLiteral("groups")).toArray().at(0).toObject().value(QStringLiteral("name")).toString();
        const QString teacher = standin::Server::demoTeacherName();
        std::vector<QCoro::Task<ApiResult>> calls;
        calls.push_back(api.getWeekSchedule(faculty, group, 0));
        calls.push_back(api.getTeacherSchedule(teacher, -1));
        calls.push_back(api.getTeacher(teacher));
        calls.push_back(api.getTeachers(std::nullopt, 5, 0));
        calls.push_back(api.getFaculties());
        calls.push_back(api.storageSet(QStringLiteral("settings__theme"), QStringLiteral("dark")));
        calls.push_back(api.storageKeys());
        calls.push_back(api.storageGetMany({QStringLiteral("settings__next_lesson"), QStringLiteral("settings__current_lesson"),
                                         QStringLiteral("settings__theme"), QStringLiteral("settings__accent_color")}));
        calls.push_back(api.getMe());
        calls.push_back(api.getSessions());
        calls.push_back(api.request(QStringLiteral("/api/collections/site_news/records"), QStringLiteral("GET")));
        for (auto& call : calls) {
            const auto r = await(std::move(call));
            QVERIFY(r && r->ok());
            corpus.append(QJsonDocument(r->value()).toJson(QJsonDocument::Compact));
        }
        corpus.append(QByteArray(R"({"error":"Группа не найдена"})"));
        corpus.append(QByteArray("<html>502</html>"));
        corpus.append(QByteArray("#1e90ff"));
    }

    void classification() {
        const int statuses[] = {200, 201, 204, 301, 399, 400, 401, 404, 422, 500, 503};
        int k = 0;
        run(1, [&](const QByteArray& body) {
            const int status = statuses[k++ % std::size(statuses)];
            const ApiResult r = OrvelApi::classify(status, body);
            QJsonParseError err{};
            const QJsonDocument doc = QJsonDocument::fromJson(body, &err);
            const bool object = err.error == QJsonParseError::NoError && doc.isObject();
            if (status < 400)
                return r.ok() == object;
            if (r.ok() || r.error().status != status)
                return false;
            const bool apiError = object && !doc.object().isEmpty() && doc.object().value(QStringLiteral("error")).isString();
            return r.error().is(apiError ? OrvelApiError::apiError : OrvelApiError::httpError);
        });
    }

    void lessons() {
        run(2, [](const QByteArray& bytes) {
            const QJsonObject answer = asObject(bytes);
            for (const QString& key : {QStringLiteral("combined_with"), QStringLiteral("combined_groups")}) {
                for (const Schedule& s : schedulesFromAnswer(answer, key)) {
                    const auto [start, end] = lessonSpan(s.time);
                    if (s.timeLESSON_start != start || s.timeLESSON_end != end)
                        return false;
                }
            }
            return true;
        });
    }

    void teachers() {
        run(3, [](const QByteArray& bytes) {
            const QJsonObject map = asObject(bytes).value(QStringLiteral("teacher")).toObject();
            const teacherInfo t = teacherFromMap(map);
            const QJsonValue name = map.value(QStringLiteral("name"));
            return t.name == (name.isString() ? name.toString() : QString());
        });
    }

    void preferences() {
        run(4, [](const QByteArray& bytes) {
            const QJsonObject answer = asObject(bytes);
            (void)CoordinatorModel::storedKeys(answer);
            QVariantMap settings;
            CoordinatorModel::insertPreferences(settings, answer);
            return settings.size() == 5 && settings.value(QStringLiteral("settings__accent_color")).value<QColor>().isValid() &&
                   settings.value(QStringLiteral("settings__theme")).typeId() == QMetaType::QString;
        });
    }

    void coloursAndTimes() {
        run(5, [](const QByteArray& bytes) {
            const QString text = QString::fromUtf8(bytes.left(64));
            const QColor c = AppInfo::colorFromHex(text);
            (void)lessonMinutes(text);
            (void)lessonSpan(text);
            return c.isValid() && c.alpha() >= 0 && c.alpha() <= 255;
        });
    }

    void cleanupTestCase() { qInfo("fuzzed %lld inputs in all", total); }
};

QTEST_GUILESS_MAIN(TestFuzz)
#include "tst_fuzz.moc"
