#pragma once
#include "NowNextModel.h"

#include <QObject>
#include <QSet>
#include <QTimer>
#include <QtQml/qqmlregistration.h>

class DesktopNotifications;

// A desktop notification shortly before each of today's lessons of the current week, while the
// application runs. It keeps the last current week it was handed, so paging the timetable to
// another week, or leaving the timetable, changes nothing; a new week needs a new load.
class LessonReminder : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool enabled READ enabled WRITE setEnabled NOTIFY enabledChanged)
    Q_PROPERTY(int leadMinutes READ leadMinutes WRITE setLeadMinutes NOTIFY leadMinutesChanged)
  public:
    // How often the clock is looked at: a reminder comes at most this late.
    static constexpr int checkIntervalMs = 5000;

    explicit LessonReminder(QObject* parent = nullptr);

    bool enabled() const { return m_enabled; }
    void setEnabled(bool on);
    int leadMinutes() const { return m_leadMinutes; }
    void setLeadMinutes(int minutes);
    void setClock(WeekCalendar::Clock clock) { m_clock = std::move(clock); }

    void hold(const TodayLessons::Week& week);
    // Notifies every lesson of today that starts within the lead time and was not notified.
    Q_INVOKABLE void check();

  signals:
    void enabledChanged();
    void leadMinutesChanged();

  private:
    WeekCalendar::Clock m_clock = WeekCalendar::systemNow;
    TodayLessons::Week m_week;
    QDate m_day; // the day m_sent is about
    QSet<QString> m_sent;
    bool m_enabled = false;
    int m_leadMinutes = 10;
    QTimer m_timer;
    DesktopNotifications* m_notifications;
};
