#pragma once
#include <QObject>
#include <QTimer>
#include <QtQml/qqmlregistration.h>
#include <functional>

// The way out of the offline state. Once the service could not be reached, the start-up check
// runs again after 2, 4, 8, 16, 30 and 60 s, then every 60 s; at once when the user asks, and
// at once when the system reports the network back (where Qt has a reachability backend).
// Nothing goes out while it counts down.
class OfflineRetry : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Owned by the coordinator")
    // The service was unreachable: a retry is counting down or running.
    Q_PROPERTY(bool active READ active NOTIFY changed)
    // A retry's check is out; the countdown waits for its outcome.
    Q_PROPERTY(bool checking READ checking NOTIFY changed)
    Q_PROPERTY(int secondsLeft READ secondsLeft NOTIFY changed)
  public:
    // `attempt` runs the check; its outcome comes back through scheduleNext(), stop() or reset().
    explicit OfflineRetry(std::function<void()> attempt, QObject* parent = nullptr);

    bool active() const { return m_active; }
    bool checking() const { return m_checking; }
    int secondsLeft() const { return m_secondsLeft; }

    // Unreachable again: counts down the next delay.
    void scheduleNext();
    // The service answered: no retry is due. The next unreachable spell goes on from the
    // delay reached so far, since the way in is not finished yet (the preferences follow).
    void stop();
    // Fully in: the next unreachable spell starts again from the first delay.
    void reset();
    // Runs the check now, unless none is due or one is already out.
    Q_INVOKABLE void retry();
    // The system reports a usable network again.
    void networkReturned();

    // Seconds to wait before retry number `attempt` (from 0).
    static int delaySeconds(int attempt);
    // How long a second of the countdown lasts: tests make it short.
    static void setSecondMs(int ms);

  signals:
    void changed();

  private:
    void tick();
    void watchNetwork();

    std::function<void()> m_attempt;
    QTimer m_tick;
    int m_attempts = 0;
    int m_secondsLeft = 0;
    bool m_active = false;
    bool m_checking = false;
    bool m_watching = false;
};
