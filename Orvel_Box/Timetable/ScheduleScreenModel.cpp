#include "ScheduleScreenModel.h"

#include "JsonRead.h"
#include "Log.h"
#include "WorkModeStore.h"

namespace {
// The text stored under `key`; a value that is not text reads as "".
QCoro::Task<Result<QString>> readStoredValue(QPointer<OrvelApi> client, WorkModeStore::Key key) {
    if (!client)
        co_return ApiError::clientGone();
    const Result<std::optional<QString>> stored = co_await WorkModeStore::read(client, key);
    if (!stored.ok())
        co_return stored.error();
    co_return stored.value().value_or(QString());
}
} // namespace

ScheduleScreenModel::ScheduleScreenModel(QObject* parent)
    : ScreenModel(parent), m_dayLessons(new RecordListModel<Schedule>(this)) {
    m_screenState = screenState();
    tick();
}

QString ScheduleScreenModel::screenState() const {
    if (m_modeRequired)
        return QStringLiteral("modeRequired");
    if (m_loading)
        return QStringLiteral("loading");
    return m_inDay[m_selectedDay] == 0 ? QStringLiteral("rest") : QStringLiteral("lessons");
}

QVariantList ScheduleScreenModel::inDay() const {
    QVariantList out;
    for (int n : m_inDay)
        out.append(n);
    return out;
}

QStringList ScheduleScreenModel::dayLabels() const {
    QStringList out;
    for (int i = 0; i < WeekCalendar::dayCount; ++i)
        out.append(WeekCalendar::dayLabel(i));
    return out;
}

void ScheduleScreenModel::setClock(WeekCalendar::Clock clock) {
    m_clock = std::move(clock);
    tick();
}

QString ScheduleScreenModel::weekDayDate(const QString& indexText, const QString& format) const {
    return WeekCalendar::weekDayDate(indexText, m_weekOffset, format, m_clock());
}

void ScheduleScreenModel::tick() {
    const QDateTime now = m_clock();
    QStringList dates;
    for (int i = 0; i < WeekCalendar::dayCount; ++i)
        dates.append(WeekCalendar::weekDayDate(QString::number(i), m_weekOffset,
                                               QStringLiteral("dd.MM"), now));
    const QString last = WeekCalendar::weekDayDate(QStringLiteral("6"), m_weekOffset,
                                                   QStringLiteral("dd.MM.yy"), now);
    const int today = WeekCalendar::todayIndex(now);
    if (dates == m_dayDates && last == m_weekLast && today == m_today)
        return;
    m_dayDates = dates;
    m_weekFirst = dates.first();
    m_weekLast = last;
    m_today = today;
    emit datesChanged();
}

void ScheduleScreenModel::setSelectedDay(int day) {
    if (day < 0 || day >= WeekCalendar::dayCount || day == m_selectedDay)
        return;
    m_selectedDay = day;
    emit selectedDayChanged();
    refreshLessons();
}

void ScheduleScreenModel::setWeekState(bool loading, bool modeRequired) {
    if (loading == m_loading && modeRequired == m_modeRequired)
        return;
    m_loading = loading;
    m_modeRequired = modeRequired;
    emit weekChanged();
    refreshState();
}

void ScheduleScreenModel::refreshLessons() {
    QList<Schedule> lessons;
    const QString name = WeekCalendar::dayName(m_selectedDay);
    for (const Schedule& s : std::as_const(m_schedule))
        if (s.day == name)
            lessons.append(s);
    m_dayLessons->setItems(std::move(lessons));
    refreshState();
}

void ScheduleScreenModel::refreshState() {
    const QString state = screenState();
    if (state == m_screenState)
        return;
    m_screenState = state;
    emit screenStateChanged();
}

void ScheduleScreenModel::reloadWeek() {
    tick();
    setWeekState(true, m_modeRequired);
    setSelectedDay(m_weekOffset == 0 ? WeekCalendar::todayIndex(m_clock()) : 0);
    loadTimetable(m_loads.start(this), m_weekOffset);
}

bool ScheduleScreenModel::page(int offset) {
    if (m_loading || offset < WeekCalendar::firstOffset || offset > WeekCalendar::lastOffset)
        return false;
    m_weekOffset = offset;
    emit weekChanged();
    reloadWeek();
    return true;
}

bool ScheduleScreenModel::handleKey(int key) {
    switch (key) {
    case Qt::Key_Left:
        previousWeek();
        return true;
    case Qt::Key_Right:
        nextWeek();
        return true;
    case Qt::Key_Home:
        currentWeek();
        return true;
    default:
        break;
    }
    if (key >= Qt::Key_1 && key < Qt::Key_1 + WeekCalendar::dayCount && !m_modeRequired) {
        setSelectedDay(key - Qt::Key_1);
        return true;
    }
    return false;
}

void ScheduleScreenModel::setFixedTeacher(const QString& name) {
    if (name == m_fixedTeacher)
        return;
    m_fixedTeacher = name;
    emit weekChanged();
}

void ScheduleScreenModel::showWeek(Week week) {
    m_schedule = std::move(week.lessons);
    m_mode = week.mode;
    m_subject = week.subject;
    const QDate today = m_clock().date();
    m_shownMonday = today.addDays(1 - today.dayOfWeek() + 7 * qint64(m_weekOffset));
    m_inDay = WeekCalendar::countByDay(m_schedule);
    m_loading = false;
    emit weekChanged();
    refreshLessons();
}

QCoro::Task<void> ScheduleScreenModel::loadTimetable(LoadTicket ticket, int offset) {
    const bool shown = co_await fetchAndShow(ticket, offset);
    if (ticket.alive())
        emit loadFinished(shown);
}

QCoro::Task<bool> ScheduleScreenModel::fetchAndShow(LoadTicket ticket, int offset) {
    // A load that a newer one has overtaken writes nothing.
    const QPointer<OrvelApi> client = api();
    if (!client)
        co_return false;

    // A fixed teacher's week reads nothing from the user's store.
    Result<std::optional<QString>> workMode = std::optional<QString>(QStringLiteral("teacher"));
    if (m_fixedTeacher.isEmpty())
        workMode = co_await storedWorkMode(client);
    if (!ticket.alive()) // the screen is gone, and with it whoever would care
        co_return false;
    if (!workMode.ok()) {
        Log::line(Log::timetable(), workMode.error().description());
        co_return false;
    }
    if (!ticket.current())
        co_return false;
    if (!workMode.value()) {
        setWeekState(true, true);
        co_return false;
    }
    setWeekState(true, false);

    Result<Week> week = co_await fetchWeek(client, *workMode.value(), offset, m_fixedTeacher);
    if (!ticket.alive())
        co_return false;
    if (!week.ok()) {
        Log::line(Log::timetable(), week.error().description());
        co_return false;
    }
    if (!ticket.current())
        co_return false;
    showWeek(std::move(week.value()));
    co_return true;
}

QCoro::Task<Result<std::optional<QString>>>
ScheduleScreenModel::storedWorkMode(QPointer<OrvelApi> client) {
    const Result<bool> stored = co_await WorkModeStore::modeStored(client);
    if (!stored.ok())
        co_return stored.error();
    if (!stored.value())
        co_return std::optional<QString>();
    const Result<QString> mode = co_await readStoredValue(client, WorkModeStore::Key::mode);
    if (!mode.ok())
        co_return mode.error();
    co_return std::optional<QString>(mode.value());
}

QCoro::Task<Result<ScheduleScreenModel::Week>>
ScheduleScreenModel::fetchWeek(QPointer<OrvelApi> client, QString workMode, int offset,
                               QString fixedTeacher) {
    ApiResult answer = ApiError();
    Week week;
    if (workMode == QLatin1String("student")) {
        const Result<QString> faculty =
            co_await readStoredValue(client, WorkModeStore::Key::faculty);
        if (!faculty.ok())
            co_return faculty.error();
        const Result<QString> group = co_await readStoredValue(client, WorkModeStore::Key::group);
        if (!group.ok())
            co_return group.error();
        if (!client)
            co_return ApiError::clientGone();
        answer = co_await client->getWeekSchedule(faculty.value(), group.value(), offset);
        week.mode = QStringLiteral("student");
        week.subject = group.value();
    } else {
        Result<QString> teacher = fixedTeacher;
        if (fixedTeacher.isEmpty())
            teacher = co_await readStoredValue(client, WorkModeStore::Key::teacher);
        if (!teacher.ok())
            co_return teacher.error();
        if (!client)
            co_return ApiError::clientGone();
        answer = co_await client->getTeacherSchedule(teacher.value(), offset);
        week.mode = QStringLiteral("teacher");
        week.subject = teacher.value();
    }
    if (!answer.ok())
        co_return answer.error();
    week.lessons = schedulesFromAnswer(answer.value(), week.mode == QLatin1String("student")
                                                           ? QStringLiteral("combined_with")
                                                           : QStringLiteral("combined_groups"));
    co_return week;
}
