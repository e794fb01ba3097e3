// Damaged service answers must never crash a reader or break its promises.
#include "AppInfo.h"
#include "Mutator.h"
#include "NewsScreenModel.h"
#include "OrvelApi.h"
#include "Preferences.h"
#include "Schedule.h"
#include "StandinServer.h"
#include "StoredKeys.h"
#include "SystemColors.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>

namespace {
QJsonObject asObject(const QByteArray& bytes) {
    return QJsonDocument::fromJson(bytes).object();
}

bool sameOrigin(const QUrl& a, const QUrl& b) {
    return a.scheme() == b.scheme() && a.host() == b.host() && a.port() == b.port() &&
           a.userInfo() == b.userInfo();
}

// What an item's page may be: the site's "not found" page, or the site's own "/news/<id>" page
// for an id that is one plain path segment, with nothing that a server would resolve elsewhere.
bool pageStaysInNews(const News& n) {
    const QUrl page = n.pageUrl();
    if (page == AppInfo::sitePage(QStringLiteral("/404?forApp")))
        return true;
    const QUrl site = AppInfo::sitePage(QStringLiteral("/"));
    QString newsPath = site.path();
    while (newsPath.endsWith(u'/'))
        newsPath.chop(1);
    newsPath += QStringLiteral("/news/");
    return sameOrigin(page, site) && !n.id.isEmpty() && n.id != u"." && n.id != u".." &&
           !n.id.contains(u'/') && !n.id.contains(u'%') &&
           page.path(QUrl::FullyEncoded) == newsPath + n.id &&
           page.adjusted(QUrl::NormalizePathSegments) == page &&
           page.query() == QStringLiteral("forApp") && !page.hasFragment();
}
} // namespace

class TestFuzz : public QObject {
    Q_OBJECT
    QList<QByteArray> corpus;
    QList<QByteArray> newsCorpus;

    template <class Check> void run(quint32 seed, Check check) { run(seed, corpus, check); }
    // Runs `check` on ORVEL_FUZZ_ITERATIONS (else 50000) mutants of `seeds`; fails on the first
    // broken promise, after printing the input that broke it.
    template <class Check> void run(quint32 seed, const QList<QByteArray>& seeds, Check check) {
        Mutator m(seed);
        QElapsedTimer t;
        t.start();
        const int fromEnv = qEnvironmentVariableIntValue("ORVEL_FUZZ_ITERATIONS");
        const int n = fromEnv > 0 ? fromEnv : 50000;
        for (int i = 0; i < n; ++i) {
            const QByteArray input = m.mutate(seeds);
            if (!check(input)) {
                qWarning("broken by input: %s", input.toPercentEncoding().constData());
                QFAIL("a reader broke its promise");
            }
        }
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
        const QString group = groups->value().value(u"groups")[0][u"name"].toString();
        const QString teacher = standin::Server::demoTeacherName();
        std::vector<QCoro::Task<ApiResult>> calls;
        calls.push_back(api.getWeekSchedule(faculty, group, 0));
        calls.push_back(api.getTeacherSchedule(teacher, -1));
        calls.push_back(api.getTeacher(teacher));
        calls.push_back(api.storageSet(QStringLiteral("settings__theme"), QStringLiteral("dark")));
        calls.push_back(api.storageGetMany({"settings__next_lesson", "settings__current_lesson",
                                            "settings__theme", "settings__accent_color"}));
        for (auto& call : calls) {
            const auto r = await(std::move(call));
            QVERIFY(r && r->ok());
            corpus.append(QJsonDocument(r->value()).toJson(QJsonDocument::Compact));
        }
        corpus.append(QByteArray("#1e90ff"));

        // The news list as the application itself reads it from the content service, whole and
        // in pages, and real items whose ids try to leave the news pages.
        const QString contentHost = NewsScreenModel::contentHost();
        NewsScreenModel::setContentHost(server.baseUrl());
        for (const QString& query :
             {QString(), QStringLiteral("?perPage=3"), QStringLiteral("?page=2&perPage=2")}) {
            const auto news =
                await(NewsScreenModel::fetchJSON(NewsScreenModel::recordsAddress() + query));
            QVERIFY(news && news->ok());
            QVERIFY(!newsFromAnswer(news->value(), server.baseUrl(), false).isEmpty());
            newsCorpus.append(QJsonDocument(news->value()).toJson(QJsonDocument::Compact));
        }
        NewsScreenModel::setContentHost(contentHost);
        QJsonObject hostile = asObject(newsCorpus.last());
        QJsonArray items = hostile.value(QStringLiteral("items")).toArray();
        for (const QString id :
             {"..", "../admin", "a/../../b", "%2e%2e", "x?y#z", "//evil.example"}) {
            QJsonObject item = items.at(0).toObject();
            item.insert(QStringLiteral("id"), id);
            item.insert(QStringLiteral("collectionId"), id);
            items.append(item);
        }
        hostile.insert(QStringLiteral("items"), items);
        newsCorpus.append(QJsonDocument(hostile).toJson(QJsonDocument::Compact));
    }

    // Lesson times agree with their text, a teacher's name is text or nothing, and a colour read
    // from anything is a valid one.
    void records() {
        run(2, [](const QByteArray& bytes) {
            const QJsonObject answer = asObject(bytes);
            for (const QString& key :
                 {QStringLiteral("combined_with"), QStringLiteral("combined_groups")}) {
                for (const Schedule& s : schedulesFromAnswer(answer, key)) {
                    const auto [start, end] = lessonSpan(s.time);
                    if (s.timeLESSON_start != start || s.timeLESSON_end != end)
                        return false;
                }
            }
            const QJsonObject teacher = answer.value(QStringLiteral("teacher")).toObject();
            const QJsonValue name = teacher.value(QStringLiteral("name"));
            if (teacherFromMap(teacher).name != (name.isString() ? name.toString() : QString()))
                return false;
            const QString text = QString::fromUtf8(bytes.left(64));
            (void)lessonMinutes(text);
            (void)lessonSpan(text);
            const QColor c = colorFromHex(text);
            return c.isValid() && c.alpha() >= 0 && c.alpha() <= 255;
        });
    }

    // Below 400 an answer is good exactly when it is a JSON object; from 400 on it is an
    // error of its status, the service's own only for a non-empty object with a text "error".
    void classification() {
        const int statuses[] = {200, 201, 204, 301, 399, 400, 401, 404, 422, 500, 503};
        int k = 0;
        const QList<QByteArray> errors{R"({"error":"Группа не найдена"})", "<html>502</html>"};
        run(1, corpus + errors, [&](const QByteArray& body) {
            const int status = statuses[k++ % std::size(statuses)];
            const ApiResult r = OrvelApi::classify(status, body);
            QJsonParseError err{};
            const QJsonDocument doc = QJsonDocument::fromJson(body, &err);
            const bool object = err.error == QJsonParseError::NoError && doc.isObject();
            if (status < 400)
                return r.ok() == object;
            if (r.ok() || r.error().status != status)
                return false;
            const bool own = object && !doc.object().isEmpty() &&
                             doc.object().value(QStringLiteral("error")).isString();
            return r.error().is(own ? OrvelApiError::apiError : OrvelApiError::httpError);
        });
    }

    void preferences() {
        run(4, [](const QByteArray& bytes) {
            const QJsonObject answer = asObject(bytes);
            (void)StoredKeys::from(answer);
            QVariantMap settings;
            Preferences::insertStored(settings, answer);
            return settings.size() == 5 &&
                   settings.value(QStringLiteral("settings__accent_color"))
                       .value<QColor>()
                       .isValid() &&
                   settings.value(QStringLiteral("settings__theme")).typeId() == QMetaType::QString;
        });
    }

    void news() {
        const QString host = QStringLiteral("http://content.example:8090");
        int k = 0;
        run(6, newsCorpus, [&](const QByteArray& bytes) {
            const bool phone = k++ % 2;
            const QJsonObject answer = asObject(bytes);
            const QList<News> news = newsFromAnswer(answer, host, phone);
            const QJsonValue items = answer.value(QStringLiteral("items"));
            bool allObjects = items.isArray();
            for (const QJsonValue& v : items.toArray())
                allObjects = allObjects && v.isObject();
            if (news.size() != (allObjects ? items.toArray().size() : 0))
                return false;
            for (qsizetype i = 0; i < news.size(); ++i) {
                const QJsonObject item = items.toArray().at(i).toObject();
                const News& n = news.at(i);
                // A missing or mistyped key reads as empty text, a text key as itself.
                const std::pair<QString, const QString*> fields[] = {
                    {QStringLiteral("author"), &n.author},
                    {QStringLiteral("collectionId"), &n.collectionId},
                    {QStringLiteral("date"), &n.date},
                    {QStringLiteral("id"), &n.id},
                    {QStringLiteral("preview"), &n.preview},
                    {QStringLiteral("title"), &n.title}};
                for (const auto& [key, value] : fields) {
                    const QJsonValue v = item.value(key);
                    if (*value != (v.isString() ? v.toString() : QString()))
                        return false;
                }
                // The picture is asked of the content service and nobody else.
                const QUrl preview = n.previewUrl();
                if (!preview.isEmpty() &&
                    (!preview.isValid() || !sameOrigin(preview, QUrl(host)) ||
                     !preview.path().startsWith(QStringLiteral("/api/files/"))))
                    return false;
                if (!pageStaysInNews(n))
                    return false;
            }
            return true;
        });
    }
};

QTEST_GUILESS_MAIN(TestFuzz)
#include "tst_fuzz.moc"
