// Faculties, groups, week timetables and teachers.
#include "Backend.h"
#include "Catalog.h"

#include <QJsonArray>

namespace standin {
namespace {

QString param(const Backend::Call& c, const char* key) {
    return c.req.query.queryItemValue(QLatin1String(key), QUrl::FullyDecoded);
}

// Absent gives `fallback`; anything but a plain decimal integer gives nothing.
std::optional<qint64> intParam(const Backend::Call& c, const char* key, qint64 fallback) {
    if (!c.req.query.hasQueryItem(QLatin1String(key)))
        return fallback;
    bool ok = false;
    const qint64 v = param(c, key).toLongLong(&ok);
    return ok ? std::optional(v) : std::nullopt;
}

Reply badParam(const char* key) {
    return Reply::error(
        400,
        QStringLiteral("Query parameter \"%1\" is missing or not valid").arg(QLatin1String(key)));
}

QDate weekMonday(qint64 offset) {
    return Catalog::mondayOf(QDate::currentDate()).addDays(7 * offset);
}

bool offsetCovered(qint64 offset) {
    return offset >= Catalog::kFirstOffset && offset <= Catalog::kLastOffset;
}

Reply scheduleReply(const Catalog& catalog, const QList<Lesson>& lessons, int viewerGroupId,
                    const QString& origin) {
    QJsonArray list;
    for (const Lesson& l : lessons)
        list.append(catalog.lessonJson(l, viewerGroupId, origin));
    return Reply::json({{"schedule", list}});
}

} // namespace

Reply Backend::faculties(Call&) {
    QJsonArray list;
    for (const Faculty& f : m_catalog->faculties())
        list.append(QJsonObject{{"id", f.id}, {"name", f.name}});
    return Reply::json({{"faculties", list}});
}

Reply Backend::groups(Call& c) {
    if (!c.req.query.hasQueryItem("faculty"))
        return badParam("faculty");
    const Faculty* f = m_catalog->faculty(param(c, "faculty"));
    if (!f)
        return Reply::error(404, QStringLiteral("Факультет не найден"));
    QJsonArray list;
    for (const Group& g : m_catalog->groupsOf(f->id))
        list.append(QJsonObject{{"id", g.id}, {"name", g.name}});
    return Reply::json({{"groups", list}});
}

// Finds the group named by the "faculty" and "group" parameters, or says why not.
static const Group* requestedGroup(const Catalog& catalog, const Backend::Call& c, Reply* why) {
    const Faculty* f = catalog.faculty(param(c, "faculty"));
    const Group* g = f ? catalog.group(f->id, param(c, "group")) : nullptr;
    if (!g)
        *why = Reply::error(404, f ? QStringLiteral("Группа не найдена")
                                   : QStringLiteral("Факультет не найден"));
    return g;
}

Reply Backend::week(Call& c) {
    Reply why;
    const Group* g = requestedGroup(*m_catalog, c, &why);
    if (!g)
        return why;
    const auto offset = intParam(c, "offset", 0);
    if (!offset)
        return badParam("offset");
    const QList<Lesson> lessons =
        offsetCovered(*offset) ? m_catalog->groupWeek(g->id, weekMonday(*offset)) : QList<Lesson>{};
    return scheduleReply(*m_catalog, lessons, g->id, c.origin);
}

// The day, date and today reads: one day out of the week that holds it.
Reply Backend::dayOfWeek(Call& c) {
    Reply why;
    const Group* g = requestedGroup(*m_catalog, c, &why);
    if (!g)
        return why;
    const QString kind = c.req.path.section(u'/', -1);
    QDate day = QDate::currentDate();
    if (kind == QLatin1String("date")) {
        day = QDate::fromString(param(c, "date"), Qt::ISODate);
        if (!day.isValid())
            day = QDate::fromString(param(c, "date"), QStringLiteral("dd.MM.yyyy"));
        if (!day.isValid())
            return badParam("date");
    }
    const QList<Lesson> week = m_catalog->groupWeek(g->id, Catalog::mondayOf(day));
    QList<Lesson> lessons;
    for (const Lesson& l : week) {
        const bool wanted = kind == QLatin1String("day")
                                ? Catalog::dayName(l.date) == param(c, "day")
                                : l.date == day;
        if (wanted)
            lessons.append(l);
    }
    return scheduleReply(*m_catalog, lessons, g->id, c.origin);
}

Reply Backend::teachers(Call& c) {
    const auto limit = intParam(c, "limit", 100);
    const auto offset = intParam(c, "offset", 0);
    if (!limit || *limit < 0)
        return badParam("limit");
    if (!offset || *offset < 0)
        return badParam("offset");
    const QString search = param(c, "search").trimmed();
    QList<const Teacher*> found;
    for (const Teacher& t : m_catalog->teachers())
        if (search.isEmpty() || t.name.contains(search, Qt::CaseInsensitive) ||
            t.fullName.contains(search, Qt::CaseInsensitive))
            found.append(&t);
    std::sort(found.begin(), found.end(),
              [](const Teacher* a, const Teacher* b) { return a->name < b->name; });
    QJsonArray list;
    for (qint64 i = *offset; i < found.size() && i - *offset < *limit; ++i)
        list.append(m_catalog->teacherJson(*found[i], c.origin));
    return Reply::json({{"teachers", list}, {"total", int(found.size())}});
}

Reply Backend::teacher(Call& c) {
    const Teacher* t = m_catalog->teacher(c.args.value(0));
    if (!t)
        return Reply::error(404, QStringLiteral("Преподаватель не найден"));
    return Reply::json({{"teacher", m_catalog->teacherJson(*t, c.origin)}});
}

Reply Backend::teacherWeek(Call& c) {
    const Teacher* t = m_catalog->teacher(c.args.value(0));
    if (!t)
        return Reply::error(404, QStringLiteral("Преподаватель не найден"));
    const auto offset = intParam(c, "offset", 0);
    if (!offset)
        return badParam("offset");
    const QList<Lesson> lessons = offsetCovered(*offset)
                                      ? m_catalog->teacherWeek(t->id, weekMonday(*offset))
                                      : QList<Lesson>{};
    return scheduleReply(*m_catalog, lessons, 0, c.origin);
}

} // namespace standin
