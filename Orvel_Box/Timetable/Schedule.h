#pragma once
#include <QJsonObject>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

// Outcome of a strict decoding: the record, or the first key that was missing or mistyped.
template <class T> struct Decoded {
    std::optional<T> value;
    QString error;
};

// One lesson of a group's or a teacher's week. Field names are the service's keys.
struct Schedule {
    Q_GADGET
    Q_PROPERTY(QString classroom MEMBER classroom)
    Q_PROPERTY(QStringList combined_with MEMBER combined_with)
    Q_PROPERTY(QString day MEMBER day)
    Q_PROPERTY(QString faculty_name MEMBER faculty_name)
    Q_PROPERTY(QString group_name MEMBER group_name)
    Q_PROPERTY(qint64 id MEMBER id)
    Q_PROPERTY(QString subject MEMBER subject)
    Q_PROPERTY(QString teacher MEMBER teacher)
    Q_PROPERTY(QString teacher_full_name MEMBER teacher_full_name)
    Q_PROPERTY(QString teacher_photo MEMBER teacher_photo)
    Q_PROPERTY(QString time MEMBER time)
    Q_PROPERTY(qint64 timeLESSON_start MEMBER timeLESSON_start)
    Q_PROPERTY(qint64 timeLESSON_end MEMBER timeLESSON_end)
  public:
    QString classroom;
    QStringList combined_main_groups;
    QStringList combined_with;
    QString date;
    qint64 dateTs = 0;
    QString day;
    qint64 faculty_id = 0;
    QString faculty_name;
    qint64 group_id = 0;
    QString group_name;
    QString hash;
    qint64 id = 0;
    bool is_combined = false;
    QString lessonType;
    qint64 number = 0;
    QString source;
    QString subject;
    QString teacher;
    QString teacher_full_name;
    QString teacher_photo;
    QString time;
    qint64 timeupdate = 0;
    qint64 timeLESSON_start = 0;
    qint64 timeLESSON_end = 0;

    // Every key required with its exact type; "combined_with" is the only list key accepted.
    static Decoded<Schedule> decode(const QJsonObject& o);

    bool operator==(const Schedule&) const = default;
};

// A teacher's profile. The department field keeps the service's historical spelling.
struct teacherInfo {
    Q_GADGET
    Q_PROPERTY(QString deparment MEMBER deparment)
    Q_PROPERTY(QString description MEMBER description)
    Q_PROPERTY(QString full_name MEMBER full_name)
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(QString photo_url MEMBER photo_url)
    Q_PROPERTY(QString photo_thumb_url MEMBER photo_thumb_url)
  public:
    QString deparment;
    QString description;
    QString full_name;
    QString name;
    QString photo_url;
    QString photo_thumb_url;

    static Decoded<teacherInfo> decode(const QJsonObject& o);
};

// Never fails: every missing or mistyped value becomes the field's default. `listKey` is
// "combined_with" for a group's week and "combined_groups" for a teacher's week.
Schedule scheduleFromMap(const QJsonObject& map, const QString& listKey);
// The lessons of a timetable answer's "schedule" array (non-object elements are skipped).
QList<Schedule> schedulesFromAnswer(const QJsonObject& answer, const QString& listKey);
teacherInfo teacherFromMap(const QJsonObject& map);
// An optional sign followed by one or more decimal digits and nothing else, within 64 bits.
std::optional<qint64> strictInteger(QStringView text);
// The pieces of a "hh:mm-hh:mm" lesson time between dashes, trimmed, empty ones dropped.
QStringList lessonTimePieces(const QString& time);
// Minutes after midnight of one "hours:minutes" piece; unparsable parts count as 0.
qint64 lessonMinutes(const QString& piece);
// Start and end minutes of a "hh:mm-hh:mm" lesson time.
std::pair<qint64, qint64> lessonSpan(const QString& time);

Q_DECLARE_METATYPE(Schedule)
Q_DECLARE_METATYPE(teacherInfo)
