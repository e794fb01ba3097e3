#include "SettingsModel.h"

#include "PreferenceWriter.h"

namespace {
const QString themeKey = QStringLiteral("settings__theme");
const QString accentKey = QStringLiteral("settings__accent_color");
const QString accentNameKey = QStringLiteral("settings__accent_color_string");
} // namespace

SettingsModel::SettingsModel(QObject* parent) : ScreenModel(parent) {
    for (const char* name : {"blue", "red", "orange", "yellow", "green", "mint", "teal", "cyan",
                             "indigo", "purple", "pink", "brown"}) {
        const QString n = QString::fromLatin1(name);
        m_allAccentColors.append({QUuid::createUuid(), n, CoordinatorModel::accentColor(n)});
    }
}

void SettingsModel::setCoordinator(CoordinatorModel* coordinator) {
    if (coordinator == m_coordinator)
        return;
    if (m_coordinator)
        disconnect(m_coordinator, nullptr, this, nullptr);
    m_coordinator = coordinator;
    if (m_coordinator)
        connect(m_coordinator, &CoordinatorModel::settingsChanged, this,
                &SettingsModel::markedAccentChanged);
    emit coordinatorChanged();
    emit markedAccentChanged();
}

QStringList SettingsModel::themeLabels() {
    return {QStringLiteral("Системная"), QStringLiteral("Светлая"), QStringLiteral("Темная")};
}

QString SettingsModel::themeText(int theme) {
    return theme == 2   ? QStringLiteral("dark")
           : theme == 1 ? QStringLiteral("light")
                        : QStringLiteral("system");
}

int SettingsModel::themeIndex(const QVariant& text) {
    if (text.metaType() != QMetaType::fromType<QString>())
        return 0;
    const QString theme = text.toString();
    return theme == u"light" ? 1 : theme == u"dark" ? 2 : 0;
}

// The screen shows the stored theme. This is a change like any other: a stored "light" or
// "dark" is written once more.
void SettingsModel::appeared() {
    if (m_coordinator)
        setSelectedTheme(themeIndex(m_coordinator->settings().value(themeKey)));
}

void SettingsModel::setSelectedTheme(int theme) {
    if (theme == m_selectedTheme)
        return;
    m_selectedTheme = theme;
    emit selectedThemeChanged();
    const QString text = themeText(theme);
    if (m_coordinator)
        m_coordinator->setSetting(themeKey, text);
    store(themeKey, text);
}

QString SettingsModel::markedAccent() const {
    const QVariant name =
        m_coordinator ? m_coordinator->settings().value(accentNameKey) : QVariant();
    return name.metaType() == QMetaType::fromType<QString>() ? name.toString()
                                                             : QStringLiteral("blue");
}

int SettingsModel::indexOf(const QString& name) const {
    for (qsizetype i = 0; i < m_allAccentColors.size(); ++i)
        if (m_allAccentColors[i].name == name)
            return int(i);
    return -1;
}

void SettingsModel::chooseAccent(const QString& name) {
    const int index = indexOf(name);
    if (index < 0)
        return;
    const accentColor& swatch = m_allAccentColors[index];
    if (m_coordinator) {
        m_coordinator->setSetting(accentKey, swatch.color);
        m_coordinator->setSetting(accentNameKey, swatch.name);
    }
    store(accentKey, swatch.name);
}

void SettingsModel::store(const QString& key, const QString& value) {
    if (co())
        PreferenceWriter::of(co())->write(key, value);
}
