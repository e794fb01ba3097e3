#include "CoordinatorModel.h"

#include "JsonRead.h"
#include "Log.h"
#include "Palette.h"

#include <QJsonArray>

namespace {
const QString themeKey = QStringLiteral("settings__theme");
const QString currentLessonKey = QStringLiteral("settings__current_lesson");
const QString nextLessonKey = QStringLiteral("settings__next_lesson");
const QString accentKey = QStringLiteral("settings__accent_color");
const QString accentNameKey = QStringLiteral("settings__accent_color_string");

} // namespace

// The names of an answer's "keys" list in answer order; anything but a list of objects is
// read as no keys at all.
QStringList CoordinatorModel::storedKeys(const QJsonObject& answer) {
    const QJsonValue keys = answer.value(QStringLiteral("keys"));
    if (!keys.isArray())
        return {};
    QStringList names;
    for (const QJsonValue& entry : keys.toArray()) {
        if (!entry.isObject())
            return {};
        names.append(Json::text(entry.toObject(), QStringLiteral("key")));
    }
    return names;
}

namespace {
// The order in which the stored preferences are asked for.
QStringList readOrder() {
    return {nextLessonKey, currentLessonKey, themeKey, accentKey};
}

} // namespace

// The stored preferences as the screens use them; a value of the wrong kind reads as its
// default.
void CoordinatorModel::insertPreferences(QVariantMap& settings, const QJsonObject& values) {
    const QString accentName = Json::text(values, accentKey, QStringLiteral("blue"));
    settings.insert(themeKey, Json::text(values, themeKey, QStringLiteral("system")));
    settings.insert(currentLessonKey, Json::boolean(values.value(currentLessonKey)).value_or(true));
    settings.insert(nextLessonKey, Json::boolean(values.value(nextLessonKey)).value_or(true));
    settings.insert(accentNameKey, accentName);
    settings.insert(accentKey, CoordinatorModel::accentColor(accentName));
}

CoordinatorModel::CoordinatorModel(QObject* parent) : CoordinatorModel(new CO, parent) {}

CoordinatorModel::CoordinatorModel(CO* co, QObject* parent) : QObject(parent), m_co(co) {
    m_co->setParent(this);
    m_lastScreen = screen();
    connect(m_co, &CO::appStateChanged, this, &CoordinatorModel::onAppStateChanged);
    if (m_co->appState() == CO::appStates::home)
        bootstrap();
}

const QList<std::pair<QString, QString>>& CoordinatorModel::defaults() {
    static const QList<std::pair<QString, QString>> list{
        {themeKey, QStringLiteral("system")},
        {currentLessonKey, QStringLiteral("true")},
        {nextLessonKey, QStringLiteral("true")},
        {accentKey, QStringLiteral("blue")},
    };
    return list;
}

QColor CoordinatorModel::accentColor(const QString& name) {
    static const QStringList accents{
        QStringLiteral("red"),    QStringLiteral("orange"), QStringLiteral("yellow"),
        QStringLiteral("green"),  QStringLiteral("mint"),   QStringLiteral("teal"),
        QStringLiteral("cyan"),   QStringLiteral("blue"),   QStringLiteral("indigo"),
        QStringLiteral("purple"), QStringLiteral("pink"),   QStringLiteral("brown"),
    };
    const QString known = accents.contains(name) ? name : QStringLiteral("blue");
    return *Palette::named(known);
}

QString CoordinatorModel::screen() const {
    if (m_co->appState() == CO::appStates::home && m_homeSettingsLoading)
        return QStringLiteral("loading");
    return m_co->stateName();
}

void CoordinatorModel::setSettings(const QVariantMap& settings) {
    if (settings == m_settings)
        return;
    m_settings = settings;
    emit settingsChanged();
}

void CoordinatorModel::setSetting(const QString& key, const QVariant& value) {
    QVariantMap next = m_settings;
    next.insert(key, value);
    setSettings(next);
}

void CoordinatorModel::setHomeSettingsLoading(bool on) {
    if (on == m_homeSettingsLoading)
        return;
    m_homeSettingsLoading = on;
    emit homeSettingsLoadingChanged();
    updateScreen();
}

void CoordinatorModel::updateScreen() {
    const QString now = screen();
    if (now == m_lastScreen)
        return;
    m_lastScreen = now;
    emit screenChanged();
}

void CoordinatorModel::onAppStateChanged() {
    if (m_co->appState() == CO::appStates::home) {
        if (m_homeSettingsLoading && !m_bootstrapRunning)
            bootstrap();
    } else if (m_co->appState() == CO::appStates::login) {
        // Signed out: whoever signs in next loads their own preferences.
        ++m_generation;
        m_bootstrapRunning = false;
        setSettings({});
        setHomeSettingsLoading(true);
    }
    updateScreen();
}

QCoro::Task<void> CoordinatorModel::bootstrap() {
    QPointer<CoordinatorModel> self(this);
    const int generation = ++m_generation;
    m_bootstrapRunning = true;
    OrvelApi* api = m_co->api();
    // True when this load may go on: the model lives and nothing overtook the load.
    auto current = [&] { return self && generation == m_generation; };
    auto fail = [&](const ApiError& error) {
        m_bootstrapRunning = false;
        Log::line(error.textForm());
        m_co->setAppState(CO::appStates::offline);
        emit bootstrapFinished(false);
    };

    const ApiResult keys =
        co_await api->request(QStringLiteral("/api/storage/keys"), QStringLiteral("GET"),
                              std::nullopt, QStringLiteral("application/json"), false);
    if (!current())
        co_return;
    if (!keys)
        co_return fail(keys.error());
    const QStringList present = storedKeys(keys.value());

    for (const auto& entry : defaults()) {
        if (present.contains(entry.first))
            continue;
        const ApiResult written = co_await api->storageSet(entry.first, entry.second);
        if (!current())
            co_return;
        if (!written)
            co_return fail(written.error());
    }

    const ApiResult stored = co_await api->storageGetMany(readOrder());
    if (!current())
        co_return;
    if (!stored)
        co_return fail(stored.error());

    QVariantMap settings = m_settings;
    insertPreferences(settings, stored.value());
    m_bootstrapRunning = false;
    setSettings(settings);
    setHomeSettingsLoading(false);
    emit bootstrapFinished(true);
}
