#include "RequestGate.h"

#include <QCoroSignal>

RequestGate& RequestGate::instance() {
    static RequestGate gate;
    return gate;
}

void RequestGate::setHeld(bool held) {
    if (held == m_held)
        return;
    m_held = held;
    if (!held)
        emit opened();
}

QCoro::Task<void> RequestGate::passage() {
    while (m_held)
        co_await qCoro(this, &RequestGate::opened);
}
