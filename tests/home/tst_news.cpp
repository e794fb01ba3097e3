// The news section against the stand-in's public content service: items, failures that leave
// the list as it was, requests without the user's token, and the page an item opens.
#include "AppInfo.h"
#include "HomeScene.h"
#include "NewsScreenModel.h"
#include "PhotoCache.h"

#include <QAbstractItemModelTester>
#include <QJsonArray>
#include <QSignalSpy>

namespace {
const QString recordsPath = QStringLiteral("/api/collections/site_news/records");

QByteArray json(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}
QJsonObject item(const QString& id, const QString& title) {
    return {{"id", id},
            {"collectionId", "c0ll"},
            {"title", title},
            {"author", "Пресс-служба"},
            {"date", "03.03.2025"},
            {"preview", "a.png"}};
}
} // namespace

class TestNews : public QObject {
    Q_OBJECT
    SignedInWindow app;
    std::unique_ptr<NewsScreenModel> model;

    void serve(const standin::Fault& f) {
        app.server->setFault(QStringLiteral("GET"), recordsPath, f);
    }
    void answer(const QJsonObject& body) { serve(fault::answer(200, json(body))); }
    // Loads once and waits for the end of it; the outcome as the load reported it.
    bool load() {
        QSignalSpy finished(model.get(), &NewsScreenModel::loadFinished);
        model->load();
        return finished.wait(10000) && finished.first().first().toBool();
    }

  private slots:
    void initTestCase() { QVERIFY(app.start()); }
    void cleanupTestCase() { app.stop(); }
    void init() {
        app.server->clearFaults();
        app.server->clearLog();
        model = std::make_unique<NewsScreenModel>();
        new QAbstractItemModelTester(
            model->allNews(), QAbstractItemModelTester::FailureReportingMode::QtTest, model.get());
        model->setCo(app.co());
        NewsScreenModel::setContentHost(app.server->baseUrl() + QStringLiteral("/"));
    }
    void cleanup() { model.reset(); }

    // Items read with defaults; the phone's picture is the 512-pixel-wide copy.
    void itemsReadWithDefaults_data() {
        QTest::addColumn<QJsonObject>("answer");
        QTest::addColumn<bool>("phone");
        // Fields of each item: author, collectionId, date, id, preview, title.
        QTest::addColumn<QList<QStringList>>("items");
        const QStringList read{"Пресс-служба", "c0ll", "03.03.2025", "r1", "a.png", "День"};
        const QJsonObject one{{"page", 1}, {"items", QJsonArray{item("r1", "День")}}};
        QTest::newRow("complete item, extra keys ignored")
            << one << false << QList<QStringList>{read};
        QTest::newRow("on a phone") << one << true << QList<QStringList>{read};
        QTest::newRow("keys of other types")
            << QJsonObject{{"items", QJsonArray{QJsonObject{{"id", 7},
                                                            {"collectionId", QJsonValue::Null},
                                                            {"title", QJsonArray{"a"}},
                                                            {"author", QJsonObject{}},
                                                            {"date", 20250303},
                                                            {"preview", true}}}}}
            << false << QList<QStringList>{{"", "", "", "", "", ""}};
        QTest::newRow("a list holding a non-object")
            << QJsonObject{{"items", QJsonArray{item("r1", "x"), "r2"}}} << false
            << QList<QStringList>{};
    }
    void itemsReadWithDefaults() {
        QFETCH(QJsonObject, answer);
        QFETCH(bool, phone);
        QFETCH(QList<QStringList>, items);
        this->answer(answer);
        model->setProperty("phone", phone);
        QVERIFY(model->isLoading());
        QVERIFY(load());
        // Even an answer without items ends the waiting: the list then shows only its header.
        QVERIFY(!model->isLoading());
        QCOMPARE(model->news().size(), items.size());
        for (qsizetype i = 0; i < items.size(); ++i) {
            const News& n = model->news().at(i);
            QCOMPARE((QStringList{n.author, n.collectionId, n.date, n.id, n.preview, n.title}),
                     items.at(i));
            QCOMPARE(n.preview_img, QStringLiteral("%1/api/files/%2/%3/%4%5")
                                        .arg(app.server->baseUrl(), n.collectionId, n.id, n.preview,
                                             phone ? "?thumb=512x0" : ""));
        }
    }

    // A failed load after a list writes one line and leaves the list as it was.
    void failureKeepsTheList_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("drop");
        QTest::newRow("404 with an error object") << 404 << QByteArray(R"({"error":"x"})") << false;
        QTest::newRow("3xx with a list") << 300 << QByteArray(R"({"items":[]})") << false;
        QTest::newRow("array body") << 200 << QByteArray(R"([{"id":"r1"}])") << false;
        QTest::newRow("connection dropped") << 0 << QByteArray() << true;
    }
    void failureKeepsTheList() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, drop);
        QVERIFY(load());
        const QList<News> shown = model->news();
        QVERIFY(!shown.isEmpty());
        QSignalSpy changed(model.get(), &NewsScreenModel::newsChanged);
        // The network layer resends once on a dropped connection.
        serve(drop ? fault::dropped(2) : fault::answer(status, body));
        LogCapture log;
        QVERIFY(!load());
        QCOMPARE(log.lines.size(), 1);
        QVERIFY(!model->isLoading());
        QCOMPARE(model->news(), shown);
        QCOMPARE(changed.count(), 0);
    }

    // The signed-in client holds a token; none of it may reach the public service.
    void contentRequestsCarryNoToken() {
        QVERIFY(app.co()->api()->accessToken());
        QVERIFY(load());
        QTemporaryDir pictures;
        PhotoCache cache(pictures.path());
        QVERIFY(await(cache.load(model->news().first().previewUrl())).value().has_value());
        const auto requests = app.server->requests();
        QCOMPARE(app.server->count(QStringLiteral("GET"), recordsPath), 1);
        QCOMPARE(requests.first().rawQuery, QString());
        QVERIFY(requests.size() >= 2);
        for (const standin::LoggedRequest& r : requests) {
            QVERIFY2(r.path == recordsPath || r.path.startsWith(QStringLiteral("/api/files/")),
                     qPrintable(r.path));
            QVERIFY2(!r.headers.contains("authorization"), qPrintable(r.path));
            QVERIFY(!r.headers.contains("cookie"));
        }
    }

    // Two showings in quick succession: the later one's list stays, whichever answer comes last.
    // A refresh is silent (the waiting view never returns) and the open item stays open though
    // its row moved; nothing is selected past the ends.
    void newestLoadWinsSilently() {
        answer({{"items", QJsonArray{item("a", "Первый"), item("b", "Второй")}}});
        QSignalSpy waiting(model.get(), &NewsScreenModel::isLoadingChanged);
        QVERIFY(load());
        QSignalSpy selection(model.get(), &NewsScreenModel::selectionChanged);
        model->select(-1);
        model->select(2); // past the end
        QVERIFY(!model->hasSelection() && model->selectedPage().isEmpty());
        QCOMPARE(selection.count(), 0);
        model->select(1);
        const QUrl page = model->selectedPage();

        const QJsonObject older{{"items", QJsonArray{item("old", "Старый список")}}};
        serve(fault::times(1, fault::delayed(400, fault::answer(200, json(older)))));
        QSignalSpy finished(model.get(), &NewsScreenModel::loadFinished);
        model->load();
        QVERIFY(QTest::qWaitFor([&] { return app.server->count("GET", recordsPath) == 2; }));
        answer({{"items", QJsonArray{item("b", "Второй"), item("c", "Третий")}}});
        model->load();
        QVERIFY(QTest::qWaitFor([&] { return finished.count() == 2; }, 10000));
        QCOMPARE(finished.at(0).first().toBool(), true);
        QCOMPARE(finished.at(1).first().toBool(), false);
        QCOMPARE(waiting.count(), 1);
        QCOMPARE(model->news().size(), 2);
        QCOMPARE(model->news().at(1).title, QStringLiteral("Третий"));
        QCOMPARE(model->selectedNews().id, QStringLiteral("b"));
        QCOMPARE(model->selectedPage(), page);
        model->dismiss();
        QVERIFY(!model->hasSelection());
    }

    void pageOfAnItem_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("path");
        const QString notFound = QStringLiteral("/404?forApp");
        QTest::newRow("dots and dashes") << "2025-03.v2_final~1"
                                         << "/news/2025-03.v2_final~1?forApp";
        QTest::newRow("parent folder") << ".." << notFound;
        QTest::newRow("slash") << "a/b" << notFound;
        QTest::newRow("query") << "a?forApp=0&x" << notFound;
        QTest::newRow("another host") << "@evil.example" << notFound;
    }
    void pageOfAnItem() {
        QFETCH(QString, id);
        QFETCH(QString, path);
        News n;
        n.id = id;
        QCOMPARE(n.pageUrl(), AppInfo::sitePage(path));
        QCOMPARE(n.pageUrl().host(), AppInfo::sitePage(QString()).host());
    }
};

QTEST_GUILESS_MAIN(TestNews)
#include "tst_news.moc"
