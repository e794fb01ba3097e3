// The picture cache: one fetch per address, kept on disk across restarts, failures neither
// shown nor kept.
#include "Faults.h"
#include "PhotoCache.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QTemporaryDir>

namespace {
QByteArray picture(QColor c, const char* format = "JPEG") {
    QImage img(640, 480, QImage::Format_RGB32);
    img.fill(c);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, format);
    return bytes;
}
} // namespace

class TestPhotoCache : public QObject {
    Q_OBJECT
    std::unique_ptr<standin::Server> server;
    std::unique_ptr<QTemporaryDir> dir;
    QUrl at(const QString& path) const { return QUrl(server->baseUrl() + path); }

  private slots:
    void init() {
        server = std::make_unique<standin::Server>();
        QVERIFY(server->listen());
        dir = std::make_unique<QTemporaryDir>();
    }
    void cleanup() { server.reset(); }

    void failures_data() {
        QTest::addColumn<QString>("url"); // relative ones are put on the server
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("cutShort"); // the connection closes halfway through a picture
        QTest::newRow("not found") << "/photos/missing.png" << 404 << false;
        // No picture, or one cut short (it half-decodes): neither shown nor kept.
        QTest::newRow("not a picture") << "/photos/c.png" << 200 << false;
        QTest::newRow("cut short") << "/photos/cut.jpg" << 200 << true;
        QTest::newRow("file address") << "file:///etc/hostname" << 0 << false;
    }
    void failures() {
        QFETCH(QString, url);
        QFETCH(int, status);
        QFETCH(bool, cutShort);
        if (cutShort)
            server->setFault(QStringLiteral("GET"), url,
                             fault::cut(fault::answer(200, picture(Qt::red), "image/jpeg")));
        else if (status)
            server->setFault(QStringLiteral("GET"), url,
                             fault::answer(status, R"({"error":"no"})", "image/jpeg"));
        PhotoCache cache(dir->path());
        LogCapture log;
        const QUrl target = url.startsWith(u'/') ? at(url) : QUrl(url);
        const auto r = await(cache.load(target));
        QVERIFY(r && !*r);
        QCOMPARE(log.lines.size(), 1);
        QVERIFY(log.lines.first().startsWith(QStringLiteral("Ошибка загрузки изображения: ")));
        QCOMPARE(server->requests().size(), url.startsWith(u'/') ? 1 : 0);
        if (status != 200)
            return;
        server->clearFaults();
        server->setFault(QStringLiteral("GET"), url,
                         fault::answer(200, picture(Qt::blue), "image/jpeg"));
        // Every new cache on the same directory is the next start of the application.
        PhotoCache restarted(dir->path());
        const auto again = await(restarted.load(target));
        QVERIFY(again && *again);
        QCOMPARE(restarted.networkFetches(), 1);
        QVERIFY(await(restarted.load(target)).value().has_value()); // from memory
        QCOMPARE(server->count(QStringLiteral("GET"), url), 2);
        PhotoCache keptNow(dir->path());
        QVERIFY(await(keptNow.load(target)).value().has_value());
        QCOMPARE(keptNow.networkFetches(), 0);
    }

    // Cards showing the same photos: one fetch per address, each show gets its own picture.
    void concurrentShowsShareOneFetch() {
        const QList<QColor> colours{Qt::yellow, Qt::cyan, Qt::magenta};
        const int addresses = int(colours.size());
        for (int a = 0; a < addresses; ++a)
            server->setFault(
                QStringLiteral("GET"), QStringLiteral("/photos/d%1.png").arg(a),
                fault::delayed(200, fault::answer(200, picture(colours[a], "PNG"), "image/png")));
        PhotoCache cache(dir->path());
        using Shown = QList<std::pair<int, std::optional<QImage>>>;
        auto results = std::make_shared<Shown>();
        for (int i = 0; i < 6; ++i)
            for (int a = 0; a < addresses; ++a)
                [](PhotoCache* c, QUrl u, int a, std::shared_ptr<Shown> out) -> QCoro::Task<void> {
                    out->append({a, co_await c->load(u)});
                }(&cache, at(QStringLiteral("/photos/d%1.png").arg(a)), a, results);
        QVERIFY(detail::spinUntil([&] { return results->size() == 6 * addresses; }, 5000));
        // Late wake-ups of finished waits would land here.
        QTest::qWait(50);
        for (const auto& [a, r] : *results) {
            QVERIFY(r && !r->isNull());
            QCOMPARE(r->pixelColor(1, 1), colours[a]);
        }
        for (int a = 0; a < addresses; ++a)
            QCOMPARE(server->count(QStringLiteral("GET"), QStringLiteral("/photos/d%1.png").arg(a)),
                     1);
    }
};

QTEST_GUILESS_MAIN(TestPhotoCache)
#include "tst_photocache.moc"
