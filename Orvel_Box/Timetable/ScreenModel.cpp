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
        appeared();
}

void ScreenModel::componentComplete() {
    m_building = false;
    if (m_active)
        appeared();
}
