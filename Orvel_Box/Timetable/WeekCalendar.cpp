#include "WeekCalendar.h"

#include "Schedule.h"

namespace WeekCalendar {
namespace {
struct Day {
    const char16_t* name;
    const char16_t* label;
};
constexpr std::array<Day, dayCount> days{{
    {u"Понедельник", u"ПН"},
    {u"Вторник", u"ВТ"},
    {u"Среда", u"СР"},
    {u"Четверг", u"ЧТ"},
    {u"Пятница", u"ПТ"},
    {u"Суббота", u"СБ"},
}};
} // namespace

QDateTime systemNow() {
    return QDateTime::currentDateTime();
}

QString dayName(int index) {
    return index >= 0 && index < dayCount ? QString::fromUtf16(days[index].name) : QString();
}

QString dayLabel(int index) {
    return index >= 0 && index < dayCount ? QString::fromUtf16(days[index].label) : QString();
}

std::optional<int> dayIndex(QStringView name) {
    for (int i = 0; i < dayCount; ++i)
        if (name == QStringView(days[i].name))
            return i;
    return std::nullopt;
}

std::array<int, dayCount> countByDay(const QList<Schedule>& lessons) {
    std::array<int, dayCount> counts{};
    for (const Schedule& s : lessons)
        if (const auto i = dayIndex(s.day))
            ++counts[*i];
    return counts;
}

int todayIndex(const QDateTime& now) {
    return std::min(now.date().dayOfWeek() - 1, dayCount - 1);
}

QDate mondayOf(int offset, const QDateTime& now) {
    const QDate today = now.date();
    return today.addDays(1 - today.dayOfWeek() + 7 * qint64(offset));
}

QString weekDayDate(const QString& indexText, qint64 offset, const QString& format,
                    const QDateTime& now, const QLocale& locale) {
    const std::optional<qint64> index = strictInteger(indexText);
    if (!index)
        return indexError;
    const QDate today = now.date();
    if (!today.isValid())
        return calculationError;
    const QDate monday = today.addDays(1 - today.dayOfWeek());
    qint64 weekDays = 0, days = 0;
    if (__builtin_mul_overflow(offset, qint64(7), &weekDays) ||
        __builtin_add_overflow(weekDays, *index, &days))
        return calculationError;
    const QDate date = monday.addDays(days);
    if (!date.isValid())
        return calculationError;
    return locale.toString(date, format);
}
} // namespace WeekCalendar
