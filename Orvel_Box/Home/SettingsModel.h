#pragma once
#include "CoordinatorModel.h"
#include "ScreenModel.h"
#include "VariantList.h"

#include <QPointer>
#include <QUuid>
#include <QVariantList>

// One swatch of the accent picker.
struct accentColor {
    Q_GADGET
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(QColor color MEMBER color)
  public:
    QUuid id;
    QString name; // the value stored on the service
    QColor color;
};

// The settings screen: colour theme, accent colour and the lesson switches. A choice goes to the
// root view's preferences, which apply it at once (every screen restyles) and then write it to the
// store.
class SettingsModel : public ScreenModel {
    Q_OBJECT
    QML_ELEMENT
    // Owner of the preferences, read and written.
    Q_PROPERTY(CoordinatorModel* coordinator READ coordinator WRITE setCoordinator NOTIFY
                   coordinatorChanged)
    // 0 system, 1 light, 2 dark.
    Q_PROPERTY(
        int selectedTheme READ selectedTheme WRITE setSelectedTheme NOTIFY selectedThemeChanged)
    Q_PROPERTY(QStringList themeLabels READ themeLabels CONSTANT)
    Q_PROPERTY(QVariantList allAccentColors READ allAccentColorsForQml CONSTANT)
    // Name of the swatch to mark.
    Q_PROPERTY(QString markedAccent READ markedAccent NOTIFY markedAccentChanged)
    // Its place in the list; -1 when the stored name is none of the twelve.
    Q_PROPERTY(int markedIndex READ markedIndex NOTIFY markedAccentChanged)
    // The two lesson switches; a change writes the map and the store.
    Q_PROPERTY(bool currentLesson READ currentLesson WRITE setCurrentLesson NOTIFY lessonsChanged)
    Q_PROPERTY(bool nextLesson READ nextLesson WRITE setNextLesson NOTIFY lessonsChanged)
  public:
    explicit SettingsModel(QObject* parent = nullptr);

    CoordinatorModel* coordinator() const { return m_coordinator; }
    void setCoordinator(CoordinatorModel* coordinator);
    int selectedTheme() const { return m_selectedTheme; }
    // A change writes the map and the store; setting the current value does nothing.
    void setSelectedTheme(int theme);
    static QStringList themeLabels();
    const QList<accentColor>& allAccentColors() const { return m_allAccentColors; }
    QString markedAccent() const;
    int markedIndex() const { return indexOf(markedAccent()); }
    // A tap on a swatch; tapping the marked one writes again.
    Q_INVOKABLE void chooseAccent(const QString& name);
    bool currentLesson() const;
    bool nextLesson() const;
    void setCurrentLesson(bool on);
    void setNextLesson(bool on);

    // Stored theme text for a picker index and back; unknown text is the system theme.
    static QString themeText(int theme);
    static int themeIndex(const QString& text);

  signals:
    void coordinatorChanged();
    void selectedThemeChanged();
    void markedAccentChanged();
    void lessonsChanged();

  protected:
    void appeared() override;

  private:
    QVariantList allAccentColorsForQml() const { return variantList(m_allAccentColors); }
    int indexOf(const QString& name) const;

    QPointer<CoordinatorModel> m_coordinator;
    int m_selectedTheme = 0;
    QList<accentColor> m_allAccentColors;
};
