#pragma once
#include "PictureUrl.h"
#include "Schedule.h"

#include <QObject>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

// The kind of a lesson, recognised from the tags in its subject.
struct LessonKind {
    QString label;
    QString colorName; // a named system colour of the palette
};
// The first kind whose tag occurs in `subject` (exact, case-sensitive); "Другое" when none.
LessonKind lessonKind(const QString& subject);
// `subject` without any of the kind tags; the blanks that stood next to a tag are kept.
QString lessonTitle(const QString& subject);

// What the lesson card shows of one lesson in one work mode.
class ScheduleBoxModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(Schedule item READ item WRITE setItem NOTIFY changed)
    Q_PROPERTY(QString mode READ mode WRITE setMode NOTIFY changed)
    Q_PROPERTY(QString title READ title NOTIFY changed)
    Q_PROPERTY(QString kindLabel READ kindLabel NOTIFY changed)
    Q_PROPERTY(QString kindColor READ kindColor NOTIFY changed)
    Q_PROPERTY(QString startTime READ startTime NOTIFY changed)
    Q_PROPERTY(QString endTime READ endTime NOTIFY changed)
    Q_PROPERTY(bool studentMode READ studentMode NOTIFY changed)
    Q_PROPERTY(bool showsTeacher READ showsTeacher NOTIFY changed)
    Q_PROPERTY(QString teacherName READ teacherName NOTIFY changed)
    Q_PROPERTY(QUrl teacherPhoto READ teacherPhoto NOTIFY changed)
  public:
    using QObject::QObject;

    Schedule item() const { return m_item; }
    void setItem(const Schedule& item);
    QString mode() const { return m_mode; }
    void setMode(const QString& mode);

    QString title() const { return lessonTitle(m_item.subject); }
    QString kindLabel() const { return m_kind.label; }
    QString kindColor() const { return m_kind.colorName; }
    // The first and second piece of the lesson time; a missing piece is empty.
    QString startTime() const { return m_times.value(0); }
    QString endTime() const { return m_times.value(1); }
    bool studentMode() const { return m_mode == QLatin1String("student"); }
    bool showsTeacher() const { return studentMode() && !m_item.teacher.isEmpty(); }
    QString teacherName() const;
    QUrl teacherPhoto() const { return pictureUrl(m_item.teacher_photo); }

  signals:
    void changed();

  private:
    Schedule m_item;
    QString m_mode = QStringLiteral("student");
    LessonKind m_kind = lessonKind({});
    QStringList m_times;
};
