#pragma once
#include "CO.h"

#include <QColor>
#include <QCoroTask>
#include <QJsonObject>
#include <QObject>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

class PreferenceWriter;

// The signed-in user's preferences: the one place that knows their key names in the per-user
// store, their defaults and how a stored value of the wrong kind reads.
//
// They are held as the settings map screens have always bound to; the typed properties read
// it with the same fallbacks every screen used to apply by itself. load() fetches them,
// writing the defaults the store lacks; forget() drops them when the user signs out, so the
// next user to sign in in this window gets their own and never the previous user's.
class Preferences : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The root view owns the preferences")
    Q_PROPERTY(QVariantMap settings READ settings WRITE setSettings NOTIFY changed)
    // The stored theme text ("system", "light", "dark"); "" when none is held as text.
    Q_PROPERTY(QString theme READ theme NOTIFY changed)
    // The colour scheme the theme asks for: "light", "dark", or "" for the system's.
    Q_PROPERTY(QString scheme READ scheme NOTIFY changed)
    // The decoded accent colour; blue when none is held as a colour.
    Q_PROPERTY(QColor accentColor READ accentColor NOTIFY changed)
    // The stored accent name, unchanged (it may be none of the twelve); "blue" when none.
    Q_PROPERTY(QString accentName READ accentName NOTIFY changed)
    Q_PROPERTY(bool currentLesson READ currentLesson NOTIFY changed)
    Q_PROPERTY(bool nextLesson READ nextLesson NOTIFY changed)
    // True until a load succeeded, and again after forget().
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged)
  public:
    explicit Preferences(CO* co, QObject* parent = nullptr);

    QVariantMap settings() const { return m_settings; }
    void setSettings(const QVariantMap& settings);
    Q_INVOKABLE void setSetting(const QString& key, const QVariant& value);

    QString theme() const;
    QString scheme() const;
    QColor accentColor() const { return accentColorOr(accentColorOf(QString())); }
    QColor accentColorOr(const QColor& fallback) const;
    QString accentName() const;
    bool currentLesson() const;
    bool nextLesson() const;
    bool loading() const { return m_loading; }

    // The user's choices: applied to the map at once (every screen restyles), then written to
    // the store. An accent name outside the twelve is refused.
    void chooseTheme(const QString& theme);
    void chooseAccent(const QString& name);
    // Stored as JSON booleans: the text "false" the defaults' form suggests would read back
    // as true.
    void chooseCurrentLesson(bool on);
    void chooseNextLesson(bool on);

    // Starts a load unless one is running.
    void load();
    // The values kept on this machine from the account's last load, shown until a load
    // answers (which always wins).
    void showKept(const QString& account);
    void forget();

    // The twelve accent names, in the order the settings screen shows its swatches.
    static const QStringList& accentNames();
    // The colour of one of the twelve names (exact case); anything else is blue.
    static QColor accentColorOf(const QString& name);
    // The keys with the defaults written for missing ones, in writing order.
    static const QList<std::pair<QString, QString>>& defaults();
    // Puts the entries read from a multi-key store answer into `settings`.
    static void insertStored(QVariantMap& settings, const QJsonObject& values);

  signals:
    void changed();
    void loadingChanged();
    // A load finished (successfully or not); for tests and diagnostics.
    void loaded(bool ok);

  private:
    QCoro::Task<void> loadTask();
    void setLoading(bool on);
    PreferenceWriter* writer() const;
    void chooseFlag(const QString& key, bool on);
    // What the next start draws in: the values now held, as the store names them.
    void keep() const;
    // A choice already applied to the map: kept for the next start, then written to the store.
    void keepAndWrite(const QString& key, const QJsonValue& value);

    CO* m_co;
    QVariantMap m_settings;
    bool m_loading = true;
    bool m_running = false;
    // Bumped on every load and on forget(): a load that finds it changed was overtaken and
    // drops its result.
    int m_generation = 0;
};
