#include "CalendarExport.h"

#include "Log.h"
#include "ScheduleBoxModel.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <libical/ical.h>
#include <memory>

namespace Ics {
namespace {
struct ComponentFree {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using Component = std::unique_ptr<icalcomponent, ComponentFree>;

QByteArray utf8(const QString& s) {
    return s.toUtf8();
}

icaltimetype wallTime(const QDateTime& at, const icaltimezone* zone) {
    icaltimetype t = icaltime_null_time();
    t.year = at.date().year();
    t.month = at.date().month();
    t.day = at.date().day();
    t.hour = at.time().hour();
    t.minute = at.time().minute();
    t.second = at.time().second();
    t.is_date = 0;
    t.zone = zone;
    return t;
}

icaltimetype utcTime(const QDateTime& at) {
    return icaltime_from_timet_with_zone(at.toSecsSinceEpoch(), 0, icaltimezone_get_utc_timezone());
}

// The zone as plain observances, one per change of its offset from a day before `from` to a
// day after `to`, read from the system's zone database through Qt. No recurrence rules:
// libical's own zones carry RRULEs with UNTIL in UTC, which Debian's Python icalendar (and
// other older readers) fail to read, so a calendar built from them would not import there.
icalcomponent* vtimezone(const QTimeZone& zone, const QDateTime& from, const QDateTime& to) {
    icalcomponent* vtz = icalcomponent_new(ICAL_VTIMEZONE_COMPONENT);
    icalcomponent_add_property(vtz, icalproperty_new_tzid(zone.id().constData()));
    const auto observance = [vtz](const QTimeZone::OffsetData& change, int offsetBefore) {
        icalcomponent* c = icalcomponent_new(
            change.daylightTimeOffset != 0 ? ICAL_XDAYLIGHT_COMPONENT : ICAL_XSTANDARD_COMPONENT);
        // An observance starts at a wall-clock time of the offset it replaces.
        icalcomponent_add_property(c, icalproperty_new_dtstart(wallTime(
                                          change.atUtc.toOffsetFromUtc(offsetBefore), nullptr)));
        icalcomponent_add_property(c, icalproperty_new_tzoffsetfrom(offsetBefore));
        icalcomponent_add_property(c, icalproperty_new_tzoffsetto(change.offsetFromUtc));
        if (!change.abbreviation.isEmpty())
            icalcomponent_add_property(
                c, icalproperty_new_tzname(utf8(change.abbreviation).constData()));
        icalcomponent_add_component(vtz, c);
    };
    const QDateTime begin = from.addDays(-1);
    const QTimeZone::OffsetData initial = zone.offsetData(begin);
    observance(initial, initial.offsetFromUtc);
    int offset = initial.offsetFromUtc;
    for (const QTimeZone::OffsetData& change : zone.transitions(begin, to.addDays(1))) {
        observance(change, offset);
        offset = change.offsetFromUtc;
    }
    return vtz;
}

QString description(const Schedule& lesson, const QString& mode) {
    QStringList lines{lessonKind(lesson.subject).label};
    if (mode == QLatin1String("student")) {
        const QString teacher =
            lesson.teacher_full_name.isEmpty() ? lesson.teacher : lesson.teacher_full_name;
        if (!teacher.isEmpty())
            lines.append(teacher);
    } else if (!lesson.combined_with.isEmpty()) {
        lines.append(lesson.combined_with.join(QStringLiteral(", ")));
    }
    return lines.join(u'\n');
}
} // namespace

QString uid(const Schedule& lesson, QDate day) {
    // The service's id names one lesson; without one, what the lesson is stands in for it
    // (the room is left out so a changed room updates the event).
    const QString key = lesson.id != 0
                            ? QStringLiteral("%1|%2").arg(lesson.id).arg(day.toString(Qt::ISODate))
                            : QStringList{day.toString(Qt::ISODate),
                                          lesson.time,
                                          lesson.subject,
                                          lesson.group_name,
                                          lesson.teacher,
                                          lesson.combined_with.join(u',')}
                                  .join(u'|');
    return QString::fromLatin1(
               QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex()) +
           QStringLiteral("@orvelbox");
}

Calendar build(const QList<TodayLessons::Week>& weeks, const QString& mode, const QTimeZone& zone) {
    struct Timed {
        Schedule lesson;
        QDate day;
        QDateTime start, end;
    };
    Calendar out;
    QList<Timed> timed;
    for (const TodayLessons::Week& week : weeks) {
        for (const Schedule& lesson : week.lessons) {
            const std::optional<int> index = WeekCalendar::dayIndex(lesson.day);
            const auto minutes = TodayLessons::span(lesson.time);
            if (!index || !minutes || !week.monday.isValid()) {
                ++out.skipped;
                continue;
            }
            const QDate day = week.monday.addDays(*index);
            // A lesson past midnight ends on the next day, at that day's wall-clock time.
            timed.append(
                {lesson, day, QDateTime(day, QTime(0, 0).addSecs(minutes->first * 60), zone),
                 QDateTime(day.addDays(minutes->second / (24 * 60)),
                           QTime(0, 0).addSecs((minutes->second % (24 * 60)) * 60), zone)});
        }
    }
    out.events = int(timed.size());

    Component calendar(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
    icalcomponent_add_property(calendar.get(),
                               icalproperty_new_prodid("-//Orvel Box//Timetable//RU"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_calscale("GREGORIAN"));

    // Times in UTC where the zone has no name a calendar could look up.
    icaltimezone* tz = nullptr;
    if (!timed.isEmpty() && !zone.id().isEmpty() && zone.id() != "UTC") {
        const auto [first, last] =
            std::minmax_element(timed.cbegin(), timed.cend(),
                                [](const Timed& a, const Timed& b) { return a.start < b.start; });
        icalcomponent* definition = vtimezone(zone, first->start, last->end);
        // Before the events: readers that resolve a TZID as they read need it first.
        icalcomponent_add_component(calendar.get(), icalcomponent_new_clone(definition));
        tz = icaltimezone_new();
        icaltimezone_set_component(tz, definition);
    }
    const icaltimetype stamp = utcTime(QDateTime::currentDateTimeUtc());
    for (const Timed& t : std::as_const(timed)) {
        icalcomponent* event = icalcomponent_new(ICAL_VEVENT_COMPONENT);
        icalcomponent_set_uid(event, utf8(uid(t.lesson, t.day)).constData());
        icalcomponent_set_dtstamp(event, stamp);
        icalcomponent_set_dtstart(event, tz ? wallTime(t.start, tz) : utcTime(t.start));
        icalcomponent_set_dtend(event, tz ? wallTime(t.end, tz) : utcTime(t.end));
        icalcomponent_set_summary(event, utf8(lessonTitle(t.lesson.subject).trimmed()).constData());
        if (!t.lesson.classroom.trimmed().isEmpty())
            icalcomponent_set_location(event, utf8(t.lesson.classroom.trimmed()).constData());
        icalcomponent_set_description(event, utf8(description(t.lesson, mode)).constData());
        icalcomponent_add_component(calendar.get(), event);
    }
    out.text = QByteArray(icalcomponent_as_ical_string(calendar.get()));
    if (tz)
        icaltimezone_free(tz, 1);
    return out;
}
} // namespace Ics

bool CalendarExport::canExportStored() const {
    return m_screen && m_screen->shownSubject() && !m_screen->storeAccount().isEmpty();
}

void CalendarExport::setScreen(ScheduleScreenModel* screen) {
    if (screen == m_screen)
        return;
    if (m_screen)
        disconnect(m_screen, nullptr, this, nullptr);
    m_screen = screen;
    if (m_screen)
        connect(m_screen, &ScheduleScreenModel::weekChanged, this, &CalendarExport::screenChanged);
    emit screenChanged();
}

QUrl CalendarExport::proposedFolder() {
    return QUrl::fromLocalFile(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

QUrl CalendarExport::proposedFile() const {
    const QString folder = proposedFolder().toLocalFile();
    if (!m_screen)
        return proposedFolder();
    // A name may hold a slash ("ИВТ-21/2"); it must not become a folder.
    QString name = m_screen->subjectName().trimmed();
    name.replace(u'/', u'-');
    if (name.isEmpty())
        name = QStringLiteral("Расписание");
    return QUrl::fromLocalFile(folder + u'/' + name + u' ' +
                               m_screen->shownMonday().toString(QStringLiteral("dd.MM.yy")) +
                               QStringLiteral(".ics"));
}

bool CalendarExport::save(const QVariant& target, bool storedWeeks) {
    if (!m_screen)
        return false;
    const QUrl url = target.toUrl();
    const QString path = url.isLocalFile() ? url.toLocalFile() : target.toString();
    QList<TodayLessons::Week> weeks;
    if (storedWeeks && canExportStored()) {
        const WeekStore::Subject subject = *m_screen->shownSubject();
        for (const auto& [monday, week] :
             WeekStore::shared().weeks(m_screen->storeAccount(), subject))
            weeks.append({monday, ScheduleScreenModel::lessonsOf(subject.mode, week.answer)});
    } else
        weeks = {{m_screen->shownMonday(), m_screen->schedule()}};
    const Ics::Calendar calendar = Ics::build(weeks, m_screen->mode());

    QSaveFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::WriteOnly) ||
        file.write(calendar.text) != calendar.text.size() || !file.commit()) {
        Log::line(Log::timetable(),
                  QStringLiteral("Calendar export to %1 failed: %2").arg(path, file.errorString()));
        say(QStringLiteral("Не удалось сохранить файл"));
        return false;
    }
    QString text = QStringLiteral("Сохранено: ") + QFileInfo(path).fileName();
    if (calendar.skipped > 0)
        text += QStringLiteral(" (пропущено пар, у которых не распознаны день или время: %1)")
                    .arg(calendar.skipped);
    say(text);
    return true;
}

void CalendarExport::say(const QString& text) {
    // The same message twice must still be announced.
    m_message = text;
    emit messageChanged();
}
