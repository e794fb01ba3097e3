#pragma once
#include <QCoroTask>
#include <QObject>

// Holds back what the screens would ask of the network while the window shows what this
// machine keeps for the user and the start-up check has not yet let them in. Only the check
// and the preference load go out meanwhile; everything else waits here and goes in the order
// it came once the gate opens.
class RequestGate : public QObject {
    Q_OBJECT
  public:
    static RequestGate& instance();

    bool held() const { return m_held; }
    void setHeld(bool held);
    // Resumes once the gate is open: at once when it is.
    QCoro::Task<void> passage();

  signals:
    void opened();

  private:
    bool m_held = false;
};
