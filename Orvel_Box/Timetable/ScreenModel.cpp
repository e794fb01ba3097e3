#include "ScreenModel.h"

#include "RequestGate.h"

void ScreenModel::setCo(CO* co) {
    if (co == m_co)
        return;
    m_co = co;
    emit coChanged();
}

void ScreenModel::setActive(bool active) {
    if (active == m_active)
        return;
    m_active = active;
    emit activeChanged();
    if (m_active && !m_building)
        appearSoon();
}

void ScreenModel::componentComplete() {
    m_building = false;
    if (m_active)
        appearSoon();
}

// A view is often visible for a moment while it is being built and placed (an item made
// inline is visible until its parent hides it), so only a view still shown once control
// returns to the event loop counts as having appeared.
void ScreenModel::appearSoon() {
    if (m_appearing)
        return;
    m_appearing = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_appearing = false;
            if (!m_active)
                return;
            if (!RequestGate::instance().held())
                return appeared();
            appearedEarly();
            appearWhenLetIn();
        },
        Qt::QueuedConnection);
}

void ScreenModel::appearWhenLetIn() {
    if (m_waitingForGate)
        return;
    m_waitingForGate = true;
    connect(
        &RequestGate::instance(), &RequestGate::opened, this,
        [this] {
            m_waitingForGate = false;
            // Sent to the sign-in form or offline instead: this screen is on its way out.
            if (m_active && m_co && m_co->appState() == CO::appStates::home)
                appeared();
        },
        Qt::SingleShotConnection);
}
