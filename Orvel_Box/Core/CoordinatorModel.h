#pragma once
#include "CO.h"
#include "Preferences.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

// State of the root view: the one coordinator for the life of the window, which screen its
// state calls for, and the signed-in user's preferences.
//
// Every entry into home loads the preferences; leaving home forgets them. While the coordinator
// starts early, home shows at once in the preferences kept from the last load.
class CoordinatorModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(CO* co READ co CONSTANT)
    Q_PROPERTY(Preferences* preferences READ preferences CONSTANT)
    Q_PROPERTY(bool homeSettingsLoading READ homeSettingsLoading NOTIFY homeSettingsLoadingChanged)
    // "loading", "login", "home" or "offline": the screen to show now.
    Q_PROPERTY(QString screen READ screen NOTIFY screenChanged)
  public:
    explicit CoordinatorModel(QObject* parent = nullptr);
    // Tests hand in their own coordinator; the model takes it over.
    explicit CoordinatorModel(CO* co, QObject* parent = nullptr);

    CO* co() const { return m_co; }
    Preferences* preferences() const { return m_preferences; }
    bool homeSettingsLoading() const { return m_preferences->loading(); }
    QString screen() const;

  signals:
    void homeSettingsLoadingChanged();
    void screenChanged();

  private:
    void onAppStateChanged();
    void onEarlyChanged();
    void updateScreen();

    CO* m_co;
    Preferences* m_preferences;
    QString m_lastScreen;
};
