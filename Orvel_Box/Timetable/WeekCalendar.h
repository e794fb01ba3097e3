#pragma once
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringView>
#include <array>
#include <functional>
#include <optional>

struct Schedule;

// The six weekdays the timetable shows (Monday 0 .. Saturday 5), and the calendar arithmetic
// behind the week header. Weeks are ISO weeks: they begin on Monday.
namespace WeekCalendar {
constexpr int dayCount = 6;
constexpr int firstOffset = -30; // weeks the timetable can go back ...
constexpr int lastOffset = 1;    // ... and ahead of the current week

// The current moment, in the time zone the dates are shown in. Tests inject a fixed one.
using Clock = std::function<QDateTime()>;
QDateTime systemNow();

// The service's day name of an index ("Понедельник" ..) and the day button label ("ПН" ..).
QString dayName(int index);
QString dayLabel(int index);
// Index of a service day name; Sunday, empty and unknown names have none.
std::optional<int> dayIndex(QStringView name);
// Lessons per weekday, in index order; lessons of other days are counted nowhere.
std::array<int, dayCount> countByDay(const QList<Schedule>& lessons);

// The weekday of `now` as an index; Sunday counts as Saturday.
int todayIndex(const QDateTime& now);

inline const QString indexError = QStringLiteral("Ошибка: некорректный индекс");
inline const QString calculationError = QStringLiteral("Ошибка расчета");

// The Monday of the week `offset` weeks from the week holding `now`.
QDate mondayOf(int offset, const QDateTime& now);

// The date of day `indexText` (decimal, may lie outside 0..6) of the week `offset` weeks from
// the week holding `now`, formatted with `format` in `locale`. The arithmetic is on calendar
// dates in `now`'s time zone, so a daylight-saving change (even one at midnight) never shifts
// the day. Returns one of the two error texts above instead of a date.
QString weekDayDate(const QString& indexText, qint64 offset, const QString& format,
                    const QDateTime& now, const QLocale& locale = QLocale());
} // namespace WeekCalendar
