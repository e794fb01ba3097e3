#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

// Measures how long the event loop goes without turning: a precise timer asks to run every few
// milliseconds, and any longer gap between two runs is time in which the window could not
// have answered a key or drawn a frame. The worst gap is kept with the step it happened in.
class StallMeter : public QObject {
  public:
    static constexpr int periodMs = 5;
    // The longest the window may go without answering. Sanitized builds run the same work
    // several times slower (mostly compiling the screens' QML), so they get a wider bound.
#ifdef ORVEL_SANITIZED
    static constexpr int boundMs = 400;
#else
    static constexpr int boundMs = 100;
#endif

    StallMeter() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(periodMs);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { turn(); });
    }
    void start(const QString& step) {
        m_step = step;
        resume();
    }
    // Time the test itself blocks the loop (taking a picture) is not the application's. The
    // step goes on: a gap after the pause still belongs to it.
    void pause() {
        m_timer.stop();
    }
    void resume() {
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    void setStep(const QString& step) {
        m_step = step;
    }

    qint64 worstMs() const {
        return m_worst;
    }
    QString worstStep() const {
        return m_worstStep;
    }

  private:
    void turn() {
        const qint64 now = m_clock.elapsed();
        const qint64 gap = now - m_last - periodMs;
        if (gap > m_worst) {
            m_worst = gap;
            m_worstStep = m_step;
        }
        m_last = now;
    }
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worst = 0;
    QString m_step;
    QString m_worstStep;
};
