#pragma once
#include "CO.h"

#include <QColor>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

// The menu's profile card, read from the account record of GET "/api/users/me" that the home
// screen fetched. Every field is optional: a missing or mistyped one reads as empty.
class MenuScreenModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(CO* co READ co WRITE setCo NOTIFY changed)
    Q_PROPERTY(QVariantMap meInfo READ meInfo WRITE setMeInfo NOTIFY changed)
    Q_PROPERTY(QString name READ name NOTIFY changed)
    Q_PROPERTY(QString loginLine READ loginLine NOTIFY changed)
    Q_PROPERTY(bool isAdmin READ isAdmin NOTIFY changed)
    Q_PROPERTY(QUrl avatarUrl READ avatarUrl NOTIFY changed)
    Q_PROPERTY(QColor gradientCentre READ gradientCentre CONSTANT)
    Q_PROPERTY(QColor gradientEdge READ gradientEdge CONSTANT)
    Q_PROPERTY(QUrl feedbackUrl READ feedbackUrl CONSTANT)
  public:
    using QObject::QObject;

    CO* co() const { return m_co; }
    void setCo(CO* co);
    QVariantMap meInfo() const { return m_meInfo; }
    void setMeInfo(const QVariantMap& info);

    QString name() const;
    // "@" and the login name.
    QString loginLine() const;
    // Only a boolean true (or the number 1) counts; the text "true" does not.
    bool isAdmin() const;
    // The service's address followed directly by the record's avatar path.
    QUrl avatarUrl() const;

    static QColor gradientCentre();
    static QColor gradientEdge();
    static QUrl feedbackUrl();

  signals:
    void changed();

  private:
    QJsonObject user() const;

    QPointer<CO> m_co;
    QVariantMap m_meInfo;
};
