#pragma once
#include "CO.h"
#include "LoadTicket.h"
#include "OptionFilterModel.h"

#include <QCoroTask>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

// The work-mode screen: whose timetable the application shows, a student group (mode 0: a
// faculty, then one of its groups) or a teacher (mode 1). The choice lives in the per-user
// store (WorkModeStore); load() restores it and fills the lists, save() writes it back.
//
// A service failure ends the load, group load or save where it happened: the description goes
// to the log and the state stays as it was (a failed load keeps isLoading, a failed save keeps
// buttonSaving, so the button keeps its progress and starts no second save).
class WorkmodeModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(CO* co READ co WRITE setCo NOTIFY coChanged)
    Q_PROPERTY(int selectedMode READ selectedMode NOTIFY changed)
    Q_PROPERTY(OptionList* faculties READ faculties CONSTANT)
    Q_PROPERTY(OptionList* groups READ groups CONSTANT)
    Q_PROPERTY(OptionList* teachers READ teachers CONSTANT)
    Q_PROPERTY(int selectedFaculty READ selectedFaculty NOTIFY changed)
    Q_PROPERTY(int selectedGroup READ selectedGroup NOTIFY changed)
    Q_PROPERTY(int selectedTeacher READ selectedTeacher NOTIFY changed)
    Q_PROPERTY(bool groupsOpened READ groupsOpened NOTIFY changed)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY changed)
    Q_PROPERTY(bool buttonVisible READ buttonVisible NOTIFY changed)
    Q_PROPERTY(bool buttonSaving READ buttonSaving NOTIFY changed)
  public:
    explicit WorkmodeModel(QObject* parent = nullptr);

    CO* co() const { return m_co; }
    void setCo(CO* co);
    int selectedMode() const { return m_selectedMode; }
    OptionList* faculties() const { return m_faculties; }
    OptionList* groups() const { return m_groups; }
    OptionList* teachers() const { return m_teachers; }
    int selectedFaculty() const { return m_selectedFaculty; }
    int selectedGroup() const { return m_selectedGroup; }
    int selectedTeacher() const { return m_selectedTeacher; }
    bool groupsOpened() const { return m_groupsOpened; }
    bool isLoading() const { return m_isLoading; }
    bool buttonVisible() const { return m_buttonVisible; }
    bool buttonSaving() const { return m_buttonSaving; }

    // Restores the stored choice and fills the lists; the screen calls it each time it is shown.
    Q_INVOKABLE void load();
    // The mode tiles.
    Q_INVOKABLE void chooseMode(int mode);
    // Choices made in the pickers: each stores the id, then acts on it.
    Q_INVOKABLE void chooseFaculty(int id);
    Q_INVOKABLE void chooseGroup(int id);
    Q_INVOKABLE void chooseTeacher(int id);
    // The save button: starts a save unless one is under way (or failed).
    Q_INVOKABLE void save();

    // Symbol of each known faculty.
    static const QHash<QString, QString>& facultyBadges();
    // The picker lists built from the service's answers, each starting with the no-choice entry.
    static QList<option> teacherOptions(const QJsonObject& answer);
    static QList<option> facultyOptions(const QJsonObject& answer);
    static QList<option> groupOptions(const QJsonObject& answer);

  signals:
    void coChanged();
    void changed();
    // Every key of the choice was written.
    void saved();
    // A load, group load or save ended (finished or failed); for tests and diagnostics.
    void settled();

  private:
    QCoro::Task<void> loadTask();
    QCoro::Task<void> loadGroupsTask(QString faculty);
    QCoro::Task<void> saveTask();
    // The keys and values a save writes now, in writing order.
    QList<std::pair<QString, QString>> choiceToStore() const;
    template <class T> void set(T& field, T value);

    QPointer<CO> m_co;
    OptionList* m_faculties;
    OptionList* m_groups;
    OptionList* m_teachers;
    int m_selectedMode = 0;
    int m_selectedFaculty = -1;
    int m_selectedGroup = -1;
    int m_selectedTeacher = -1;
    bool m_groupsOpened = false;
    bool m_isLoading = true;
    bool m_buttonVisible = false;
    bool m_buttonSaving = false;
    LoadTickets m_loads;
    // Only the group load asked for last may set the groups, whatever the order the answers
    // come in, so the groups shown always belong to the faculty shown.
    LoadTickets m_groupLoads;
};
