#include "WeekViewModel.h"

#include "LessonReminder.h" // NowNextModel.h holds a QPointer to one
#include "NowNextModel.h"

#include <QSettings>

namespace {
const QString choiceKey = QStringLiteral("timetable/weekView");
} // namespace

void WeekViewModel::setScreen(ScheduleScreenModel* screen) {
    if (screen == m_screen)
        return;
    if (m_screen)
        disconnect(m_screen, nullptr, this, nullptr);
    m_screen = screen;
    if (m_screen) {
        connect(m_screen, &ScheduleScreenModel::weekChanged, this, &WeekViewModel::regroup);
        connect(m_screen, &ScheduleScreenModel::datesChanged, this, &WeekViewModel::tick);
    }
    if (!m_choiceRead) {
        m_choiceRead = true;
        m_weekChosen = QSettings().value(choiceKey, false).toBool();
        emit viewChanged();
    }
    emit screenChanged();
    regroup();
}

void WeekViewModel::setWide(bool wide) {
    if (wide == m_wide)
        return;
    m_wide = wide;
    emit viewChanged();
}

void WeekViewModel::setWeekChosen(bool week) {
    m_choiceRead = true;
    if (week == m_weekChosen)
        return;
    m_weekChosen = week;
    QSettings().setValue(choiceKey, week);
    emit viewChanged();
}

bool WeekViewModel::handleKey(int key) {
    if (!m_wide || (key != Qt::Key_D && key != Qt::Key_W))
        return false;
    setWeekChosen(key == Qt::Key_W);
    return true;
}

void WeekViewModel::regroup() {
    QList<QVariantList> days(WeekCalendar::dayCount);
    if (m_screen && !m_screen->isSheduleLoading())
        for (const Schedule& s : m_screen->schedule())
            if (const std::optional<int> day = WeekCalendar::dayIndex(s.day))
                days[*day].append(QVariant::fromValue(s));
    QVariantList columns;
    for (const QVariantList& day : std::as_const(days))
        columns.append(QVariant(day));
    if (columns != m_columns) {
        m_columns = columns;
        emit columnsChanged();
    }
    tick();
}

void WeekViewModel::tick() {
    int today = -1, index = -1;
    if (m_screen && m_screen->weekOffset() == 0) {
        const QDateTime now = m_screen->clock()();
        // Sunday has no column of its own.
        if (now.date().dayOfWeek() != 7)
            today = now.date().dayOfWeek() - 1;
        const int seconds = TodayLessons::secondsOf(now);
        const QVariantList lessons = today >= 0 ? m_columns.value(today).toList() : QVariantList();
        for (int i = 0; i < lessons.size() && index < 0; ++i) {
            const auto span = TodayLessons::span(lessons[i].value<Schedule>().time);
            if (span && span->first * 60 <= seconds && seconds < span->second * 60)
                index = i;
        }
    }
    if (today == m_todayColumn && index == m_runningIndex)
        return;
    m_todayColumn = today;
    m_runningIndex = index;
    emit runningChanged();
}
