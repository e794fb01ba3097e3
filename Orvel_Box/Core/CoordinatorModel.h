#pragma once
#include "CO.h"

#include <QColor>
#include <QObject>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

// State of the root view: the one coordinator for the life of the window, which screen its
// state calls for, and the signed-in user's preferences (the settings map).
//
// Every entry into home loads the preferences from the per-user store, writing the defaults
// the store lacks. Leaving home forgets them, so the next user to sign in in this window gets
// their own and never the previous user's.
class CoordinatorModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(CO* co READ co CONSTANT)
    Q_PROPERTY(bool homeSettingsLoading READ homeSettingsLoading NOTIFY homeSettingsLoadingChanged)
    Q_PROPERTY(QVariantMap settings READ settings WRITE setSettings NOTIFY settingsChanged)
    // "loading", "login", "home" or "offline": the screen to show now.
    Q_PROPERTY(QString screen READ screen NOTIFY screenChanged)
  public:
    explicit CoordinatorModel(QObject* parent = nullptr);
    // Tests hand in their own coordinator; the model takes it over.
    explicit CoordinatorModel(CO* co, QObject* parent = nullptr);

    CO* co() const { return m_co; }
    bool homeSettingsLoading() const { return m_homeSettingsLoading; }
    QVariantMap settings() const { return m_settings; }
    void setSettings(const QVariantMap& settings);
    // Changes one entry; screens that edit a preference call this.
    Q_INVOKABLE void setSetting(const QString& key, const QVariant& value);
    QString screen() const;

    // The accent colour for a stored colour name: one of the twelve accent names (exact
    // case), anything else blue.
    static QColor accentColor(const QString& name);

    // The key names of a "/api/storage/keys" answer, in answer order.
    static QStringList storedKeys(const QJsonObject& answer);
    // Writes the five preference entries read from a multi-key store answer into `settings`.
    static void insertPreferences(QVariantMap& settings, const QJsonObject& values);

    // The preference keys with the defaults written for missing ones, in writing order.
    static const QList<std::pair<QString, QString>>& defaults();

  signals:
    void homeSettingsLoadingChanged();
    void settingsChanged();
    void screenChanged();
    // A settings load finished (successfully or not); for tests and diagnostics.
    void bootstrapFinished(bool ok);

  private:
    void onAppStateChanged();
    QCoro::Task<void> bootstrap();
    void setHomeSettingsLoading(bool on);
    void updateScreen();

    CO* m_co;
    bool m_homeSettingsLoading = true;
    QVariantMap m_settings;
    // Bumped on every start and on leaving home: a load that finds it changed was overtaken
    // and drops its result.
    int m_generation = 0;
    bool m_bootstrapRunning = false;
    QString m_lastScreen;
};
