#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <ctime>

// How long the event loop goes without turning (a precise timer asks to run every few ms). A
// gap is the main thread's own work or its wait for a core on a busy machine; only the first is
// the application's, so the bound applies to the thread's CPU time in the gap, and the wall gap
// is only reported.
class StallMeter : public QObject {
  public:
    static constexpr int periodMs = 5;
    // Sanitized builds run the same work (mostly compiling QML) several times slower.
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
    // Time the test itself blocks the loop (taking a picture) is not the application's.
    void pause() { m_timer.stop(); }
    void resume() {
        m_clock.start();
        m_last = 0;
        m_lastCpu = threadCpuMs();
        m_timer.start();
    }
    void setStep(const QString& step) { m_step = step; }

    // The longest stretch of the main thread's own work without a turn of the loop.
    qint64 worstMs() const { return m_worst; }
    QString worstStep() const { return m_worstStep; }
    // The longest gap by the wall clock, the machine's share included.
    qint64 worstWallMs() const { return m_worstWall; }
    QString report() const {
        return QStringLiteral("Longest event-loop stall: %1 ms of the window's own work (in "
                              "\"%2\"), %3 ms by the wall clock")
            .arg(m_worst)
            .arg(m_worstStep)
            .arg(m_worstWall);
    }

    static double threadCpuMs() {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
    }

  private:
    void turn() {
        const qint64 now = m_clock.elapsed();
        const double cpu = threadCpuMs();
        const qint64 gap = now - m_last - periodMs;
        // Never more than the gap: CPU clocks tick coarser than the wall clock.
        const qint64 own = std::min(gap, qint64(cpu - m_lastCpu));
        m_worstWall = std::max(m_worstWall, gap);
        if (own > m_worst) {
            m_worst = own;
            m_worstStep = m_step;
        }
        m_last = now;
        m_lastCpu = cpu;
    }
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    double m_lastCpu = 0;
    qint64 m_worst = 0;
    qint64 m_worstWall = 0;
    QString m_step;
    QString m_worstStep;
};
