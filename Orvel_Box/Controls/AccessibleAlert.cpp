#include "AccessibleAlert.h"

#include <QAccessible>

void AccessibleAlert::setTarget(QQuickItem* t) {
    if (t == m_target)
        return;
    m_target = t;
    emit targetChanged();
}

void AccessibleAlert::setActive(bool on) {
    if (on == m_active)
        return;
    m_active = on;
    if (on && m_target) {
        ++m_announcements;
        if (QAccessible::isActive()) {
            QAccessibleEvent event(m_target.data(), QAccessible::Alert);
            QAccessible::updateAccessibility(&event);
        }
    }
    emit activeChanged();
}
