#pragma once
#include "CO.h"

#include <QObject>
#include <QPointer>
#include <QQmlParserStatus>
#include <QtQml/qqmlregistration.h>

// Base of the models whose view loads when it is shown. The view binds `active` to its own
// visibility; every change from hidden to shown calls appeared() on the next turn of the event
// loop (once the view is complete, so all of its properties are set by then). A view shown
// while the window starts early waits for the start-up check: appearedEarly() at once,
// appeared() once the check let the user in.
class ScreenModel : public QObject, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    QML_ANONYMOUS
    Q_PROPERTY(CO* co READ co WRITE setCo NOTIFY coChanged)
    Q_PROPERTY(bool active READ active WRITE setActive NOTIFY activeChanged)
  public:
    using QObject::QObject;

    CO* co() const { return m_co; }
    void setCo(CO* co);
    bool active() const { return m_active; }
    void setActive(bool active);

    void classBegin() override { m_building = true; }
    void componentComplete() override;

  signals:
    void coChanged();
    void activeChanged();

  protected:
    virtual void appeared() = 0;
    // Shown before anything may be asked of the service: only what this machine keeps.
    virtual void appearedEarly() {}
    // The service client, or null once the coordinator is gone.
    OrvelApi* api() const { return m_co ? m_co->api() : nullptr; }

  private:
    void appearSoon();
    void appearWhenLetIn();

    QPointer<CO> m_co;
    bool m_active = false;
    bool m_building = false;
    bool m_appearing = false;
    bool m_waitingForGate = false;
};
