#pragma once
#include "Schedule.h"
#include "ScheduleScreenModel.h"
#include "WeekCalendar.h"

#include <QDate>
#include <QObject>
#include <QPointer>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

class LessonReminder;
Q_MOC_INCLUDE("LessonReminder.h")

// Today's lessons out of a loaded week, with their times in seconds after midnight.
namespace TodayLessons {
// The current week as it was loaded: its Monday and its lessons.
struct Week {
    QDate monday;
    QList<Schedule> lessons;
};
struct Timed {
    Schedule lesson;
    int start = 0; // seconds after today's midnight
    int end = 0;   // past 24 h for a lesson that ends after midnight
};
// Start and end minutes of a strict "H:MM-H:MM" time; nothing for any other text or a lesson
// of no length. An end before the start means the next day.
std::optional<std::pair<int, int>> span(const QString& time);
// The lessons of `day` in `week`, by start time; none when `day` lies outside the week or is a
// Sunday. Lessons whose time does not parse are left out.
QList<Timed> on(const Week& week, QDate day);
// Seconds of `now` after its midnight.
int secondsOf(const QDateTime& now);
// "1 минуту", "3 минуты", "11 минут", "21 минуту" …
QString minutesPhrase(int minutes);
// "HH:mm" of seconds after midnight (of the next day past 24 h).
QString clock(int seconds);
// Whole minutes from `now` (seconds after midnight) to `start`, rounded up.
int minutesUntil(int now, int start);
} // namespace TodayLessons

// The banner above the timetable's day list: the lesson running now and the next one today,
// in the current week only. It reads the screen's lessons and clock and changes on the
// screen's tick; it never asks the service and never touches the day's list.
class NowNextModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(ScheduleScreenModel* screen READ screen WRITE setScreen NOTIFY screenChanged)
    // Handed every current week that loads, so reminders outlive the screen.
    Q_PROPERTY(LessonReminder* reminder READ reminder WRITE setReminder NOTIFY reminderChanged)
    Q_PROPERTY(bool showCurrent READ showCurrent WRITE setShowCurrent NOTIFY changed)
    Q_PROPERTY(bool showNext READ showNext WRITE setShowNext NOTIFY changed)
    // {subject, room, when} of the running and of the next lesson; empty when there is none
    // (or it is switched off).
    Q_PROPERTY(QVariantMap current READ current NOTIFY changed)
    Q_PROPERTY(QVariantMap next READ next NOTIFY changed)
  public:
    using QObject::QObject;

    ScheduleScreenModel* screen() const { return m_screen; }
    void setScreen(ScheduleScreenModel* screen);
    LessonReminder* reminder() const { return m_reminder; }
    void setReminder(LessonReminder* reminder);
    bool showCurrent() const { return m_showCurrent; }
    void setShowCurrent(bool on);
    bool showNext() const { return m_showNext; }
    void setShowNext(bool on);
    QVariantMap current() const { return m_current; }
    QVariantMap next() const { return m_next; }

    // Re-reads the clock.
    Q_INVOKABLE void tick();

  signals:
    void screenChanged();
    void reminderChanged();
    void changed();

  private:
    void setSwitch(bool& held, bool on);
    void takeWeek();
    QDateTime now() const;

    QPointer<ScheduleScreenModel> m_screen;
    QPointer<LessonReminder> m_reminder;
    bool m_showCurrent = true;
    bool m_showNext = true;
    TodayLessons::Week m_week;
    QDate m_day; // the day m_today holds
    QList<TodayLessons::Timed> m_today;
    QVariantMap m_current;
    QVariantMap m_next;
};
