#include "SettingsModel.h"

SettingsModel::SettingsModel(QObject* parent) : ScreenModel(parent) {
    for (const QString& name : Preferences::accentNames())
        m_allAccentColors.append({QUuid::createUuid(), name, Preferences::accentColorOf(name)});
}

void SettingsModel::setCoordinator(CoordinatorModel* coordinator) {
    if (coordinator == m_coordinator)
        return;
    if (m_coordinator)
        disconnect(m_coordinator->preferences(), nullptr, this, nullptr);
    m_coordinator = coordinator;
    if (m_coordinator) {
        connect(m_coordinator->preferences(), &Preferences::changed, this,
                &SettingsModel::markedAccentChanged);
        connect(m_coordinator->preferences(), &Preferences::changed, this,
                &SettingsModel::lessonsChanged);
    }
    emit coordinatorChanged();
    emit markedAccentChanged();
    emit lessonsChanged();
}

QStringList SettingsModel::themeLabels() {
    return {QStringLiteral("Системная"), QStringLiteral("Светлая"), QStringLiteral("Темная")};
}

QString SettingsModel::themeText(int theme) {
    return theme == 2   ? QStringLiteral("dark")
           : theme == 1 ? QStringLiteral("light")
                        : QStringLiteral("system");
}

int SettingsModel::themeIndex(const QString& text) {
    return text == u"light" ? 1 : text == u"dark" ? 2 : 0;
}

// The screen shows the stored theme. This is a change like any other: a stored "light" or
// "dark" is written once more.
void SettingsModel::appeared() {
    if (m_coordinator)
        setSelectedTheme(themeIndex(m_coordinator->preferences()->theme()));
}

void SettingsModel::setSelectedTheme(int theme) {
    if (theme == m_selectedTheme)
        return;
    m_selectedTheme = theme;
    emit selectedThemeChanged();
    if (m_coordinator)
        m_coordinator->preferences()->chooseTheme(themeText(theme));
}

QString SettingsModel::markedAccent() const {
    return m_coordinator ? m_coordinator->preferences()->accentName() : QStringLiteral("blue");
}

int SettingsModel::indexOf(const QString& name) const {
    for (qsizetype i = 0; i < m_allAccentColors.size(); ++i)
        if (m_allAccentColors[i].name == name)
            return int(i);
    return -1;
}

void SettingsModel::chooseAccent(const QString& name) {
    if (m_coordinator)
        m_coordinator->preferences()->chooseAccent(name);
}

bool SettingsModel::currentLesson() const {
    return m_coordinator ? m_coordinator->preferences()->currentLesson() : true;
}

bool SettingsModel::nextLesson() const {
    return m_coordinator ? m_coordinator->preferences()->nextLesson() : true;
}

// Setting the shown value sends nothing: a switch re-asserting its state is no choice.
void SettingsModel::setCurrentLesson(bool on) {
    if (m_coordinator && on != currentLesson())
        m_coordinator->preferences()->chooseCurrentLesson(on);
}

void SettingsModel::setNextLesson(bool on) {
    if (m_coordinator && on != nextLesson())
        m_coordinator->preferences()->chooseNextLesson(on);
}
