#include "LessonReminder.h"

#include "DesktopNotifications.h"

LessonReminder::LessonReminder(QObject* parent)
    : QObject(parent), m_notifications(new DesktopNotifications(this)) {
    m_timer.setInterval(checkIntervalMs);
    m_timer.setTimerType(Qt::VeryCoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &LessonReminder::check);
}

void LessonReminder::setEnabled(bool on) {
    if (on == m_enabled)
        return;
    m_enabled = on;
    // Nothing runs while reminders are off.
    if (m_enabled)
        m_timer.start();
    else
        m_timer.stop();
    emit enabledChanged();
}

void LessonReminder::setLeadMinutes(int minutes) {
    if (minutes == m_leadMinutes || minutes < 1)
        return;
    m_leadMinutes = minutes;
    emit leadMinutesChanged();
}

void LessonReminder::hold(const TodayLessons::Week& week) {
    // What was sent today stays sent: a reload hands the same lessons over again.
    m_week = week;
}

void LessonReminder::check() {
    if (!m_enabled)
        return;
    const QDateTime now = m_clock();
    if (now.date() != m_day) {
        m_day = now.date();
        m_sent.clear();
    }
    const int seconds = TodayLessons::secondsOf(now);
    for (const TodayLessons::Timed& t : TodayLessons::on(m_week, m_day)) {
        if (seconds >= t.start || seconds < t.start - m_leadMinutes * 60)
            continue;
        const Schedule& s = t.lesson;
        // One reminder per lesson: a reload that brings the same lesson back is no new lesson.
        const QString key =
            QStringLiteral("%1|%2|%3|%4").arg(s.id).arg(t.start).arg(s.subject, s.classroom);
        if (m_sent.contains(key))
            continue;
        m_sent.insert(key);
        QStringList body;
        for (const QString& part : {s.classroom, s.teacher})
            if (!part.trimmed().isEmpty())
                body.append(part.trimmed());
        m_notifications->send(
            QStringLiteral("Через %1: %2")
                .arg(TodayLessons::minutesPhrase(TodayLessons::minutesUntil(seconds, t.start)),
                     s.subject),
            body.join(QStringLiteral(" · ")));
    }
}
