#include "OfflineRetry.h"

#include <QNetworkInformation>
#include <algorithm>
#include <array>

namespace {
int& secondMs() {
    static int ms = 1000;
    return ms;
}
} // namespace

OfflineRetry::OfflineRetry(std::function<void()> attempt, QObject* parent)
    : QObject(parent), m_attempt(std::move(attempt)) {
    connect(&m_tick, &QTimer::timeout, this, &OfflineRetry::tick);
}

int OfflineRetry::delaySeconds(int attempt) {
    static constexpr std::array<int, 6> delays{2, 4, 8, 16, 30, 60};
    return delays[std::clamp<std::size_t>(std::size_t(qMax(attempt, 0)), 0, delays.size() - 1)];
}

void OfflineRetry::setSecondMs(int ms) {
    secondMs() = qMax(ms, 1);
}

void OfflineRetry::scheduleNext() {
    watchNetwork();
    m_active = true;
    m_checking = false;
    m_secondsLeft = delaySeconds(m_attempts++);
    m_tick.start(secondMs());
    emit changed();
}

void OfflineRetry::stop() {
    m_tick.stop();
    if (!m_active && !m_checking)
        return;
    m_active = false;
    m_checking = false;
    m_secondsLeft = 0;
    emit changed();
}

void OfflineRetry::reset() {
    m_attempts = 0;
    stop();
}

void OfflineRetry::retry() {
    if (!m_active || m_checking)
        return;
    m_tick.stop();
    m_checking = true;
    emit changed();
    m_attempt();
}

void OfflineRetry::networkReturned() {
    retry();
}

void OfflineRetry::tick() {
    if (--m_secondsLeft > 0) {
        emit changed();
        return;
    }
    retry();
}

// Loaded on the first unreachable spell only: a start with the service in reach never pays for
// the backend (a D-Bus round to the network manager).
void OfflineRetry::watchNetwork() {
    if (m_watching)
        return;
    m_watching = true;
    // Without a backend the timer alone brings the next check.
    if (!QNetworkInformation::loadDefaultBackend() || !QNetworkInformation::instance())
        return;
    connect(QNetworkInformation::instance(), &QNetworkInformation::reachabilityChanged, this,
            [this](QNetworkInformation::Reachability r) {
                if (r == QNetworkInformation::Reachability::Online ||
                    r == QNetworkInformation::Reachability::Site ||
                    r == QNetworkInformation::Reachability::Local)
                    networkReturned();
            });
}
