#pragma once
#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QUrl>

// One item of the university news as the public content service publishes it. Field names are
// the collection's keys.
struct News {
    Q_GADGET
    Q_PROPERTY(QString author MEMBER author)
    Q_PROPERTY(QString collectionId MEMBER collectionId)
    Q_PROPERTY(QString date MEMBER date)
    Q_PROPERTY(QString id MEMBER id)
    Q_PROPERTY(QString preview MEMBER preview)
    Q_PROPERTY(QString preview_img MEMBER preview_img)
    Q_PROPERTY(QString title MEMBER title)
    Q_PROPERTY(QUrl previewUrl READ previewUrl)
  public:
    QString author;
    QString collectionId;
    QString date;
    QString id;
    QString preview;
    // The full address of the preview picture, composed on load; never read from an answer.
    QString preview_img;
    QString title;

    // A key that is missing or holds anything but text reads as empty text.
    static News fromMap(const QJsonObject& map);
    // The picture address; empty (never loads) when the composed text is no valid address.
    QUrl previewUrl() const;
    // The item's page on the project web site, or the site's "not found" page when the id
    // cannot name a page there.
    QUrl pageUrl() const;

    bool operator==(const News&) const = default;
};

// The items of a record-list answer, in answer order, with their picture addresses on
// `contentHost`. An answer whose "items" is not a list of objects has no items. Phones ask for
// the 512-pixel-wide copy of each picture.
QList<News> newsFromAnswer(const QJsonObject& answer, const QString& contentHost, bool phone);
