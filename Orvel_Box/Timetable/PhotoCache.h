#pragma once
#include <QCache>
#include <QCoroTask>
#include <QFuture>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QUrl>
#include <optional>

class QNetworkAccessManager;
class QNetworkDiskCache;

// Every remote picture of the application goes through here: a memory cache (50 MiB of
// decoded pictures), an on-disk cache of the raw answers (100 MiB, "teacher_photos_cache" in
// the user's cache directory) and its own network manager, which never carries the bearer
// token. Pictures are decoded off the interface thread. One instance per process.
class PhotoCache : public QObject {
    Q_OBJECT
  public:
    static PhotoCache& instance();
    // Tests: a cache in any directory, so a "restart" is a new object on the same directory.
    explicit PhotoCache(const QString& diskPath, QObject* parent = nullptr);
    ~PhotoCache() override;

    static constexpr qint64 memoryCapacity = 52428800;
    static constexpr qint64 diskCapacity = 104857600;
    static QString defaultDiskPath();

    // The picture at `url`, from memory, disk or network in that order. Empty on failure, after
    // writing the failure to the log. Concurrent loads of one address share one fetch.
    QCoro::Task<std::optional<QImage>> load(QUrl url);

    int networkFetches() const { return m_fetches; }
    void clearMemory() { m_memory.clear(); }

  signals:
    void fetchFinished(const QUrl& url);

  private:
    QCoro::Task<std::optional<QImage>> fromDiskOrNetwork(QUrl url);
    QCoro::Task<std::optional<QImage>> fetch(QUrl url);
    void remember(const QUrl& url, const QImage& image);
    void store(const QUrl& url, const QByteArray& data,
               const QList<QPair<QByteArray, QByteArray>>& headers);

    QNetworkAccessManager* m_nam;
    QNetworkDiskCache* m_disk;
    QCache<QString, QImage> m_memory;
    QHash<QString, QFuture<std::optional<QImage>>> m_inFlight; // by address
    int m_fetches = 0;
};
