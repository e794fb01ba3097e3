#pragma once
#include "OfflineRetry.h"
#include "OrvelApi.h"
#include "TokenStore.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>
#include <memory>

// The application coordinator: owns the application state and the one service client, keeps
// the stored token pair in step with the client, and decides at start-up whether the user is
// still signed in.
class CO : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Created by the root view model")
    Q_PROPERTY(appStates appState READ appState WRITE setAppState NOTIFY appStateChanged)
    Q_PROPERTY(QString stateName READ stateName NOTIFY appStateChanged)
    // Who is signed in, as the service's account record names them ("id:7", else "login:name");
    // empty until a record arrived. The timetable keeps its stored weeks under it.
    Q_PROPERTY(QString account READ account NOTIFY accountChanged)
    // Set while the home screen shows what this machine keeps for the account whose token pair
    // it holds (its stored week, its colours) and the start-up check and preference load still
    // run: nothing else is asked of the service until they succeed.
    Q_PROPERTY(bool early READ early NOTIFY earlyChanged)
    // The way out of `offline` when the service could not be reached.
    Q_PROPERTY(OfflineRetry* offlineRetry READ offlineRetry CONSTANT)
  public:
    enum class appStates { loading, login, home, offline };
    Q_ENUM(appStates)

    // Production: the service address (`serviceUrl`) and the user's token store (the keyring
    // where one answers, else the token file).
    explicit CO(QObject* parent = nullptr);
    // Tests: any service and token file.
    CO(const QString& baseUrl, std::shared_ptr<TokenStore> store, QObject* parent = nullptr);
    ~CO() override;

    appStates appState() const { return m_state; }
    void setAppState(appStates s);
    // QML selects screens by name: lower-case enumerators are not reachable from QML.
    QString stateName() const;
    OrvelApi* api() const { return m_api; }
    TokenStore& tokenStore() { return *m_store; }
    QString account() const { return m_account; }
    // Takes the account from an account record (GET "/api/users/me", or the sign-in answer's
    // "user"); a record that names nobody changes nothing.
    void noteAccount(const QJsonObject& record);
    OfflineRetry* offlineRetry() const { return m_retry; }
    bool early() const { return m_early; }
    // Whose kept week and preferences the early home screen shows.
    QString keptAccount() const { return m_keptAccount; }
    // The preferences arrived: the early home screen goes on as a normal one.
    void settle();

    // The service could not be reached on the way in (the start-up check or the preference
    // bootstrap): offline, with the start-up check retried until it gets through.
    void serviceUnreachable();

    // The build's service address unless replaced, for a whole application pointed at another
    // service (a stand-in on a free port). Read when a coordinator is made.
    static QString serviceUrl();
    static void setServiceUrl(const QString& url);

    // Signs out on the service, then shows the sign-in screen. Callers that do not wait for it
    // may drop the task: it runs to its end.
    QCoro::Task<void> logout();

  signals:
    void appStateChanged();
    void accountChanged();
    void earlyChanged();

  private:
    QCoro::Task<void> checkAuth();
    // The tokens are gone: so is everything stored for the account.
    void forgetAccount();
    // With the current week of the account's last shown timetable kept, the home screen needs
    // no answer to be drawn.
    void startEarly();
    void setEarly(bool early);
    bool m_early = false;
    QString m_keptAccount;
    std::shared_ptr<TokenStore> m_store;
    bool m_tokensLoaded = false;
    OrvelApi* m_api = nullptr;
    appStates m_state = appStates::loading;
    QString m_account;
    // Reruns the start-up check exactly as at start.
    OfflineRetry* m_retry = new OfflineRetry([this] { checkAuth(); }, this);
};
