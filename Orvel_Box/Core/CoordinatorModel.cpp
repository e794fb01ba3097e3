#include "CoordinatorModel.h"

CoordinatorModel::CoordinatorModel(QObject* parent) : CoordinatorModel(new CO, parent) {}

CoordinatorModel::CoordinatorModel(CO* co, QObject* parent)
    : QObject(parent), m_co(co), m_preferences(new Preferences(co, this)) {
    m_co->setParent(this);
    connect(m_co, &CO::appStateChanged, this, &CoordinatorModel::onAppStateChanged);
    connect(m_preferences, &Preferences::loadingChanged, this, [this] {
        emit homeSettingsLoadingChanged();
        updateScreen();
    });
    connect(m_co, &CO::earlyChanged, this, &CoordinatorModel::onEarlyChanged);
    connect(m_preferences, &Preferences::loaded, m_co, [this](bool ok) {
        if (ok)
            m_co->settle();
    });
    if (m_co->early())
        m_preferences->showKept(m_co->keptAccount());
    m_lastScreen = screen();
    if (m_co->appState() == CO::appStates::home)
        m_preferences->load();
}

void CoordinatorModel::onEarlyChanged() {
    if (m_co->early())
        m_preferences->showKept(m_co->keptAccount());
    updateScreen();
}

QString CoordinatorModel::screen() const {
    // The kept week and colours stand in for the loading screen until the checks are done.
    if (m_co->early())
        return QStringLiteral("home");
    if (m_co->appState() == CO::appStates::home && m_preferences->loading())
        return QStringLiteral("loading");
    return m_co->stateName();
}

void CoordinatorModel::updateScreen() {
    const QString now = screen();
    if (now == m_lastScreen)
        return;
    m_lastScreen = now;
    emit screenChanged();
}

void CoordinatorModel::onAppStateChanged() {
    if (m_co->appState() == CO::appStates::home)
        m_preferences->load();
    else if (m_co->appState() == CO::appStates::login)
        // Signed out: whoever signs in next loads their own preferences.
        m_preferences->forget();
    updateScreen();
}
