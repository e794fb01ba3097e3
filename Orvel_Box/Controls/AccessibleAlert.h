#pragma once
#include <QObject>
#include <QPointer>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

// Tells assistive technology that `target` has just started showing a message the user must
// hear now (a failed sign-in, for example). Qt Quick sends no such event on its own when an
// alert-role item becomes visible.
class AccessibleAlert : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QQuickItem* target READ target WRITE setTarget NOTIFY targetChanged)
    Q_PROPERTY(bool active READ active WRITE setActive NOTIFY activeChanged)
    Q_PROPERTY(int announcements READ announcements NOTIFY activeChanged)
  public:
    using QObject::QObject;
    QQuickItem* target() const { return m_target; }
    void setTarget(QQuickItem* t);
    bool active() const { return m_active; }
    void setActive(bool on);
    // How often the alert has been raised (checked by tests; screen readers get the event).
    int announcements() const { return m_announcements; }

  signals:
    void targetChanged();
    void activeChanged();

  private:
    QPointer<QQuickItem> m_target;
    bool m_active = false;
    int m_announcements = 0;
};
