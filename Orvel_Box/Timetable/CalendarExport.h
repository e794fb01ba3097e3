#pragma once
#include "LessonReminder.h" // NowNextModel.h holds a QPointer to one
#include "NowNextModel.h"
#include "Schedule.h"
#include "ScheduleScreenModel.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimeZone>
#include <QUrl>
#include <QtQml/qqmlregistration.h>
#include <functional>

// Timetable weeks as an iCalendar file. libical builds the calendar, so escaping, line
// folding and the time zone definition are the library's. Nothing leaves the machine: the
// file is written where the user chose and nowhere else.
namespace Ics {
struct Calendar {
    QByteArray text;
    int events = 0;
    int skipped = 0; // lessons with an unknown day or a time that does not parse
};
// One event per lesson of `weeks`, timed in `zone` with its VTIMEZONE (in UTC for a zone
// without a name). `mode` decides what the description names: the teacher of a
// group's lesson or the groups of a teacher's lesson.
Calendar build(const QList<TodayLessons::Week>& weeks, const QString& mode,
               const QTimeZone& zone = QTimeZone::systemTimeZone());
// The same for the same lesson on the same day in every export, so a calendar that imports
// the file again updates its events instead of adding them twice.
QString uid(const Schedule& lesson, QDate day);
} // namespace Ics

// The "Экспорт в календарь" action of the timetable header: the shown week, or every week
// the local week store holds for the shown group or teacher.
class CalendarExport : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(ScheduleScreenModel* screen READ screen WRITE setScreen NOTIFY screenChanged)
    // Whether the second choice ("all stored weeks") is offered.
    Q_PROPERTY(bool canExportStored READ canExportStored NOTIFY screenChanged)
    // "<group or teacher> <dd.MM.yy>.ics" in the user's Documents folder.
    Q_PROPERTY(QUrl proposedFile READ proposedFile NOTIFY screenChanged)
    Q_PROPERTY(QUrl proposedFolder READ proposedFolder CONSTANT)
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)
  public:
    using QObject::QObject;

    ScheduleScreenModel* screen() const { return m_screen; }
    void setScreen(ScheduleScreenModel* screen);
    // The local week store holds the shown group's or teacher's weeks for this account.
    bool canExportStored() const;
    QUrl proposedFile() const;
    static QUrl proposedFolder();
    QString message() const { return m_message; }

    // Writes the calendar to `target` (a file URL or a local path) all at once: an existing
    // file is replaced only by a complete one. False, with the failure message, otherwise.
    Q_INVOKABLE bool save(const QVariant& target, bool storedWeeks = false);

  signals:
    void screenChanged();
    void messageChanged();

  private:
    void say(const QString& text);

    QPointer<ScheduleScreenModel> m_screen;
    QString m_message;
};
