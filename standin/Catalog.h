// Demo data of the stand-in: faculties, groups, teachers, week timetables and news, all derived
// from a fixed seed so that every run (and every test) sees the same university. Week
// timetables are generated on demand from the seed and the week's Monday, not stored.
#pragma once

#include <QDate>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace standin {

struct Faculty {
    int id = 0;
    QString name;
    QString code; // group name prefix
    QString degreeField;
    QStringList departments;
    QStringList subjects;
};

struct Group {
    int id = 0;
    int facultyId = 0;
    QString name;
    int year = 0; // two-digit year of admission
};

struct Teacher {
    int id = 0;
    int facultyId = 0;
    QString name;     // "Фамилия И.О."
    QString fullName; // "Фамилия Имя Отчество"
    QString department;
    QString description;
    QStringList subjects;
    bool hasPhoto = true;
};

// One lesson event; a combined lecture is one event attended by several groups.
struct Lesson {
    qint64 id = 0;
    QDate date;
    int number = 0; // 1-based pair number
    int facultyId = 0;
    QList<int> groupIds; // the main group first
    int teacherId = 0;   // 0: no teacher
    QString subject;     // with its kind tag, "Программирование (Лаб)"
    QString classroom;
};

struct NewsItem {
    QString id;
    QString title;
    QString author;
    QDate date;
    QString preview; // file name inside the record's files
    QStringList paragraphs;
};

class Catalog {
  public:
    static constexpr int kFirstOffset = -30; // the week range the timetable covers
    static constexpr int kLastOffset = 1;
    static const QString kNewsCollectionId;

    explicit Catalog(bool withDemoData);

    static QString demoTeacherName();
    static QStringList facultyNames();
    static QDate mondayOf(QDate day);
    static QString dayName(QDate day); // "Понедельник" .. "Воскресенье"

    const QList<Faculty>& faculties() const { return m_faculties; }
    const QList<Teacher>& teachers() const { return m_teachers; }
    const QList<NewsItem>& news() const { return m_news; }
    QList<Group> groupsOf(int facultyId) const;
    const Faculty* faculty(const QString& name) const;
    const Group* group(int facultyId, const QString& name) const;
    const Group* groupById(int id) const;
    const Teacher* teacher(const QString& name) const;
    const Teacher* teacher(int id) const;
    const NewsItem* newsItem(const QString& id) const;

    // Lessons of a week (Monday given), sorted by date and pair; empty outside the covered
    // weeks. A teacher's week holds exactly the events of the groups that name that teacher.
    QList<Lesson> groupWeek(int groupId, QDate monday) const;
    QList<Lesson> teacherWeek(int teacherId, QDate monday) const;

    // Wire forms. `viewerGroupId` 0 gives the teacher-timetable form ("combined_groups" with
    // every attending group) instead of the group form ("combined_with", the other groups).
    QJsonObject lessonJson(const Lesson& l, int viewerGroupId, const QString& origin) const;
    QJsonObject teacherJson(const Teacher& t, const QString& origin) const;

  private:
    const QList<Lesson>& facultyWeek(int facultyId, QDate monday) const;

    QList<Faculty> m_faculties;
    QList<Group> m_groups;
    QList<Teacher> m_teachers;
    QList<NewsItem> m_news;
    mutable QHash<QPair<int, qint64>, QList<Lesson>> m_weeks; // (faculty, Monday's day number)
};

} // namespace standin
