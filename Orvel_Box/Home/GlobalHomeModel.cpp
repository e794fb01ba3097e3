#include "GlobalHomeModel.h"

#include "Accent.h"
#include "Log.h"

GlobalHomeModel::GlobalHomeModel(QObject* parent) : ScreenModel(parent) {
    m_ticker.setInterval(1000);
    // The clock only matters to the minute (dates change at midnight): a coarse timer lets
    // the system bundle the wake-up with others.
    m_ticker.setTimerType(Qt::CoarseTimer);
    connect(&m_ticker, &QTimer::timeout, this, &GlobalHomeModel::ticked);
    connect(this, &ScreenModel::activeChanged, this, [this] {
        if (!active())
            m_ticker.stop();
    });
}

QString GlobalHomeModel::schemeOf(const QVariantMap& settings) {
    const QVariant theme = settings.value(QStringLiteral("settings__theme"));
    if (theme.typeId() != QMetaType::QString)
        return {};
    const QString text = theme.toString();
    return text == u"dark" || text == u"light" ? text : QString();
}

QColor GlobalHomeModel::accentColor() const {
    return Accent::from(m_settings, m_fallbackAccent);
}

void GlobalHomeModel::setSettings(const QVariantMap& settings) {
    if (settings == m_settings)
        return;
    const QColor accent = accentColor();
    m_settings = settings;
    emit settingsChanged();
    if (accentColor() != accent)
        emit accentColorChanged();
}

void GlobalHomeModel::setFallbackAccent(const QColor& colour) {
    if (colour == m_fallbackAccent)
        return;
    const QColor accent = accentColor();
    m_fallbackAccent = colour;
    if (accentColor() != accent)
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
    fetchAccount();
}

QCoro::Task<void> GlobalHomeModel::fetchAccount() {
    const QPointer<OrvelApi> client = api();
    if (!client)
        co_return;
    const LoadTicket ticket = m_accountLoads.start(this);
    const ApiResult answer = co_await client->getMe();
    if (!ticket.alive())
        co_return;
    if (!answer.ok()) {
        Log::line(answer.error().description());
        emit accountFinished(false);
        co_return;
    }
    // An older answer (the home screen was shown again meanwhile) may be an earlier account's.
    if (!ticket.current()) {
        emit accountFinished(false);
        co_return;
    }
    m_meInformation = answer.value().toVariantMap();
    m_meInformationLoading = false;
    emit meInformationChanged();
    emit accountFinished(true);
}
