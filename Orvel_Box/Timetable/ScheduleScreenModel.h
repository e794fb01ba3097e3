#pragma once
#include "LoadTicket.h"
#include "RecordListModel.h"
#include "Schedule.h"
#include "ScreenModel.h"
#include "WeekCalendar.h"
#include "WeekStore.h"

#include <QCoroTask>
#include <QVariantList>

// The timetable screen: one week of the user's group or teacher, paged from 30 weeks back to
// one week ahead, grouped by weekday on the device. Every showing reloads the shown week.
//
// Offline first: the week the local store holds for the account's last shown group or teacher
// is on screen at once, and the service's answer replaces it when it comes; a failed load
// keeps it and says how old it is. Paging never waits for the service.
//
// Only the newest load writes to the screen: each load carries a ticket, and a load that
// finishes after a newer one started is dropped, whatever order the answers come in. Every
// successful answer still goes into the store.
class ScheduleScreenModel : public ScreenModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(int selectedDay READ selectedDay WRITE setSelectedDay NOTIFY selectedDayChanged)
    Q_PROPERTY(int weekOffset READ weekOffset NOTIFY weekChanged)
    Q_PROPERTY(bool isSheduleLoading READ isSheduleLoading NOTIFY weekChanged)
    Q_PROPERTY(bool modeRequired READ modeRequired NOTIFY weekChanged)
    Q_PROPERTY(QString mode READ mode NOTIFY weekChanged)
    Q_PROPERTY(QVariantList inDay READ inDay NOTIFY weekChanged)
    Q_PROPERTY(bool canGoBack READ canGoBack NOTIFY weekChanged)
    Q_PROPERTY(bool canGoForward READ canGoForward NOTIFY weekChanged)
    // "modeRequired", "loading", "failed" (nothing to show, a retry offered), "notStored" (only
    // the store is read and it lacks this week), "rest" or "lessons": what the area below the
    // header shows.
    Q_PROPERTY(QString screenState READ screenState NOTIFY screenStateChanged)
    // The lessons of the selected day, in answer order.
    Q_PROPERTY(QAbstractListModel* dayLessons READ dayLessonsModel CONSTANT)
    Q_PROPERTY(QStringList dayLabels READ dayLabels CONSTANT)
    // Clock-dependent texts, refreshed by tick(): the six day dates ("dd.MM"), the week's
    // Monday ("dd.MM") and Sunday ("dd.MM.yy").
    Q_PROPERTY(QStringList dayDates READ dayDates NOTIFY datesChanged)
    Q_PROPERTY(QString weekFirstDate READ weekFirstDate NOTIFY datesChanged)
    Q_PROPERTY(QString weekLastDate READ weekLastDate NOTIFY datesChanged)
    Q_PROPERTY(int todayIndex READ todayIndex NOTIFY datesChanged)
    // How old the shown week is ("Обновлено в 10:42"), that it is being checked while the
    // window starts early ("Обновление…"), or that the service could not be reached and from
    // when the shown copy is; empty while nothing is shown.
    Q_PROPERTY(QString freshness READ freshness NOTIFY freshnessChanged)
    // Reads weeks from the store only and never asks the service (the offline screen).
    Q_PROPERTY(bool storeOnly READ storeOnly WRITE setStoreOnly NOTIFY storeOnlyChanged)
    // The store holds a week for the account: what storeOnly can show.
    Q_PROPERTY(bool hasStoredWeeks READ hasStoredWeeks NOTIFY coChanged)
    // The group or teacher whose week is shown.
    Q_PROPERTY(QString subjectName READ subjectName NOTIFY weekChanged)
    // Set: the screen shows this teacher's week, whatever the stored work mode says; it reads
    // nothing from the service's store and neither reads nor writes the local week store, so
    // the user's own timetable is left as it was.
    Q_PROPERTY(QString fixedTeacher READ fixedTeacher WRITE setFixedTeacher NOTIFY weekChanged)
  public:
    explicit ScheduleScreenModel(QObject* parent = nullptr);

    int selectedDay() const { return m_selectedDay; }
    void setSelectedDay(int day);
    int weekOffset() const { return m_weekOffset; }
    bool isSheduleLoading() const { return m_loading; }
    bool modeRequired() const { return m_modeRequired; }
    QString mode() const { return m_mode; }
    QVariantList inDay() const;
    const std::array<int, WeekCalendar::dayCount>& counts() const { return m_inDay; }
    const QList<Schedule>& schedule() const { return m_schedule; }
    bool canGoBack() const { return !m_modeRequired && m_weekOffset > WeekCalendar::firstOffset; }
    bool canGoForward() const { return !m_modeRequired && m_weekOffset < WeekCalendar::lastOffset; }
    QString screenState() const;
    const QList<Schedule>& dayLessons() const { return m_dayLessons->items(); }
    QAbstractListModel* dayLessonsModel() const { return m_dayLessons; }
    QStringList dayLabels() const;
    QStringList dayDates() const { return m_dayDates; }
    QString weekFirstDate() const { return m_weekFirst; }
    QString weekLastDate() const { return m_weekLast; }
    int todayIndex() const { return m_today; }
    QString freshness() const { return m_freshness; }
    bool storeOnly() const { return m_storeOnly; }
    void setStoreOnly(bool storeOnly);
    bool hasStoredWeeks() const;
    QString subjectName() const;
    // The Monday of the week whose lessons are shown.
    QDate shownMonday() const { return m_shownMonday; }
    QString fixedTeacher() const { return m_fixedTeacher; }
    void setFixedTeacher(const QString& name);
    // The account whose stored weeks this screen may read; empty: none.
    QString storeAccount() const;
    // Whose week is on screen, as the local store names it; none while nothing is shown.
    const std::optional<WeekStore::Subject>& shownSubject() const { return m_shownSubject; }
    // The lessons of a week answer for a student's or a teacher's week.
    static QList<Schedule> lessonsOf(const QString& mode, const QJsonObject& answer);

    void setClock(WeekCalendar::Clock clock);
    const WeekCalendar::Clock& clock() const { return m_clock; }

    // The date of weekday `indexText` of the shown week, or an error text.
    Q_INVOKABLE QString weekDayDate(const QString& indexText, const QString& format) const;
    // Shows the stored copy of the shown week, if any, and starts loading it; today is
    // selected in the current week, Monday elsewhere.
    Q_INVOKABLE void reloadWeek();
    // Paging is refused beyond the covered weeks and while no work mode is chosen; a page
    // change while a week is loading starts the new week's load at once.
    Q_INVOKABLE bool previousWeek() { return page(m_weekOffset - 1); }
    Q_INVOKABLE bool nextWeek() { return page(m_weekOffset + 1); }
    Q_INVOKABLE bool currentWeek() { return m_weekOffset != 0 && page(0); }
    // Left and Right page weeks, Home returns to the current week, 1 to 6 pick Monday to
    // Saturday, Enter or R retry a failed load. False for keys it does not take.
    Q_INVOKABLE bool handleKey(int key);
    // Re-reads the clock and refreshes only the texts that depend on it.
    Q_INVOKABLE void tick();

  signals:
    void selectedDayChanged();
    void weekChanged();
    void screenStateChanged();
    void datesChanged();
    void freshnessChanged();
    void storeOnlyChanged();
    // A load ended; `shown` tells whether its week is now on screen (false: it failed, found
    // no work mode, or a newer load overtook it).
    void loadFinished(bool shown);

  protected:
    void appeared() override { reloadWeek(); }
    void appearedEarly() override { reloadWeek(); }

  private:
    // Whose week a load asks for, as the per-user store on the service names it.
    struct Source {
        QString mode; // "student" or "teacher"
        QString faculty, group, teacher;
        WeekStore::Subject subject() const;
    };
    QCoro::Task<void> loadTimetable(LoadTicket ticket, int offset);
    QCoro::Task<bool> fetchAndShow(LoadTicket ticket, int offset);
    QCoro::Task<void> prefetchNextWeek(QPointer<OrvelApi> client, Source source, quint64 signIn);
    static QCoro::Task<Result<std::optional<QString>>> storedWorkMode(QPointer<OrvelApi> client);
    static QCoro::Task<Result<Source>> readSource(QPointer<OrvelApi> client, QString workMode);
    static QCoro::Task<ApiResult> fetchWeek(QPointer<OrvelApi> client, Source source, int offset);
    bool page(int offset);
    void setWeekState(bool loading, bool modeRequired);
    // Shows the stored copy of the shown week for `subject` (the account's last shown one when
    // not given); with none, nothing is shown.
    void showStored(std::optional<WeekStore::Subject> subject = std::nullopt);
    void showWeek(const WeekStore::Subject& subject, const QJsonObject& answer,
                  const QDateTime& fetched);
    // Keeps a successful answer, unless the account changed since the load began.
    void remember(const Source& source, QDate monday, const QJsonObject& answer,
                  quint64 signIn) const;
    void loadFailed(const ApiError& error, const LoadTicket& ticket);
    void refreshLessons();
    void refreshState();
    void refreshFreshness();

    WeekCalendar::Clock m_clock = WeekCalendar::systemNow;
    LoadTickets m_loads;
    bool m_shown = false;  // a week (stored or answered) of the shown offset is on screen
    bool m_failed = false; // the last load failed with nothing on screen
    bool m_stale = false;  // the week on screen is a stored copy the service did not confirm
    bool m_storeOnly = false;
    bool m_nextWeekAsked = false;
    std::optional<WeekStore::Subject> m_shownSubject;
    QString m_fixedTeacher;
    QDate m_shownMonday;
    QDateTime m_fetched;
    QString m_freshness;
    int m_selectedDay = 0;
    int m_weekOffset = 0;
    bool m_loading = true;
    bool m_modeRequired = false;
    QString m_mode = QStringLiteral("student");
    QList<Schedule> m_schedule;
    std::array<int, WeekCalendar::dayCount> m_inDay{};
    RecordListModel<Schedule>* m_dayLessons;
    QString m_screenState;
    QStringList m_dayDates;
    QString m_weekFirst;
    QString m_weekLast;
    int m_today = 0;
};
