#include "NowNextModel.h"

#include "LessonReminder.h"
#include "ScheduleBoxModel.h"
#include "ScheduleScreenModel.h"

#include <algorithm>

namespace TodayLessons {
namespace {
constexpr int day = 24 * 60;

// "H:MM" or "HH:MM" on a 24-hour clock.
bool isClockTime(const QString& piece) {
    const QStringList parts = piece.split(u':');
    if (parts.size() != 2 || parts[0].isEmpty() || parts[0].size() > 2 || parts[1].size() != 2)
        return false;
    const auto hours = strictInteger(parts[0]);
    const auto minutes = strictInteger(parts[1]);
    return hours && minutes && parts[0].front().isDigit() && parts[1].front().isDigit() &&
           *hours < 24 && *minutes < 60;
}
} // namespace

std::optional<std::pair<int, int>> span(const QString& time) {
    const QStringList pieces = lessonTimePieces(time);
    if (pieces.size() != 2 || !isClockTime(pieces[0]) || !isClockTime(pieces[1]))
        return std::nullopt;
    const auto [start, end] = lessonSpan(time);
    if (start == end)
        return std::nullopt;
    return std::pair{int(start), int(end > start ? end : end + day)};
}

QList<Timed> on(const Week& week, QDate date) {
    QList<Timed> out;
    if (!week.monday.isValid() || date.dayOfWeek() == 7 || week.monday.daysTo(date) < 0 ||
        week.monday.daysTo(date) >= WeekCalendar::dayCount)
        return out;
    const QString name = WeekCalendar::dayName(date.dayOfWeek() - 1);
    for (const Schedule& s : week.lessons) {
        if (s.day != name)
            continue;
        if (const auto minutes = span(s.time))
            out.append({s, minutes->first * 60, minutes->second * 60});
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const Timed& a, const Timed& b) { return a.start < b.start; });
    return out;
}

int secondsOf(const QDateTime& now) {
    return now.time().msecsSinceStartOfDay() / 1000;
}

QString minutesPhrase(int n) {
    const int tens = n % 100, ones = n % 10;
    const char* word = "минут";
    if (ones == 1 && tens != 11)
        word = "минуту";
    else if (ones >= 2 && ones <= 4 && (tens < 12 || tens > 14))
        word = "минуты";
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(word));
}

int minutesUntil(int now, int start) {
    return (start - now + 59) / 60;
}

QString clock(int seconds) {
    return QTime(0, 0).addSecs(seconds % (day * 60)).toString(QStringLiteral("HH:mm"));
}
} // namespace TodayLessons

namespace {
// Titled as the lesson's card below the banner titles it.
QVariantMap line(const Schedule& lesson, const QString& when) {
    return {{QStringLiteral("subject"), lessonTitle(lesson.subject).trimmed()},
            {QStringLiteral("room"), lesson.classroom.trimmed()},
            {QStringLiteral("when"), when}};
}
} // namespace

void NowNextModel::setScreen(ScheduleScreenModel* screen) {
    if (screen == m_screen)
        return;
    if (m_screen)
        disconnect(m_screen, nullptr, this, nullptr);
    m_screen = screen;
    m_week = {};
    if (m_screen) {
        // Every week the screen shows, answered or a stored copy (offline it is all there
        // is), comes with weekChanged.
        connect(m_screen, &ScheduleScreenModel::weekChanged, this, [this] {
            if (m_screen->shownSubject())
                takeWeek();
            else
                tick();
        });
    }
    emit screenChanged();
    tick();
}

void NowNextModel::setReminder(LessonReminder* reminder) {
    if (reminder == m_reminder)
        return;
    m_reminder = reminder;
    if (m_reminder && m_week.monday.isValid())
        m_reminder->hold(m_week);
    emit reminderChanged();
}

void NowNextModel::setShowCurrent(bool on) {
    setSwitch(m_showCurrent, on);
}

void NowNextModel::setShowNext(bool on) {
    setSwitch(m_showNext, on);
}

void NowNextModel::setSwitch(bool& held, bool on) {
    if (on == held)
        return;
    held = on;
    tick();
    emit changed();
}

QDateTime NowNextModel::now() const {
    return m_screen ? m_screen->clock()() : WeekCalendar::systemNow();
}

// Only the week that was current when it loaded counts: once the next Monday comes, its
// lessons are last week's until the screen loads again.
void NowNextModel::takeWeek() {
    if (!m_screen || m_screen->weekOffset() != 0) {
        tick();
        return;
    }
    m_week = {WeekCalendar::mondayOf(0, now()), m_screen->schedule()};
    m_day = QDate();
    if (m_reminder)
        m_reminder->hold(m_week);
    tick();
}

void NowNextModel::tick() {
    const QDateTime at = now();
    if (at.date() != m_day) {
        m_day = at.date();
        m_today = TodayLessons::on(m_week, m_day);
    }
    QVariantMap current, next;
    if (m_screen && m_screen->weekOffset() == 0) {
        const int seconds = TodayLessons::secondsOf(at);
        for (const TodayLessons::Timed& t : std::as_const(m_today)) {
            if (current.isEmpty() && t.start <= seconds && seconds < t.end)
                current = line(t.lesson, QStringLiteral("до ") + TodayLessons::clock(t.end));
            if (next.isEmpty() && t.start > seconds) {
                const int minutes = TodayLessons::minutesUntil(seconds, t.start);
                next = line(t.lesson,
                            minutes < 60
                                ? QStringLiteral("через ") + TodayLessons::minutesPhrase(minutes)
                                : QStringLiteral("в ") + TodayLessons::clock(t.start));
            }
        }
    }
    if (!m_showCurrent)
        current.clear();
    if (!m_showNext)
        next.clear();
    if (current == m_current && next == m_next)
        return;
    m_current = current;
    m_next = next;
    emit changed();
}
