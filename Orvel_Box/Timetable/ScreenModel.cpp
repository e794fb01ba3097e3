#include "ScreenModel.h"

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
            if (m_active)
                appeared();
        },
        Qt::QueuedConnection);
}
