#include "Schedule.h"

#include "JsonRead.h"

#include <QJsonArray>

namespace {
// Blanks around a piece are the service's formatting, not part of the number: "08:30 - 09:50"
// must mean 510 and 590, not 480 and 50.
QStringList pieces(const QString& text, QChar sep) {
    QStringList out;
    for (const QString& p : text.split(sep)) {
        const QString t = p.trimmed();
        if (!t.isEmpty())
            out.append(t);
    }
    return out;
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
    return pieces(time, u'-');
}

qint64 lessonMinutes(const QString& piece) {
    const QStringList parts = pieces(piece, u':');
    const qint64 hours = parts.isEmpty() ? 0 : strictInteger(parts.first()).value_or(0);
    const qint64 minutes = parts.isEmpty() ? 0 : strictInteger(parts.last()).value_or(0);
    qint64 product = 0, sum = 0;
    if (__builtin_mul_overflow(hours, qint64(60), &product) ||
        __builtin_add_overflow(product, minutes, &sum))
        return 0;
    return sum;
}

std::pair<qint64, qint64> lessonSpan(const QString& time) {
    const QStringList parts = lessonTimePieces(time);
    if (parts.isEmpty())
        return {0, 0};
    return {lessonMinutes(parts.first()), lessonMinutes(parts.last())};
}

Schedule scheduleFromMap(const QJsonObject& m, const QString& listKey) {
    auto list = [&](const QString& key) {
        return Json::textList(m.value(key)).value_or(QStringList());
    };
    Schedule s;
    s.classroom = Json::text(m, QStringLiteral("classroom"));
    s.combined_main_groups = list(QStringLiteral("combined_main_groups"));
    s.combined_with = list(listKey);
    s.date = Json::text(m, QStringLiteral("date"));
    s.dateTs = Json::integer(m, QStringLiteral("dateTs"));
    s.day = Json::text(m, QStringLiteral("day"));
    s.faculty_id = Json::integer(m, QStringLiteral("faculty_id"));
    s.faculty_name = Json::text(m, QStringLiteral("faculty_name"));
    s.group_id = Json::integer(m, QStringLiteral("group_id"));
    s.group_name = Json::text(m, QStringLiteral("group_name"));
    s.hash = Json::text(m, QStringLiteral("hash"));
    s.id = Json::integer(m, QStringLiteral("id"));
    s.is_combined = Json::boolean(m, QStringLiteral("is_combined"));
    s.lessonType = Json::text(m, QStringLiteral("lessonType"));
    s.number = Json::integer(m, QStringLiteral("number"));
    s.source = Json::text(m, QStringLiteral("source"));
    s.subject = Json::text(m, QStringLiteral("subject"));
    s.teacher = Json::text(m, QStringLiteral("teacher"));
    s.teacher_full_name = Json::text(m, QStringLiteral("teacher_full_name"));
    s.teacher_photo = Json::text(m, QStringLiteral("teacher_photo"));
    s.time = Json::text(m, QStringLiteral("time"));
    s.timeupdate = Json::integer(m, QStringLiteral("timeupdate"));
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
