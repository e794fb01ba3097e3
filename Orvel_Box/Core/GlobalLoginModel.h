#pragma once
#include "CO.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

// State and actions of the sign-in screen.
class GlobalLoginModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(CO* co READ co WRITE setCo NOTIFY coChanged)
    Q_PROPERTY(QString login READ login WRITE setLogin NOTIFY loginChanged)
    Q_PROPERTY(QString password READ password WRITE setPassword NOTIFY passwordChanged)
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged)
    Q_PROPERTY(bool isError READ isError NOTIFY isErrorChanged)
    // The agreement notice as styled text, its two phrases linked to the site's pages.
    Q_PROPERTY(QString notice READ notice CONSTANT)
    // The same notice for assistive technology, which cannot follow links inside a text: the
    // plain words, and each link as {text, url}.
    Q_PROPERTY(QString noticeText READ noticeText CONSTANT)
    Q_PROPERTY(QVariantList noticeLinks READ noticeLinks CONSTANT)
  public:
    explicit GlobalLoginModel(QObject* parent = nullptr);

    CO* co() const { return m_co; }
    void setCo(CO* co);
    QString login() const { return m_login; }
    void setLogin(const QString& text);
    QString password() const { return m_password; }
    void setPassword(const QString& text);
    bool loading() const { return m_loading; }
    bool isError() const { return m_isError; }
    QString notice() const;
    QString noticeText() const;
    QVariantList noticeLinks() const;

    // Sends the fields as they are. Ignored while an attempt is in flight.
    Q_INVOKABLE void signIn();
    QCoro::Task<void> signInTask();
    // Opens a link of the notice in the system browser.
    Q_INVOKABLE void openLink(const QString& link);

  signals:
    void coChanged();
    void loginChanged();
    void passwordChanged();
    void loadingChanged();
    void isErrorChanged();

  private:
    void setFlags(bool loading, bool isError);

    QPointer<CO> m_co;
    QString m_login;
    QString m_password;
    bool m_loading = false;
    bool m_isError = false;
};
