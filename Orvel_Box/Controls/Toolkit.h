#pragma once
#include <QByteArray>
#include <QObject>
#include <QSizeF>
#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>
#include <functional>

class QQmlEngine;
class QJSEngine;

// What the screens ask of the platform beyond drawing: the device idiom and size class,
// symbol images by name, and handing a web address to the system browser. One instance per
// process, shared by every QML engine.
class Toolkit : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString idiom READ idiom WRITE setIdiom NOTIFY idiomChanged)
    Q_PROPERTY(bool isPhone READ isPhone NOTIFY idiomChanged)
    // The desktop's dark mode: its portal's choice where one answers, else the palette's.
    Q_PROPERTY(bool systemDark READ systemDark NOTIFY systemDarkChanged)
    Q_PROPERTY(QString symbolFontFamily READ symbolFontFamily CONSTANT)
    Q_PROPERTY(bool webViewStandIn READ webViewStandIn WRITE setWebViewStandIn NOTIFY
                   webViewStandInChanged)
  public:
    static Toolkit* instance();
    static Toolkit* create(QQmlEngine*, QJSEngine*);

    // "phone" or "pad" (every other device). ORVEL_IDIOM=phone|pad overrides the screen.
    QString idiom() const { return m_idiom; }
    void setIdiom(const QString& idiom);
    bool isPhone() const { return m_idiom == QLatin1String("phone"); }
    // Phone when the diagonal is under 7 inches; an unknown size is not a phone.
    static QString idiomForScreen(QSizeF physicalSizeMm);

    // "compact" for a phone held sideways, "regular" otherwise.
    Q_INVOKABLE QString verticalSizeClass(qreal width, qreal height) const;

    bool systemDark() const;

    // The family of the embedded symbol font, loaded on first use.
    QString symbolFontFamily() const;
    static constexpr const char* symbolFamily = "OrvelBox Icons";
    // `font` with the family name `from` changed to `to`, of the same length, in its name
    // table; unchanged when the lengths differ or the table is not found.
    static QByteArray renamedFont(QByteArray font, QByteArrayView from, QByteArrayView to);
    // The font's ligature for a symbol name; empty for an empty name, a neutral placeholder
    // (reported once per name) for a name the table does not know.
    Q_INVOKABLE QString symbol(const QString& name) const;
    static bool knowsSymbol(const QString& name);
    static QStringList symbolNames();

    // Hands the address to the system browser; tests divert it with setUrlOpener.
    Q_INVOKABLE void openUrl(const QUrl& url);
    using UrlOpener = std::function<void(const QUrl&)>;
    void setUrlOpener(UrlOpener opener) { m_opener = std::move(opener); }

    // Tests draw a plain item in place of the platform web view (ORVEL_WEBVIEW_STANDIN=1).
    bool webViewStandIn() const { return m_webViewStandIn; }
    void setWebViewStandIn(bool on);

  signals:
    void idiomChanged();
    void webViewStandInChanged();
    void systemDarkChanged();

  private:
    Toolkit();
    class ColorSchemePortal* m_portal = nullptr;
    QString m_idiom;
    bool m_webViewStandIn = false;
    UrlOpener m_opener;
};
