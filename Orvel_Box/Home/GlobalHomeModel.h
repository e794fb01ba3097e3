#pragma once
#include "LoadTicket.h"
#include "Preferences.h"
#include "ScreenModel.h"

#include <QColor>
#include <QCoroTask>
#include <QPointer>
#include <QTimer>
#include <QVariantMap>

// The frame of the signed-in application: which section is shown, the colour scheme and
// accent colour the user chose, and the account record the menu shows.
//
// The account is fetched each time the frame appears. The clock is followed with one timer
// that only announces a tick: views refresh what they compute from the current time and
// nothing is rebuilt or requested because of it.
class GlobalHomeModel : public ScreenModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(
        Preferences* preferences READ preferences WRITE setPreferences NOTIFY preferencesChanged)
    // "dark", "light", or "" to follow the system.
    Q_PROPERTY(QString preferredScheme READ preferredScheme NOTIFY preferencesChanged)
    // The colour used when the preferences hold none; the view passes the palette's blue.
    Q_PROPERTY(
        QColor fallbackAccent READ fallbackAccent WRITE setFallbackAccent NOTIFY accentColorChanged)
    Q_PROPERTY(QColor accentColor READ accentColor NOTIFY accentColorChanged)
    Q_PROPERTY(QVariantMap meInformation READ meInformation NOTIFY meInformationChanged)
    Q_PROPERTY(bool meInformationLoading READ meInformationLoading NOTIFY meInformationChanged)
    Q_PROPERTY(int selectedUI READ selectedUI WRITE setSelectedUI NOTIFY selectedUIChanged)
    Q_PROPERTY(int tickInterval READ tickInterval WRITE setTickInterval NOTIFY tickIntervalChanged)
  public:
    explicit GlobalHomeModel(QObject* parent = nullptr);

    static constexpr int sectionCount = 3;

    Preferences* preferences() const { return m_preferences; }
    void setPreferences(Preferences* preferences);
    QString preferredScheme() const;
    QColor fallbackAccent() const { return m_fallbackAccent; }
    void setFallbackAccent(const QColor& colour);
    QColor accentColor() const;
    QVariantMap meInformation() const { return m_meInformation; }
    bool meInformationLoading() const { return m_meInformationLoading; }
    int selectedUI() const { return m_selectedUI; }
    void setSelectedUI(int section);
    int tickInterval() const { return m_ticker.interval(); }
    void setTickInterval(int ms);

  signals:
    // The preferences, or what they hold, changed.
    void preferencesChanged();
    void accentColorChanged();
    void meInformationChanged();
    void selectedUIChanged();
    void tickIntervalChanged();
    // Once a second while the frame is shown: time to re-read the clock.
    void ticked();
    // An account fetch ended; false when it failed or a newer fetch overtook it.
    void accountFinished(bool ok);

  protected:
    void appeared() override;

  private:
    QCoro::Task<void> fetchAccountTask();
    // Announces the accent when it differs from the one last announced.
    void announceAccent();

    QPointer<Preferences> m_preferences;
    QColor m_fallbackAccent;
    QColor m_shownAccent;
    QVariantMap m_meInformation{{QString(), QString()}};
    bool m_meInformationLoading = true;
    int m_selectedUI = 0;
    QTimer m_ticker;
    LoadTickets m_accountLoads;
};
