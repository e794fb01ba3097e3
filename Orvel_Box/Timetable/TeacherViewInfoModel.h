#pragma once
#include "LoadTicket.h"
#include "Schedule.h"
#include "ScreenModel.h"

#include <QCoroTask>
#include <QUrl>

// The teacher card: looks the teacher up by the short name a lesson carries, each time the card
// is shown (the newest look-up is the one shown). After a failure the card keeps what it had,
// waiting if it had nothing, until the next showing tries again.
class TeacherViewInfoModel : public ScreenModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString teacherName READ teacherName WRITE setTeacherName NOTIFY teacherNameChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY changed)
    Q_PROPERTY(teacherInfo tech READ tech NOTIFY changed)
    Q_PROPERTY(QString displayName READ displayName NOTIFY changed)
    Q_PROPERTY(QUrl photoUrl READ photoUrl NOTIFY changed)
    Q_PROPERTY(QString sourceLine READ sourceLine CONSTANT)
  public:
    using ScreenModel::ScreenModel;

    QString teacherName() const { return m_teacherName; }
    void setTeacherName(const QString& name);
    bool isLoading() const { return m_isLoading; }
    teacherInfo tech() const { return m_tech; }
    QString displayName() const {
        return m_tech.full_name.isEmpty() ? m_tech.name : m_tech.full_name;
    }
    QUrl photoUrl() const;
    // Where the profiles come from, with a link to the institution's site (styled text).
    static QString sourceLine();

  signals:
    void teacherNameChanged();
    void changed();

  protected:
    void appeared() override;

  private:
    QCoro::Task<void> loadTask();

    QString m_teacherName;
    teacherInfo m_tech;
    bool m_isLoading = true;
    LoadTickets m_loads;
};
