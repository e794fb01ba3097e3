#include "GlobalHomeModel.h"

#include "Log.h"

GlobalHomeModel::GlobalHomeModel(QObject* parent) : ScreenModel(parent) {
    m_ticker.setInterval(1000);
    // The clock only matters to the minute (dates change at midnight): a coarse timer lets
    // the system bundle the wake-up with others.
    m_ticker.setTimerType(Qt::CoarseTimer);
    connect(&m_ticker, &QTimer::timeout, this, &GlobalHomeModel::ticked);
    connect(this, &GlobalHomeModel::preferencesChanged, this, &GlobalHomeModel::announceAccent);
    connect(this, &ScreenModel::activeChanged, this, [this] {
        if (!active())
            m_ticker.stop();
    });
}

// Only a theme the picker offers changes the scheme; anything else follows the system.
QString GlobalHomeModel::preferredScheme() const {
    return m_preferences ? m_preferences->scheme() : QString();
}

QColor GlobalHomeModel::accentColor() const {
    return m_preferences ? m_preferences->accentColorOr(m_fallbackAccent) : m_fallbackAccent;
}

void GlobalHomeModel::setPreferences(Preferences* preferences) {
    if (preferences == m_preferences)
        return;
    if (m_preferences)
        disconnect(m_preferences, nullptr, this, nullptr);
    m_preferences = preferences;
    if (m_preferences)
        connect(m_preferences, &Preferences::changed, this, &GlobalHomeModel::preferencesChanged);
    emit preferencesChanged();
}

void GlobalHomeModel::setFallbackAccent(const QColor& colour) {
    if (colour == m_fallbackAccent)
        return;
    m_fallbackAccent = colour;
    announceAccent();
}

void GlobalHomeModel::announceAccent() {
    const QColor accent = accentColor();
    if (accent == m_shownAccent)
        return;
    m_shownAccent = accent;
    emit accentColorChanged();
}

void GlobalHomeModel::setSelectedUI(int section) {
    if (section < 0 || section >= sectionCount || section == m_selectedUI)
        return;
    m_selectedUI = section;
    emit selectedUIChanged();
}

void GlobalHomeModel::setTickInterval(int ms) {
    if (ms <= 0 || ms == m_ticker.interval())
        return;
    m_ticker.setInterval(ms);
    emit tickIntervalChanged();
}

void GlobalHomeModel::appeared() {
    m_ticker.start();
    fetchAccountTask();
}

QCoro::Task<void> GlobalHomeModel::fetchAccountTask() {
    const QPointer<OrvelApi> client = api();
    if (!client)
        co_return;
    const LoadTicket ticket = m_accountLoads.start(this);
    const ApiResult answer = co_await client->getMe();
    if (!ticket.alive())
        co_return;
    if (!answer.ok()) {
        Log::line(Log::home(), answer.error().description());
        emit accountFinished(false);
        co_return;
    }
    // An older answer (the home screen was shown again meanwhile) may be an earlier account's.
    if (!ticket.current()) {
        emit accountFinished(false);
        co_return;
    }
    if (co())
        co()->noteAccount(answer.value());
    m_meInformation = answer.value().toVariantMap();
    m_meInformationLoading = false;
    emit meInformationChanged();
    emit accountFinished(true);
}
