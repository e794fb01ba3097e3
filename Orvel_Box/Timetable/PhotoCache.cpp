#include "PhotoCache.h"

#include "Log.h"
#include "RequestGate.h"
#include "Transport.h"

#include <QCoreApplication>
#include <QCoroFuture>
#include <QCoroSignal>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QPointer>
#include <QPromise>
#include <QStandardPaths>
#include <QtConcurrent/QtConcurrentRun>

namespace {
QFuture<QImage> decodeAsync(QByteArray data) {
    return QtConcurrent::run([data = std::move(data)] {
        QImage img;
        img.loadFromData(data);
        return img;
    });
}

void logFailure(const QString& description) {
    Log::line(Log::pictures(), QStringLiteral("Ошибка загрузки изображения: %1").arg(description));
}
} // namespace

QString PhotoCache::defaultDiskPath() {
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
           QStringLiteral("/teacher_photos_cache");
}

PhotoCache& PhotoCache::instance() {
    // Function-local static: created once, on first use, even with concurrent first callers.
    static PhotoCache* cache = new PhotoCache(defaultDiskPath(), QCoreApplication::instance());
    return *cache;
}

PhotoCache::PhotoCache(const QString& diskPath, QObject* parent)
    : QObject(parent), m_nam(new QNetworkAccessManager(this)), m_disk(new QNetworkDiskCache(this)) {
    m_disk->setCacheDirectory(diskPath);
    m_disk->setMaximumCacheSize(diskCapacity);
    m_memory.setMaxCost(memoryCapacity);
    Transport::refuseCookies(m_nam);
    m_nam->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

PhotoCache::~PhotoCache() = default;

void PhotoCache::remember(const QUrl& url, const QImage& image) {
    const qint64 cost = image.sizeInBytes();
    if (cost <= memoryCapacity)
        m_memory.insert(url.toString(), new QImage(image), cost);
}

void PhotoCache::store(const QUrl& url, const QByteArray& data,
                       const QList<QPair<QByteArray, QByteArray>>& headers) {
    QNetworkCacheMetaData meta;
    meta.setUrl(url);
    meta.setSaveToDisk(true);
    meta.setRawHeaders(headers);
    if (QIODevice* dev = m_disk->prepare(meta)) {
        dev->write(data);
        m_disk->insert(dev);
    }
}

QCoro::Task<std::optional<QImage>> PhotoCache::load(QUrl url) {
    const QString key = url.toString();
    if (const QImage* hit = m_memory.object(key))
        co_return *hit;

    // Somebody is already fetching this address: share that fetch's outcome. (A wait on the
    // fetchFinished signal is no good here: QCoro queues the wake-up, so a second emission
    // before it runs would wake a wait that has already ended.)
    if (const auto flight = m_inFlight.constFind(key); flight != m_inFlight.cend())
        co_return co_await QFuture<std::optional<QImage>>(*flight);

    QPromise<std::optional<QImage>> outcome;
    outcome.start();
    m_inFlight.insert(key, outcome.future());
    QPointer<PhotoCache> self(this);
    std::optional<QImage> result = co_await fromDiskOrNetwork(url);
    outcome.addResult(self ? result : std::nullopt);
    outcome.finish();
    if (!self)
        co_return std::nullopt;
    m_inFlight.remove(key);
    emit fetchFinished(url);
    co_return result;
}

QCoro::Task<std::optional<QImage>> PhotoCache::fromDiskOrNetwork(QUrl url) {
    QPointer<PhotoCache> self(this);
    if (std::unique_ptr<QIODevice> cached{m_disk->data(url)}) {
        const QImage img = co_await decodeAsync(cached->readAll());
        if (!self)
            co_return std::nullopt;
        if (!img.isNull()) {
            remember(url, img);
            co_return img;
        }
        // Not a picture: fetch it again; the new answer replaces the stored one.
    }
    co_return co_await fetch(url);
}

QCoro::Task<std::optional<QImage>> PhotoCache::fetch(QUrl url) {
    if (Transport::refusal(url)) {
        logFailure(QStringLiteral("unsupported URL"));
        co_return std::nullopt;
    }
    QNetworkRequest req(url);
    req.setTransferTimeout(10000);
    req.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    req.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    QPointer<PhotoCache> self(this);
    // Kept pictures show at once; new ones wait for the start-up check.
    co_await RequestGate::instance().passage();
    if (!self)
        co_return std::nullopt;
    ++m_fetches;
    const Result<HttpAnswer> answer = co_await Transport::send(m_nam, req, "GET", std::nullopt);
    if (!self)
        co_return std::nullopt;
    if (!answer.ok()) {
        logFailure(answer.error().description());
        co_return std::nullopt;
    }
    if (answer.value().status >= 300) {
        logFailure(ApiError::http(answer.value().status).description());
        co_return std::nullopt;
    }
    store(url, answer.value().data, answer.value().headers);
    const QImage img = co_await decodeAsync(answer.value().data);
    if (!self)
        co_return std::nullopt;
    if (img.isNull()) {
        logFailure(QStringLiteral("the answer is not a picture"));
        co_return std::nullopt;
    }
    remember(url, img);
    co_return img;
}
