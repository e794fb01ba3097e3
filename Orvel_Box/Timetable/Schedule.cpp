#include "Schedule.h"

#include "JsonRead.h"

#include <QJsonArray>
#include <QStringTokenizer>
#include <QVarLengthArray>


namespace {
// Blanks around a piece are the service's formatting, not part of the number: "08:30 - 09:50"
// must mean 510 and 590, not 480 and 50. Views into `text`, so a week's times parse without
// allocating.
QVarLengthArray<QStringView, 4> pieces(QStringView text, QChar sep) {
    QVarLengthArray<QStringView, 4> out;
    for (QStringView p : text.tokenize(sep)) {
        p = p.trimmed();
        if (!p.isEmpty())
            out.append(p);
    }
    return out;
}

qint64 minutesOf(QStringView piece) {
    const auto parts = pieces(piece, u':');
    const qint64 hours = parts.isEmpty() ? 0 : strictInteger(parts.first()).value_or(0);
    const qint64 minutes = parts.isEmpty() ? 0 : strictInteger(parts.last()).value_or(0);
    qint64 product = 0, sum = 0;
    if (__builtin_mul_overflow(hours, qint64(60), &product) ||
        __builtin_add_overflow(product, minutes, &sum))
        return 0;
    return sum;
}

// The lesson keys a map-built record reads. The second list's key depends on the timetable
// and is matched separately; the two derived minute fields are never read from the map.
enum class Field {
    classroom,
    combined_main_groups,
    date,
    dateTs,
    day,
    faculty_id,
    faculty_name,
    group_id,
    group_name,
    hash,
    id,
    is_combined,
    lessonType,
    number,
    source,
    subject,
    teacher,
    teacher_full_name,
    teacher_photo,
    time,
    timeupdate
};

constexpr std::pair<QStringView, Field> fieldKeys[] = {
    {u"classroom", Field::classroom},
    {u"combined_main_groups", Field::combined_main_groups},
    {u"date", Field::date},
    {u"dateTs", Field::dateTs},
    {u"day", Field::day},
    {u"faculty_id", Field::faculty_id},
    {u"faculty_name", Field::faculty_name},
    {u"group_id", Field::group_id},
    {u"group_name", Field::group_name},
    {u"hash", Field::hash},
    {u"id", Field::id},
    {u"is_combined", Field::is_combined},
    {u"lessonType", Field::lessonType},
    {u"number", Field::number},
    {u"source", Field::source},
    {u"subject", Field::subject},
    {u"teacher", Field::teacher},
    {u"teacher_full_name", Field::teacher_full_name},
    {u"teacher_photo", Field::teacher_photo},
    {u"time", Field::time},
    {u"timeupdate", Field::timeupdate},
};

std::optional<Field> fieldOf(QStringView key) {
    for (const auto& [name, field] : fieldKeys)
        if (name.size() == key.size() && name == key)
            return field;
    return std::nullopt;
}

// Readers of one entry in place; only numbers and lists go through a QJsonValue.
QString text(QJsonValueConstRef v) {
    return v.isString() ? v.toString() : QString();
}
qint64 integer(QJsonValueConstRef v) {
    return Json::integer(QJsonValue(v)).value_or(0);
}
QStringList textList(QJsonValueConstRef v) {
    return Json::textList(QJsonValue(v)).value_or(QStringList());
}

// Strict readers: report the key whose value is missing or of the wrong kind.
struct Strict {
    const QJsonObject& o;
    QString error;
    QString text(const char* key) {
        const auto v = Json::text(o.value(QLatin1String(key)));
        if (!v)
            fail(key);
        return v.value_or(QString());
    }
    qint64 integer(const char* key) {
        const QJsonValue raw = o.value(QLatin1String(key));
        const auto v = raw.isBool() ? std::nullopt : Json::integer(raw);
        if (!v)
            fail(key);
        return v.value_or(0);
    }
    bool boolean(const char* key) {
        const QJsonValue raw = o.value(QLatin1String(key));
        if (!raw.isBool())
            fail(key);
        return raw.toBool();
    }
    QStringList list(const char* key) {
        const auto v = Json::textList(o.value(QLatin1String(key)));
        if (!v)
            fail(key);
        return v.value_or(QStringList());
    }
    void fail(const char* key) {
        if (error.isEmpty())
            error = QLatin1String(key);
    }
};
} // namespace

std::optional<qint64> strictInteger(QStringView s) {
    qsizetype i = 0;
    if (i < s.size() && (s.at(i) == u'+' || s.at(i) == u'-'))
        ++i;
    if (i == s.size())
        return std::nullopt;
    for (qsizetype j = i; j < s.size(); ++j)
        if (s.at(j) < u'0' || s.at(j) > u'9')
            return std::nullopt;
    bool ok = false;
    const qint64 v = s.toLongLong(&ok, 10);
    if (!ok) // out of range
        return std::nullopt;
    return v;
}

QStringList lessonTimePieces(const QString& time) {
    QStringList out;
    for (QStringView p : pieces(time, u'-'))
        out.append(p.toString());
    return out;
}

qint64 lessonMinutes(const QString& piece) {
    return minutesOf(piece);
}

std::pair<qint64, qint64> lessonSpan(const QString& time) {
    const auto parts = pieces(time, u'-');
    if (parts.isEmpty())
        return {0, 0};
    return {minutesOf(parts.first()), minutesOf(parts.last())};
}

// One pass over the map's entries: a week holds hundreds of lessons, and looking each of the
// 24 keys up separately costs several times more.
Schedule scheduleFromMap(const QJsonObject& m, const QString& listKey) {
    Schedule s;
    for (auto entry = m.constBegin(); entry != m.constEnd(); ++entry) {
        const QString key = entry.key();
        const QJsonValueConstRef v = entry.value();
        if (key.size() == listKey.size() && key == listKey) {
            s.combined_with = textList(v);
            continue;
        }
        const std::optional<Field> field = fieldOf(key);
        if (!field)
            continue;
        switch (*field) {
        case Field::classroom:
            s.classroom = text(v);
            break;
        case Field::combined_main_groups:
            s.combined_main_groups = textList(v);
            break;
        case Field::date:
            s.date = text(v);
            break;
        case Field::dateTs:
            s.dateTs = integer(v);
            break;
        case Field::day:
            s.day = text(v);
            break;
        case Field::faculty_id:
            s.faculty_id = integer(v);
            break;
        case Field::faculty_name:
            s.faculty_name = text(v);
            break;
        case Field::group_id:
            s.group_id = integer(v);
            break;
        case Field::group_name:
            s.group_name = text(v);
            break;
        case Field::hash:
            s.hash = text(v);
            break;
        case Field::id:
            s.id = integer(v);
            break;
        case Field::is_combined:
            s.is_combined = Json::boolean(QJsonValue(v)).value_or(false);
            break;
        case Field::lessonType:
            s.lessonType = text(v);
            break;
        case Field::number:
            s.number = integer(v);
            break;
        case Field::source:
            s.source = text(v);
            break;
        case Field::subject:
            s.subject = text(v);
            break;
        case Field::teacher:
            s.teacher = text(v);
            break;
        case Field::teacher_full_name:
            s.teacher_full_name = text(v);
            break;
        case Field::teacher_photo:
            s.teacher_photo = text(v);
            break;
        case Field::time:
            s.time = text(v);
            break;
        case Field::timeupdate:
            s.timeupdate = integer(v);
            break;
        }
    }
    std::tie(s.timeLESSON_start, s.timeLESSON_end) = lessonSpan(s.time);
    return s;
}

QList<Schedule> schedulesFromAnswer(const QJsonObject& answer, const QString& listKey) {
    QList<Schedule> out;
    const QJsonArray arr = answer.value(QStringLiteral("schedule")).toArray();
    out.reserve(arr.size());
    for (const QJsonValue& v : arr)
        if (v.isObject())
            out.append(scheduleFromMap(v.toObject(), listKey));
    return out;
}

teacherInfo teacherFromMap(const QJsonObject& m) {
    teacherInfo t;
    t.deparment = Json::text(m, QStringLiteral("department"));
    t.description = Json::text(m, QStringLiteral("description"));
    t.full_name = Json::text(m, QStringLiteral("full_name"));
    t.name = Json::text(m, QStringLiteral("name"));
    t.photo_url = Json::text(m, QStringLiteral("photo_url"));
    t.photo_thumb_url = Json::text(m, QStringLiteral("photo_thumb_url"));
    return t;
}

Decoded<Schedule> Schedule::decode(const QJsonObject& o) {
    Strict r{o, {}};
    Schedule s;
    s.classroom = r.text("classroom");
    s.combined_main_groups = r.list("combined_main_groups");
    s.combined_with = r.list("combined_with");
    s.date = r.text("date");
    s.dateTs = r.integer("dateTs");
    s.day = r.text("day");
    s.faculty_id = r.integer("faculty_id");
    s.faculty_name = r.text("faculty_name");
    s.group_id = r.integer("group_id");
    s.group_name = r.text("group_name");
    s.hash = r.text("hash");
    s.id = r.integer("id");
    s.is_combined = r.boolean("is_combined");
    s.lessonType = r.text("lessonType");
    s.number = r.integer("number");
    s.source = r.text("source");
    s.subject = r.text("subject");
    s.teacher = r.text("teacher");
    s.teacher_full_name = r.text("teacher_full_name");
    s.teacher_photo = r.text("teacher_photo");
    s.time = r.text("time");
    s.timeupdate = r.integer("timeupdate");
    s.timeLESSON_start = r.integer("timeLESSON_start");
    s.timeLESSON_end = r.integer("timeLESSON_end");
    if (!r.error.isEmpty())
        return {std::nullopt, r.error};
    return {s, {}};
}

Decoded<teacherInfo> teacherInfo::decode(const QJsonObject& o) {
    Strict r{o, {}};
    teacherInfo t;
    t.deparment = r.text("deparment");
    t.description = r.text("description");
    t.full_name = r.text("full_name");
    t.name = r.text("name");
    t.photo_url = r.text("photo_url");
    t.photo_thumb_url = r.text("photo_thumb_url");
    if (!r.error.isEmpty())
        return {std::nullopt, r.error};
    return {t, {}};
}
