#pragma once
#include <QDBusVariant>
#include <QObject>
#include <QString>
#include <optional>

// The desktop's light/dark choice as the XDG desktop portal publishes it
// (org.freedesktop.appearance color-scheme on org.freedesktop.portal.Settings). Qt learns it
// only from 6.5 on. The portal is asked once, without blocking, and followed live after.
class ColorSchemePortal : public QObject {
    Q_OBJECT
  public:
    // How long the first answer is waited for; after it the desktop's choice stays unknown
    // until the portal announces a change.
    static constexpr int answerBoundMs = 1500;

    explicit ColorSchemePortal(QObject* parent = nullptr);

    // True: the desktop prefers dark; false: light; nothing: no portal, no answer yet, or
    // "no preference".
    std::optional<bool> prefersDark() const { return m_prefersDark; }

    // The portal's color-scheme value (0 no preference, 1 dark, 2 light) as a preference;
    // anything else is no preference.
    static std::optional<bool> fromColorScheme(uint value);

  signals:
    void changed();
    // The first question ended: answered, refused, or not answered within the bound.
    void settled();

  private slots:
    void onSettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

  private:
    void ask(const QString& method);
    void apply(const QVariant& value);

    std::optional<bool> m_prefersDark;
    bool m_settled = false;
};
