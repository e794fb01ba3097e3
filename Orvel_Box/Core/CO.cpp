#include "CO.h"

#include "BuildConfig.h"
#include "JsonRead.h"
#include "Log.h"
#include "RequestGate.h"
#include "WeekStore.h"

namespace {
QString& serviceUrlSetting() {
    static QString url = QString::fromUtf8(BuildConfig::apiBaseUrl);
    return url;
}
} // namespace

QString CO::serviceUrl() {
    return serviceUrlSetting();
}
void CO::setServiceUrl(const QString& url) {
    serviceUrlSetting() = url;
}

CO::CO(QObject* parent) : CO(serviceUrl(), std::make_shared<TokenStore>(), parent) {}

CO::CO(const QString& baseUrl, std::shared_ptr<TokenStore> store, QObject* parent)
    : QObject(parent), m_store(std::move(store)) {
    // The callbacks hand the pair over at once: the file is written before they return, and
    // the keyring store makes an exit wait for it.
    std::weak_ptr<TokenStore> weakStore = m_store;
    auto onTokenUpdate = [weakStore](const QString& a, const std::optional<QString>& r) {
        if (auto s = weakStore.lock())
            s->save(a, r);
    };
    auto onLogout = [weakStore, self = QPointer<CO>(this)] {
        if (auto s = weakStore.lock())
            s->erase();
        if (self)
            self->forgetAccount();
    };
    // The tokens arrive with the start-up check, which loads them before its first request.
    m_api = new OrvelApi(baseUrl, std::nullopt, std::nullopt, onTokenUpdate, onLogout, this);
    checkAuth();
}

CO::~CO() {
    setEarly(false);
}

void CO::setAppState(appStates s) {
    if (m_state == s)
        return;
    m_state = s;
    emit appStateChanged();
    // Signed out or offline: the screen that follows is not the early one.
    if (s == appStates::login || s == appStates::offline)
        setEarly(false);
}

void CO::setEarly(bool early) {
    if (early == m_early)
        return;
    m_early = early;
    emit earlyChanged();
    RequestGate::instance().setHeld(early);
}

void CO::settle() {
    setEarly(false);
}

void CO::startEarly() {
    WeekStore& store = WeekStore::shared();
    const QString account = store.lastAccount();
    if (account.isEmpty())
        return;
    const std::optional<WeekStore::Subject> subject = store.lastShown(account);
    const QDate today = QDate::currentDate();
    if (!subject || !store.week(account, *subject, today.addDays(1 - today.dayOfWeek())))
        return;
    m_keptAccount = account;
    setEarly(true);
}

QString CO::stateName() const {
    switch (m_state) {
    case appStates::loading:
        return QStringLiteral("loading");
    case appStates::login:
        return QStringLiteral("login");
    case appStates::home:
        return QStringLiteral("home");
    case appStates::offline:
        return QStringLiteral("offline");
    }
    return {};
}

QCoro::Task<void> CO::checkAuth() {
    QPointer<CO> self(this);
    // Once per coordinator: a later check goes on with the tokens the client holds by then. A
    // file store answers at once, so the tokens are in place before the constructor returns;
    // a keyring may take up to its bound.
    if (!m_tokensLoaded) {
        const std::shared_ptr<TokenStore> store = m_store;
        const TokenPair tokens = co_await store->load();
        if (!self)
            co_return;
        m_tokensLoaded = true;
        m_api->setAccessToken(tokens.access);
        m_api->setRefreshToken(tokens.refresh);
        if (tokens.access && !tokens.access->isEmpty())
            startEarly();
    }
    const ApiResult r = co_await m_api->getMe();
    if (!self)
        co_return;
    if (r.ok()) {
        noteAccount(r.value());
        m_retry->stop();
        setAppState(appStates::home);
        co_return;
    }
    Log::line(Log::session(),
              QStringLiteral("Ошибка при проверке авторизации: %1;").arg(r.error().description()));
    // Without an answer nothing says the session is over: the tokens stay, and so does the
    // user, until the service is back. Any answer at all decides as it always has.
    if (r.error().isUnreachable())
        co_return serviceUnreachable();
    m_retry->reset();
    // The kept week was shown to someone the service no longer lets in: it goes, as it does
    // when a refresh is refused.
    if (m_early)
        forgetAccount();
    setAppState(appStates::login);
}

void CO::serviceUnreachable() {
    setAppState(appStates::offline);
    m_retry->scheduleNext();
}

QCoro::Task<void> CO::logout() {
    QPointer<CO> self(this);
    // Asked for on the early screen: it goes once the start-up check let the user in, and not
    // at all when the check sent them to the sign-in form.
    if (RequestGate::instance().held()) {
        co_await RequestGate::instance().passage();
        if (!self || m_state == appStates::login)
            co_return;
    }
    const quint64 generation = m_api->signInGeneration();
    // The client's logout swallows every failure, so there is nothing to log here.
    co_await m_api->logout();
    // Someone signed in while the request was out (after signing out again): they stay.
    if (!self || m_api->signInGeneration() != generation)
        co_return;
    setAppState(appStates::login);
}

void CO::noteAccount(const QJsonObject& record) {
    const QJsonObject user =
        record.value(u"user").isObject() ? record.value(u"user").toObject() : record;
    QString account;
    if (const std::optional<qint64> id = Json::integer(user.value(u"id")))
        account = QStringLiteral("id:%1").arg(*id);
    else if (const std::optional<QString> login = Json::text(user.value(u"username")))
        account = QStringLiteral("login:") + *login;
    if (account.isEmpty() || account == m_account)
        return;
    m_account = account;
    emit accountChanged();
}

void CO::forgetAccount() {
    // Without an account record yet (signed out while offline), the account whose weeks the
    // store holds is the one whose tokens these were.
    const QString account = m_account.isEmpty() ? WeekStore::shared().lastAccount() : m_account;
    if (!account.isEmpty())
        WeekStore::shared().eraseAccount(account);
    if (m_account.isEmpty())
        return;
    m_account.clear();
    emit accountChanged();
}
