#pragma once
#include "LoadTicket.h"
#include "RecordListModel.h"
#include "Schedule.h"
#include "ScreenModel.h"
#include "WeekCalendar.h"

#include <QCoroTask>
#include <QVariantList>

// The timetable screen: one week of the user's group or teacher, paged from 30 weeks back to
// one week ahead, grouped by weekday on the device. Every showing reloads the shown week.
//
// Only the newest load writes its result: each load carries a ticket, and a load that
// finishes after a newer one started is dropped, whatever order the answers come in.
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
    // "modeRequired", "loading", "rest" or "lessons": what the area below the header shows.
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
    // The group or teacher whose week is shown.
    Q_PROPERTY(QString subjectName READ subjectName NOTIFY weekChanged)
    // Set: the screen shows this teacher's week, whatever the stored work mode says, and
    // reads nothing from the service's store.
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
    bool canGoBack() const { return !m_loading && m_weekOffset > WeekCalendar::firstOffset; }
    bool canGoForward() const { return !m_loading && m_weekOffset < WeekCalendar::lastOffset; }
    QString screenState() const;
    const QList<Schedule>& dayLessons() const { return m_dayLessons->items(); }
    QAbstractListModel* dayLessonsModel() const { return m_dayLessons; }
    QStringList dayLabels() const;
    QStringList dayDates() const { return m_dayDates; }
    QString weekFirstDate() const { return m_weekFirst; }
    QString weekLastDate() const { return m_weekLast; }
    int todayIndex() const { return m_today; }
    QString subjectName() const { return m_subject; }
    // The Monday of the week whose lessons are shown.
    QDate shownMonday() const { return m_shownMonday; }
    QString fixedTeacher() const { return m_fixedTeacher; }
    void setFixedTeacher(const QString& name);

    void setClock(WeekCalendar::Clock clock);
    const WeekCalendar::Clock& clock() const { return m_clock; }

    // The date of weekday `indexText` of the shown week, or an error text.
    Q_INVOKABLE QString weekDayDate(const QString& indexText, const QString& format) const;
    // Starts loading the shown week; today is selected in the current week, Monday elsewhere.
    Q_INVOKABLE void reloadWeek();
    // Paging is refused while a week is loading and beyond the covered weeks.
    Q_INVOKABLE bool previousWeek() { return page(m_weekOffset - 1); }
    Q_INVOKABLE bool nextWeek() { return page(m_weekOffset + 1); }
    Q_INVOKABLE bool currentWeek() { return m_weekOffset != 0 && page(0); }
    // Left and Right page weeks, Home returns to the current week, 1 to 6 pick Monday to
    // Saturday. False for keys it does not take.
    Q_INVOKABLE bool handleKey(int key);
    // Re-reads the clock and refreshes only the texts that depend on it.
    Q_INVOKABLE void tick();

  signals:
    void selectedDayChanged();
    void weekChanged();
    void screenStateChanged();
    void datesChanged();
    // A load ended; `shown` tells whether its week is now on screen (false: it failed, found
    // no work mode, or a newer load overtook it).
    void loadFinished(bool shown);

  protected:
    void appeared() override { reloadWeek(); }

  private:
    struct Week {
        QString mode;
        QList<Schedule> lessons;
        QString subject;
    };
    QCoro::Task<void> loadTimetable(LoadTicket ticket, int offset);
    QCoro::Task<bool> fetchAndShow(LoadTicket ticket, int offset);
    static QCoro::Task<Result<std::optional<QString>>> storedWorkMode(QPointer<OrvelApi> client);
    static QCoro::Task<Result<Week>> fetchWeek(QPointer<OrvelApi> client, QString workMode,
                                               int offset, QString fixedTeacher);
    bool page(int offset);
    void setWeekState(bool loading, bool modeRequired);
    void showWeek(Week week);
    void refreshLessons();
    void refreshState();

    WeekCalendar::Clock m_clock = WeekCalendar::systemNow;
    LoadTickets m_loads;
    int m_selectedDay = 0;
    int m_weekOffset = 0;
    bool m_loading = true;
    bool m_modeRequired = false;
    QString m_mode = QStringLiteral("student");
    QString m_subject;
    QString m_fixedTeacher;
    QDate m_shownMonday;
    QList<Schedule> m_schedule;
    std::array<int, WeekCalendar::dayCount> m_inDay{};
    RecordListModel<Schedule>* m_dayLessons;
    QString m_screenState;
    QStringList m_dayDates;
    QString m_weekFirst;
    QString m_weekLast;
    int m_today = 0;
};
