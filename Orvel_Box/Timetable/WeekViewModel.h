#pragma once
#include "ScheduleScreenModel.h"

#include <QObject>
#include <QPointer>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

// The "День" / "Неделя" choice of a wide timetable and the six columns of the week view. The
// columns are the screen's loaded lessons grouped by weekday in answer order: switching asks
// the service nothing. The choice is kept on this machine only; a narrow window shows the day
// whatever was chosen, and the week again once it is wide.
class WeekViewModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(ScheduleScreenModel* screen READ screen WRITE setScreen NOTIFY screenChanged)
    // Whether the window has room for six columns; the view binds it to its width.
    Q_PROPERTY(bool wide READ wide WRITE setWide NOTIFY viewChanged)
    Q_PROPERTY(bool weekChosen READ weekChosen WRITE setWeekChosen NOTIFY viewChanged)
    Q_PROPERTY(bool showsWeek READ showsWeek NOTIFY viewChanged)
    // Per weekday (Monday 0 .. Saturday 5), its lessons as Schedule values.
    Q_PROPERTY(QVariantList columns READ columns NOTIFY columnsChanged)
    // The weekday of the running lesson and its place in that column; -1 when none runs.
    Q_PROPERTY(int runningDay READ runningDay NOTIFY runningChanged)
    Q_PROPERTY(int runningIndex READ runningIndex NOTIFY runningChanged)
    // Today's column in the current week, -1 in any other week.
    Q_PROPERTY(int todayColumn READ todayColumn NOTIFY runningChanged)
  public:
    using QObject::QObject;

    ScheduleScreenModel* screen() const { return m_screen; }
    void setScreen(ScheduleScreenModel* screen);
    bool wide() const { return m_wide; }
    void setWide(bool wide);
    bool weekChosen() const { return m_weekChosen; }
    void setWeekChosen(bool week);
    bool showsWeek() const { return m_wide && m_weekChosen; }
    QVariantList columns() const { return m_columns; }
    int runningDay() const { return m_runningIndex < 0 ? -1 : m_todayColumn; }
    int runningIndex() const { return m_runningIndex; }
    int todayColumn() const { return m_todayColumn; }

    // D shows the day, W the week (on a wide window). False for any other key.
    Q_INVOKABLE bool handleKey(int key);
    // Re-reads the screen's clock for today's column and the running lesson.
    Q_INVOKABLE void tick();

  signals:
    void screenChanged();
    void viewChanged();
    void columnsChanged();
    void runningChanged();

  private:
    void regroup();

    QPointer<ScheduleScreenModel> m_screen;
    bool m_wide = false;
    bool m_weekChosen = false;
    bool m_choiceRead = false;
    QVariantList m_columns;
    int m_runningIndex = -1;
    int m_todayColumn = -1;
};
