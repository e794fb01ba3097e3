#pragma once
#include <QObject>
#include <QUrl>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

// A link row of the about screen: a page of the project web site.
struct siteLink {
    Q_GADGET
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(QString icon MEMBER icon)
    Q_PROPERTY(QUrl url MEMBER url)
  public:
    QString name;
    QString icon;
    QUrl url;
};

// One developer card.
struct devBox {
    Q_GADGET
    Q_PROPERTY(QUrl image MEMBER image)
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(QString description MEMBER description)
  public:
    QUrl image;
    QString name;
    QString description;
};

// The about screen: what this build is, where the project lives and who makes it.
class AppinfoModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString versionLine READ versionLine CONSTANT)
    Q_PROPERTY(QVariantList links READ linksForQml CONSTANT)
    Q_PROPERTY(QVariantList developers READ developersForQml CONSTANT)
  public:
    using QObject::QObject;

    // "Version: 1.2.0 (34)".
    static QString versionLine();
    static QList<siteLink> links();
    static QList<devBox> developers();

  private:
    static QVariantList linksForQml();
    static QVariantList developersForQml();
};
