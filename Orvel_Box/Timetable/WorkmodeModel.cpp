#include "WorkmodeModel.h"

#include "JsonRead.h"
#include "Log.h"
#include "RequestGate.h"
#include "WorkModeStore.h"

#include <QJsonArray>
#include <limits>

namespace {
using WorkModeStore::Key;

// The answer of one service call; a failure is written to the log and gives nothing.
template <class T> QCoro::Task<std::optional<T>> answerOf(QCoro::Task<Result<T>> call) {
    const Result<T> result = co_await std::move(call);
    if (!result.ok()) {
        Log::line(Log::timetable(), result.error().description());
        co_return std::nullopt;
    }
    co_return result.value();
}

// An id beyond the range the pickers hold counts as no integer at all.
int idOf(const QJsonObject& o) {
    const qint64 id = Json::integer(o, QStringLiteral("id"));
    return id >= std::numeric_limits<int>::min() && id <= std::numeric_limits<int>::max() ? int(id)
                                                                                          : 0;
}

template <class Make>
QList<option> optionsOf(const QJsonObject& answer, const QString& key, Make make) {
    const QJsonArray list = Json::array(answer, key);
    QList<option> out{option::none()};
    out.reserve(list.size() + 1);
    for (qsizetype i = 0; i < list.size(); ++i)
        if (std::optional<option> o = make(list[i].toObject(), i))
            out.append(std::move(*o));
    return out;
}
} // namespace

WorkmodeModel::WorkmodeModel(QObject* parent)
    : QObject(parent), m_faculties(new OptionList(this)), m_groups(new OptionList(this)),
      m_teachers(new OptionList(this)) {
    m_faculties->setItems({option::none()});
    m_groups->setItems({option::none()});
    m_teachers->setItems({option::none()});
}

void WorkmodeModel::setCo(CO* co) {
    if (co == m_co)
        return;
    m_co = co;
    emit coChanged();
}

template <class T> void WorkmodeModel::set(T& field, T value) {
    if (field == value)
        return;
    field = value;
    emit changed();
}

const QHash<QString, QString>& WorkmodeModel::facultyBadges() {
    static const QHash<QString, QString> badges{
        {QStringLiteral("Педагогический факультет"), QStringLiteral("graduationcap")},
        {QStringLiteral("Факультет гуманитарного знания и коммуникаций"),
         QStringLiteral("person.line.dotted.person.fill")},
        {QStringLiteral("Факультет математики и информационных технологий"),
         QStringLiteral("radicand.squareroot")},
        {QStringLiteral("Факультет обучения иностранных граждан"), QStringLiteral("globe")},
        {QStringLiteral("Факультет социальной педагогики и психологии"),
         QStringLiteral("bubble.left.and.text.bubble.right")},
        {QStringLiteral("Факультет физической культуры и спорта"), QStringLiteral("basketball")},
        {QStringLiteral("Факультет химико-биологических и географических наук"),
         QStringLiteral("flask")},
        {QStringLiteral("Художественно-графический факультет"), QStringLiteral("paintpalette")},
        {QStringLiteral("Юридический факультет"), QStringLiteral("briefcase")},
    };
    return badges;
}

// Teachers have no id of their own: their place in the answer is theirs.
QList<option> WorkmodeModel::teacherOptions(const QJsonObject& answer) {
    return optionsOf(answer, QStringLiteral("teachers"), [](const QJsonObject& t, qsizetype i) {
        const QString thumb = Json::text(t, QStringLiteral("photo_thumb_url"));
        return std::optional<option>(
            {int(i), Json::text(t, QStringLiteral("name")),
             thumb.isEmpty() ? QStringLiteral("person.crop.circle.fill") : thumb});
    });
}

QList<option> WorkmodeModel::facultyOptions(const QJsonObject& answer) {
    return optionsOf(answer, QStringLiteral("faculties"), [](const QJsonObject& f, qsizetype) {
        const QString name = Json::text(f, QStringLiteral("name"));
        // The university's public list carries a leftover entry of its web site.
        if (name == u"Расширенная настройка cookie")
            return std::optional<option>();
        return std::optional<option>({idOf(f), name, facultyBadges().value(name)});
    });
}

QList<option> WorkmodeModel::groupOptions(const QJsonObject& answer) {
    return optionsOf(answer, QStringLiteral("groups"), [](const QJsonObject& g, qsizetype) {
        return std::optional<option>(
            {idOf(g), Json::text(g, QStringLiteral("name")), QStringLiteral("person.3")});
    });
}

void WorkmodeModel::load() {
    loadTask();
}

QCoro::Task<void> WorkmodeModel::loadTask() {
    const LoadTicket ticket = m_loads.start(this);
    // Opened on the early screen: the lists wait, loading, for the start-up check.
    co_await RequestGate::instance().passage();
    // Each step needs this load still the newest and the coordinator still there.
    const auto api = [&]() -> OrvelApi* {
        return ticket.current() && m_co ? m_co->api() : nullptr;
    };
    if (!api())
        co_return;
    const auto mode = co_await answerOf(WorkModeStore::read(api(), Key::mode));
    if (!mode || !api())
        co_return;
    const bool teacherMode = *mode == u"teacher";
    set(m_selectedMode, teacherMode ? 1 : 0);

    const auto teachers = co_await answerOf(api()->getTeachers(std::nullopt, 100000, 0));
    if (!teachers || !api())
        co_return;
    const auto faculties = co_await answerOf(api()->getFaculties());
    if (!faculties || !api())
        co_return;
    m_teachers->setItems(teacherOptions(*teachers));
    m_faculties->setItems(facultyOptions(*faculties));

    if (teacherMode) {
        const auto teacher = co_await answerOf(WorkModeStore::read(api(), Key::teacher));
        if (!teacher || !api())
            co_return;
        set(m_selectedTeacher, m_teachers->idOfName(teacher->value_or(QString())));
        set(m_isLoading, false);
        set(m_buttonVisible, true);
        co_return;
    }

    const auto faculty = co_await answerOf(WorkModeStore::read(api(), Key::faculty));
    if (!faculty || !api())
        co_return;
    const auto group = co_await answerOf(WorkModeStore::read(api(), Key::group));
    if (!group || !api())
        co_return;
    const std::optional<QString> facultyName = *faculty;
    if (!facultyName) {
        set(m_isLoading, false);
        co_return;
    }
    set(m_selectedFaculty, m_faculties->idOfName(*facultyName));
    const auto groups = co_await answerOf(api()->getGroups(*facultyName));
    if (!api())
        co_return;
    const std::optional<QString> groupName = *group;
    // The service refuses the groups of a faculty it no longer lists. Waiting for good would
    // lock the user out of the one screen that mends the choice, so the screen opens without
    // the group picker instead, as if no group were stored.
    if (!groups || !groupName) {
        set(m_isLoading, false);
        co_return;
    }
    m_groups->setItems(groupOptions(*groups));
    set(m_selectedGroup, m_groups->idOfName(*groupName));
    set(m_groupsOpened, true);
    set(m_isLoading, false);
    set(m_buttonVisible, true);
}

void WorkmodeModel::chooseMode(int mode) {
    set(m_selectedMode, mode == 0 ? 0 : 1);
    set(m_buttonVisible, m_selectedMode == 0 ? m_selectedFaculty != -1 && m_selectedGroup != -1
                                             : m_selectedTeacher != -1);
}

void WorkmodeModel::chooseFaculty(int id) {
    set(m_selectedFaculty, id);
    // The group picked before belongs to another faculty, or to none: saving it now would
    // store it beside the wrong faculty or an empty one.
    set(m_buttonVisible, false);
    if (id == -1) {
        // A group load still out belongs to a faculty no longer chosen.
        m_groupLoads.invalidate();
        set(m_groupsOpened, false);
        return;
    }
    loadGroupsTask(m_faculties->nameOfId(id));
}

void WorkmodeModel::chooseGroup(int id) {
    set(m_selectedGroup, id);
    set(m_buttonVisible, id != -1);
}

void WorkmodeModel::chooseTeacher(int id) {
    set(m_selectedTeacher, id);
    set(m_buttonVisible, id != -1);
}

QCoro::Task<void> WorkmodeModel::loadGroupsTask(QString faculty) {
    if (!m_co || !m_co->api())
        co_return;
    const LoadTicket ticket = m_groupLoads.start(this);
    const auto groups = co_await answerOf(m_co->api()->getGroups(faculty));
    if (!groups || !ticket.current())
        co_return;
    m_groups->setItems(groupOptions(*groups));
    set(m_selectedGroup, -1);
    set(m_groupsOpened, true);
}

void WorkmodeModel::save() {
    const bool start = !m_buttonSaving;
    set(m_buttonSaving, true);
    if (start)
        saveTask();
}

QList<std::pair<QString, QString>> WorkmodeModel::choiceToStore() const {
    if (m_selectedMode != 0)
        return WorkModeStore::teacherEntries(m_teachers->nameOfId(m_selectedTeacher));
    return WorkModeStore::studentEntries(m_faculties->nameOfId(m_selectedFaculty),
                                         m_groups->nameOfId(m_selectedGroup));
}

// The choice is taken when the save starts, so picking on while it runs cannot mix the keys
// of two choices.
QCoro::Task<void> WorkmodeModel::saveTask() {
    QPointer<WorkmodeModel> self(this);
    const QList<std::pair<QString, QString>> writes = choiceToStore();
    for (const auto& [key, value] : writes) {
        if (!self || !self->m_co || !self->m_co->api())
            co_return;
        const auto written = co_await answerOf(m_co->api()->storageSet(key, value));
        if (!written)
            co_return;
    }
    if (!self)
        co_return;
    set(m_buttonSaving, false);
    emit saved();
}
