#include "ScheduleScreenModel.h"

#include "JsonRead.h"
#include "Log.h"
#include "RequestGate.h"
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

// A stored copy older than this is fetched again ahead of time.
constexpr qint64 nextWeekStaleSecs = 6 * 3600;
} // namespace

WeekStore::Subject ScheduleScreenModel::Source::subject() const {
    return {mode, mode == u"student" ? faculty + QLatin1Char('\n') + group : teacher};
}

ScheduleScreenModel::ScheduleScreenModel(QObject* parent)
    : ScreenModel(parent), m_dayLessons(new RecordListModel<Schedule>(this)) {
    m_screenState = screenState();
    tick();
}

QString ScheduleScreenModel::screenState() const {
    if (m_modeRequired)
        return QStringLiteral("modeRequired");
    if (!m_shown)
        return m_storeOnly ? QStringLiteral("notStored")
               : m_failed  ? QStringLiteral("failed")
                           : QStringLiteral("loading");
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
    refreshFreshness(); // "today" in it may have become "yesterday"
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

void ScheduleScreenModel::setStoreOnly(bool storeOnly) {
    if (storeOnly == m_storeOnly)
        return;
    m_storeOnly = storeOnly;
    emit storeOnlyChanged();
    refreshState();
}

bool ScheduleScreenModel::hasStoredWeeks() const {
    const QString account = storeAccount();
    return !account.isEmpty() && WeekStore::shared().lastShown(account).has_value();
}

QString ScheduleScreenModel::storeAccount() const {
    if (!m_fixedTeacher.isEmpty())
        return {};
    const QString account = co() ? co()->account() : QString();
    if (account.isEmpty() && co() && co()->early())
        return co()->keptAccount();
    // Offline, no account record arrives: the store's own note says whose weeks it keeps.
    return account.isEmpty() && m_storeOnly ? WeekStore::shared().lastAccount() : account;
}

void ScheduleScreenModel::reloadWeek() {
    tick();
    m_failed = false;
    setSelectedDay(m_weekOffset == 0 ? WeekCalendar::todayIndex(m_clock()) : 0);
    showStored();
    if (m_storeOnly) {
        m_stale = true;
        refreshFreshness();
        setWeekState(false, false);
        return;
    }
    setWeekState(true, m_modeRequired);
    // The window starts early: the kept week shows, and the load goes once the start-up check
    // let the user in (the screen appears again then).
    if (RequestGate::instance().held())
        return refreshFreshness();
    loadTimetable(m_loads.start(this), m_weekOffset);
}

void ScheduleScreenModel::showStored(std::optional<WeekStore::Subject> subject) {
    const QString account = storeAccount();
    if (!subject && !account.isEmpty())
        subject = WeekStore::shared().lastShown(account);
    std::optional<WeekStore::Week> stored;
    if (subject)
        stored = WeekStore::shared().week(account, *subject,
                                          WeekCalendar::mondayOf(m_weekOffset, m_clock()));
    if (stored) {
        showWeek(*subject, stored->answer, stored->fetched);
        m_stale = true; // until the service confirms it
        return;
    }
    const bool changed = m_shown || !m_schedule.isEmpty();
    m_shown = false;
    m_shownSubject.reset();
    m_schedule.clear();
    m_inDay = {};
    if (changed)
        emit weekChanged();
    refreshLessons();
    refreshFreshness();
}

void ScheduleScreenModel::showWeek(const WeekStore::Subject& subject, const QJsonObject& answer,
                                   const QDateTime& fetched) {
    m_schedule = lessonsOf(subject.mode, answer);
    m_mode = subject.mode;
    m_inDay = WeekCalendar::countByDay(m_schedule);
    m_shown = true;
    m_stale = false;
    m_shownSubject = subject;
    m_shownMonday = WeekCalendar::mondayOf(m_weekOffset, m_clock());
    m_fetched = fetched;
    emit weekChanged();
    refreshLessons();
    refreshFreshness();
}

void ScheduleScreenModel::refreshFreshness() {
    QString text;
    if (m_shown && m_fetched.isValid()) {
        const QDateTime at = m_fetched.toLocalTime();
        const QString time = at.toString(QStringLiteral("HH:mm"));
        const QString day = at.toString(QStringLiteral("dd.MM"));
        if (!m_storeOnly && RequestGate::instance().held())
            text = QStringLiteral("Обновление…");
        else if (m_stale && (m_storeOnly || !m_loading))
            text = QStringLiteral("Нет связи с сервером · данные от %1 %2").arg(day, time);
        else if (at.date() == m_clock().toLocalTime().date())
            text = QStringLiteral("Обновлено в ") + time;
        else
            text = QStringLiteral("Обновлено %1 в %2").arg(day, time);
    }
    if (text == m_freshness)
        return;
    m_freshness = text;
    emit freshnessChanged();
}

bool ScheduleScreenModel::page(int offset) {
    if (m_modeRequired || offset < WeekCalendar::firstOffset || offset > WeekCalendar::lastOffset)
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
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_R) &&
        screenState() == u"failed") {
        reloadWeek();
        return true;
    }
    if (key >= Qt::Key_1 && key < Qt::Key_1 + WeekCalendar::dayCount && !m_modeRequired) {
        setSelectedDay(key - Qt::Key_1);
        return true;
    }
    return false;
}

QList<Schedule> ScheduleScreenModel::lessonsOf(const QString& mode, const QJsonObject& answer) {
    return schedulesFromAnswer(answer, mode == u"student" ? QStringLiteral("combined_with")
                                                          : QStringLiteral("combined_groups"));
}

void ScheduleScreenModel::setFixedTeacher(const QString& name) {
    if (name == m_fixedTeacher)
        return;
    m_fixedTeacher = name;
    emit weekChanged();
}

QString ScheduleScreenModel::subjectName() const {
    if (!m_shownSubject)
        return {};
    // A group's key is its faculty and name on two lines; a teacher's is the name.
    return m_shownSubject->key.section(QLatin1Char('\n'), -1);
}

QCoro::Task<void> ScheduleScreenModel::loadTimetable(LoadTicket ticket, int offset) {
    const bool shown = co_await fetchAndShow(ticket, offset);
    if (ticket.alive())
        emit loadFinished(shown);
}

void ScheduleScreenModel::loadFailed(const ApiError& error, const LoadTicket& ticket) {
    Log::line(Log::timetable(), error.description());
    if (!ticket.current())
        return;
    // A stored week stays on screen, marked as such; with none the user is offered a retry.
    m_failed = !m_shown;
    setWeekState(false, false);
    refreshFreshness();
}

QCoro::Task<bool> ScheduleScreenModel::fetchAndShow(LoadTicket ticket, int offset) {
    // A load that a newer one has overtaken writes nothing on screen.
    const QPointer<OrvelApi> client = api();
    if (!client)
        co_return false;
    const QDate monday = WeekCalendar::mondayOf(offset, m_clock());
    const quint64 signIn = client->signInGeneration();

    // A fixed teacher's week reads nothing from the user's store.
    Result<std::optional<QString>> workMode = std::optional<QString>(QStringLiteral("teacher"));
    if (m_fixedTeacher.isEmpty())
        workMode = co_await storedWorkMode(client);
    if (!ticket.alive()) // the screen is gone, and with it whoever would care
        co_return false;
    if (!workMode.ok()) {
        loadFailed(workMode.error(), ticket);
        co_return false;
    }
    if (!ticket.current())
        co_return false;
    if (!workMode.value()) {
        setWeekState(true, true);
        co_return false;
    }
    setWeekState(true, false);

    Result<Source> source = Source{QStringLiteral("teacher"), {}, {}, m_fixedTeacher};
    if (m_fixedTeacher.isEmpty())
        source = co_await readSource(client, *workMode.value());
    if (!ticket.alive())
        co_return false;
    if (!source.ok()) {
        loadFailed(source.error(), ticket);
        co_return false;
    }
    // The user chose another group or teacher elsewhere: the stored copy on screen is not it.
    const WeekStore::Subject subject = source.value().subject();
    if (ticket.current() && m_shownSubject && *m_shownSubject != subject)
        showStored(subject);

    const ApiResult answer = co_await fetchWeek(client, source.value(), offset);
    if (!ticket.alive())
        co_return false;
    if (!answer.ok()) {
        loadFailed(answer.error(), ticket);
        co_return false;
    }
    remember(source.value(), monday, answer.value(), signIn);
    if (!ticket.current())
        co_return false;
    m_loading = false;
    showWeek(subject, answer.value(), m_clock());
    if (const QString account = storeAccount(); !account.isEmpty())
        WeekStore::shared().setLastShown(account, subject);
    if (offset == 0)
        prefetchNextWeek(client, source.value(), signIn);
    co_return true;
}

void ScheduleScreenModel::remember(const Source& source, QDate monday, const QJsonObject& answer,
                                   quint64 signIn) const {
    const QPointer<OrvelApi> client = api();
    const QString account = co() && m_fixedTeacher.isEmpty() ? co()->account() : QString();
    if (account.isEmpty() || !client || client->signInGeneration() != signIn)
        return;
    WeekStore::shared().putWeek(account, source.subject(), monday, answer, m_clock());
}

// Monday morning's week is then on the machine before the train leaves: once per screen, only
// after the current week came from the service, and only when the stored copy is old.
QCoro::Task<void> ScheduleScreenModel::prefetchNextWeek(QPointer<OrvelApi> client, Source source,
                                                        quint64 signIn) {
    const QString account = storeAccount();
    if (m_nextWeekAsked || account.isEmpty())
        co_return;
    const QDateTime now = m_clock();
    const QDate monday = WeekCalendar::mondayOf(1, now);
    const std::optional<WeekStore::Week> stored =
        WeekStore::shared().week(account, source.subject(), monday);
    if (stored && stored->fetched.secsTo(now) < nextWeekStaleSecs)
        co_return;
    m_nextWeekAsked = true;
    const QPointer<ScheduleScreenModel> self(this);
    const ApiResult answer = co_await fetchWeek(client, source, 1);
    if (self && answer.ok())
        remember(source, monday, answer.value(), signIn);
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

QCoro::Task<Result<ScheduleScreenModel::Source>>
ScheduleScreenModel::readSource(QPointer<OrvelApi> client, QString workMode) {
    Source source;
    if (workMode == QLatin1String("student")) {
        source.mode = QStringLiteral("student");
        const Result<QString> faculty =
            co_await readStoredValue(client, WorkModeStore::Key::faculty);
        if (!faculty.ok())
            co_return faculty.error();
        const Result<QString> group = co_await readStoredValue(client, WorkModeStore::Key::group);
        if (!group.ok())
            co_return group.error();
        source.faculty = faculty.value();
        source.group = group.value();
    } else {
        source.mode = QStringLiteral("teacher");
        const Result<QString> teacher =
            co_await readStoredValue(client, WorkModeStore::Key::teacher);
        if (!teacher.ok())
            co_return teacher.error();
        source.teacher = teacher.value();
    }
    co_return source;
}

QCoro::Task<ApiResult> ScheduleScreenModel::fetchWeek(QPointer<OrvelApi> client, Source source,
                                                      int offset) {
    if (!client)
        co_return ApiError::clientGone();
    if (source.mode == u"student")
        co_return co_await client->getWeekSchedule(source.faculty, source.group, offset);
    co_return co_await client->getTeacherSchedule(source.teacher, offset);
}
