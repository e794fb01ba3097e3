#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <ctime>

// Measures how long the event loop goes without turning: a precise timer asks to run every few
// milliseconds, and any longer gap between two runs is time in which the window could not
// have answered a key or drawn a frame. The worst gap is kept with the step it happened in.
//
// A gap has two causes that wall time cannot tell apart: the main thread busy with our own
// work, and the main thread waiting for a core while the machine runs something else (another
// build, another test). Only the first is the application's. So each gap is also charged with
// the CPU time the main thread itself used during it: work that blocks the loop for 150 ms
// still costs about 150 ms of the thread's own time on a busy machine, while a thread that was
// simply not scheduled costs almost none. The bound applies to the charged time; the wall
// gap is still reported, so a slow run is visible without failing it.
class StallMeter : public QObject {
  public:
    static constexpr int periodMs = 5;
    // The longest the window may work without answering. Sanitized builds run the same work
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
        m_lastCpu = threadCpuMs();
        m_timer.start();
    }
    void setStep(const QString& step) {
        m_step = step;
    }

    // The longest stretch of the main thread's own work without a turn of the loop.
    qint64 worstMs() const {
        return m_worst;
    }
    QString worstStep() const {
        return m_worstStep;
    }
    // The longest wall-clock gap, the machine's share included.
    qint64 worstWallMs() const {
        return m_worstWall;
    }

    QString report() const {
        return QStringLiteral(
                   "Longest event-loop stall: %1 ms of the window's own work (in \"%2\"), "
                   "%3 ms by the wall clock")
            .arg(m_worst)
            .arg(m_worstStep)
            .arg(m_worstWall);
    }

    // The main thread's CPU time: the meter only ever runs on it.
    static double threadCpuMs() {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
    }

    // What a gap of `wallMs` costs the application, given the thread's own CPU time in it.
    // Never more than the gap itself: CPU clocks tick coarser than the wall clock.
    static qint64 charged(qint64 wallMs, double cpuMs) {
        return std::min(wallMs, qint64(cpuMs));
    }

  private:
    void turn() {
        const qint64 now = m_clock.elapsed();
        const double cpu = threadCpuMs();
        const qint64 gap = now - m_last - periodMs;
        const qint64 own = charged(gap, cpu - m_lastCpu);
        if (gap > m_worstWall)
            m_worstWall = gap;
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
