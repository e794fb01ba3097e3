#include "Preferences.h"

#include "JsonRead.h"
#include "Log.h"
#include "PreferenceWriter.h"
#include "StoredKeys.h"
#include "SystemColors.h"
#include "WeekStore.h"

namespace {
const QString themeKey = QStringLiteral("settings__theme");
const QString currentLessonKey = QStringLiteral("settings__current_lesson");
const QString nextLessonKey = QStringLiteral("settings__next_lesson");
const QString accentKey = QStringLiteral("settings__accent_color");
// Held in the map only: the store keeps the name under accentKey.
const QString accentNameKey = QStringLiteral("settings__accent_color_string");

// The order in which the stored preferences are asked for.
QStringList readOrder() {
    return {nextLessonKey, currentLessonKey, themeKey, accentKey};
}

template <class T> std::optional<T> held(const QVariantMap& settings, const QString& key) {
    const QVariant value = settings.value(key);
    if (value.metaType() != QMetaType::fromType<T>())
        return std::nullopt;
    return value.value<T>();
}
} // namespace

Preferences::Preferences(CO* co, QObject* parent) : QObject(parent), m_co(co) {}

const QStringList& Preferences::accentNames() {
    static const QStringList names{
        QStringLiteral("blue"),   QStringLiteral("red"),   QStringLiteral("orange"),
        QStringLiteral("yellow"), QStringLiteral("green"), QStringLiteral("mint"),
        QStringLiteral("teal"),   QStringLiteral("cyan"),  QStringLiteral("indigo"),
        QStringLiteral("purple"), QStringLiteral("pink"),  QStringLiteral("brown"),
    };
    return names;
}

QColor Preferences::accentColorOf(const QString& name) {
    return *SystemColors::named(accentNames().contains(name) ? name : QStringLiteral("blue"));
}

const QList<std::pair<QString, QString>>& Preferences::defaults() {
    static const QList<std::pair<QString, QString>> list{
        {themeKey, QStringLiteral("system")},
        {currentLessonKey, QStringLiteral("true")},
        {nextLessonKey, QStringLiteral("true")},
        {accentKey, QStringLiteral("blue")},
    };
    return list;
}

// A stored value of the wrong kind reads as its default.
void Preferences::insertStored(QVariantMap& settings, const QJsonObject& values) {
    const QString accentName = Json::text(values, accentKey, QStringLiteral("blue"));
    settings.insert(themeKey, Json::text(values, themeKey, QStringLiteral("system")));
    settings.insert(currentLessonKey, Json::boolean(values.value(currentLessonKey)).value_or(true));
    settings.insert(nextLessonKey, Json::boolean(values.value(nextLessonKey)).value_or(true));
    settings.insert(accentNameKey, accentName);
    settings.insert(accentKey, accentColorOf(accentName));
}

void Preferences::setSettings(const QVariantMap& settings) {
    if (settings == m_settings)
        return;
    m_settings = settings;
    emit changed();
}

void Preferences::setSetting(const QString& key, const QVariant& value) {
    QVariantMap next = m_settings;
    next.insert(key, value);
    setSettings(next);
}

QString Preferences::theme() const {
    return held<QString>(m_settings, themeKey).value_or(QString());
}

QString Preferences::scheme() const {
    const QString t = theme();
    return t == u"dark" || t == u"light" ? t : QString();
}

QColor Preferences::accentColorOr(const QColor& fallback) const {
    return held<QColor>(m_settings, accentKey).value_or(fallback);
}

QString Preferences::accentName() const {
    return held<QString>(m_settings, accentNameKey).value_or(QStringLiteral("blue"));
}

bool Preferences::currentLesson() const {
    return held<bool>(m_settings, currentLessonKey).value_or(true);
}

bool Preferences::nextLesson() const {
    return held<bool>(m_settings, nextLessonKey).value_or(true);
}

void Preferences::chooseCurrentLesson(bool on) {
    chooseFlag(currentLessonKey, on);
}

void Preferences::chooseNextLesson(bool on) {
    chooseFlag(nextLessonKey, on);
}

void Preferences::chooseFlag(const QString& key, bool on) {
    setSetting(key, on);
    keepAndWrite(key, on);
}

void Preferences::showKept(const QString& account) {
    const std::optional<QJsonObject> kept = WeekStore::shared().preferences(account);
    if (!kept || !m_loading)
        return;
    QVariantMap settings = m_settings;
    insertStored(settings, *kept);
    setSettings(settings);
}

void Preferences::keep() const {
    const QString account = m_co->account();
    if (account.isEmpty() || m_loading)
        return;
    WeekStore::shared().setPreferences(account, {{themeKey, theme()},
                                                 {accentKey, accentName()},
                                                 {currentLessonKey, currentLesson()},
                                                 {nextLessonKey, nextLesson()}});
}

void Preferences::keepAndWrite(const QString& key, const QJsonValue& value) {
    keep();
    writer()->write(key, value);
}

PreferenceWriter* Preferences::writer() const {
    return PreferenceWriter::of(m_co);
}

void Preferences::chooseTheme(const QString& theme) {
    setSetting(themeKey, theme);
    keepAndWrite(themeKey, theme);
}

void Preferences::chooseAccent(const QString& name) {
    if (!accentNames().contains(name))
        return;
    QVariantMap next = m_settings;
    next.insert(accentKey, accentColorOf(name));
    next.insert(accentNameKey, name);
    setSettings(next);
    keepAndWrite(accentKey, name);
}

void Preferences::setLoading(bool on) {
    if (on == m_loading)
        return;
    m_loading = on;
    emit loadingChanged();
}

void Preferences::load() {
    if (m_loading && !m_running)
        loadTask();
}

void Preferences::forget() {
    ++m_generation;
    m_running = false;
    setSettings({});
    setLoading(true);
}

QCoro::Task<void> Preferences::loadTask() {
    QPointer<Preferences> self(this);
    const int generation = ++m_generation;
    m_running = true;
    OrvelApi* api = m_co->api();
    // True when this load may go on: the object lives and nothing overtook the load.
    auto current = [&] { return self && generation == m_generation; };
    auto fail = [&](const ApiError& error) {
        m_running = false;
        Log::line(Log::session(), error.textForm());
        // A service that answered and refused leaves the window offline as ever, with no
        // retry on a timer.
        if (error.isUnreachable())
            m_co->serviceUnreachable();
        else
            m_co->setAppState(CO::appStates::offline);
        emit loaded(false);
    };

    const ApiResult keys = co_await api->storageKeys();
    if (!current())
        co_return;
    if (!keys)
        co_return fail(keys.error());
    const StoredKeys listed = StoredKeys::from(keys.value());
    const QStringList present = listed.onlyObjects ? listed.names : QStringList();

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
    insertStored(settings, stored.value());
    m_running = false;
    m_co->offlineRetry()->reset();
    setSettings(settings);
    setLoading(false);
    keep();
    emit loaded(true);
}
