#include "Toolkit.h"

#include "ColorSchemePortal.h"

#include <QDesktopServices>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QJSEngine>
#include <QPalette>
#include <QScreen>
#include <QSet>
#include <cmath>
#include <utility>

namespace {
// Symbol names the screens use, mapped to ligatures of the Material Icons font.
constexpr std::pair<const char16_t*, const char16_t*> symbolTable[] = {
    {u"app.background.dotted", u"web_asset"},
    {u"basketball", u"sports_basketball"},
    {u"briefcase", u"work"},
    {u"bubble.left.and.text.bubble.right", u"forum"},
    {u"calendar.badge.plus", u"event"},
    {u"calendar.day.timeline.right", u"calendar_view_day"},
    {u"chevron.left", u"chevron_left"},
    {u"chevron.right", u"chevron_right"},
    {u"exclamationmark.bubble", u"feedback"},
    {u"eye", u"visibility"},
    {u"eye.slash", u"visibility_off"},
    {u"flask", u"science"},
    {u"gear", u"settings"},
    {u"globe", u"language"},
    {u"graduationcap", u"school"},
    {u"info.circle", u"info"},
    {u"inset.filled.rectangle.and.person.filled", u"co_present"},
    {u"iphone", u"phone_iphone"},
    {u"iphone.gen1", u"smartphone"},
    {u"iphone.gen3.motion", u"devices"},
    {u"key.fill", u"vpn_key"},
    {u"macbook.gen1", u"laptop_mac"},
    {u"magnifyingglass", u"search"},
    {u"minus", u"remove"},
    {u"newspaper", u"newspaper"},
    {u"paintpalette", u"palette"},
    {u"person", u"person_outline"},
    {u"person.3", u"groups"},
    {u"person.and.background.dotted", u"switch_account"},
    {u"person.crop.circle.fill", u"account_circle"},
    {u"person.fill", u"person"},
    {u"person.line.dotted.person.fill", u"connect_without_contact"},
    {u"questionmark.app", u"device_unknown"},
    {u"radicand.squareroot", u"functions"},
    {u"rectangle.portrait.and.arrow.right", u"logout"},
    {u"star.fill", u"star"},
    {u"xmark", u"close"},
};
constexpr const char16_t* placeholderLigature = u"crop_square";

const char16_t* ligatureOf(const QString& name) {
    for (const auto& [symbol, ligature] : symbolTable)
        if (name == QStringView(symbol))
            return ligature;
    return nullptr;
}
} // namespace

Toolkit::Toolkit() {
    const QString forced = qEnvironmentVariable("ORVEL_IDIOM");
    if (forced == QLatin1String("phone") || forced == QLatin1String("pad"))
        m_idiom = forced;
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        m_idiom = idiomForScreen(screen->physicalSize());
    else
        m_idiom = QStringLiteral("pad");
    m_webViewStandIn = qEnvironmentVariableIntValue("ORVEL_WEBVIEW_STANDIN") == 1;
    m_portal = new ColorSchemePortal(this);
    connect(m_portal, &ColorSchemePortal::changed, this, &Toolkit::systemDarkChanged);
}

Toolkit* Toolkit::instance() {
    static Toolkit* toolkit = new Toolkit;
    return toolkit;
}

Toolkit* Toolkit::create(QQmlEngine*, QJSEngine*) {
    Toolkit* t = instance();
    // Shared by every engine: no engine may delete it.
    QJSEngine::setObjectOwnership(t, QJSEngine::CppOwnership);
    return t;
}

void Toolkit::setIdiom(const QString& idiom) {
    if (idiom == m_idiom)
        return;
    m_idiom = idiom;
    emit idiomChanged();
}

QString Toolkit::idiomForScreen(QSizeF mm) {
    const double inches = std::hypot(mm.width(), mm.height()) / 25.4;
    return inches > 0 && inches < 7 ? QStringLiteral("phone") : QStringLiteral("pad");
}

QString Toolkit::verticalSizeClass(qreal width, qreal height) const {
    return isPhone() && width > height ? QStringLiteral("compact") : QStringLiteral("regular");
}

bool Toolkit::systemDark() const {
    if (const std::optional<bool> desktop = m_portal->prefersDark())
        return *desktop;
    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    return window.lightness() < 128;
}

QByteArray Toolkit::renamedFont(QByteArray font, QByteArrayView from, QByteArrayView to) {
    if (from.size() != to.size() || font.size() < 12)
        return font;
    const auto be = [&](qsizetype at, int bytes) {
        quint32 v = 0;
        for (int i = 0; i < bytes; ++i)
            v = v << 8 | quint8(font.at(at + i));
        return v;
    };
    // The names live in the 'name' table; its record in the table directory says where.
    const quint32 tables = be(4, 2);
    for (quint32 i = 0; i < tables && 12 + 16 * (i + 1) <= quint32(font.size()); ++i) {
        const qsizetype record = 12 + 16 * i;
        if (font.mid(record, 4) != "name")
            continue;
        const quint32 offset = be(record + 8, 4), length = be(record + 12, 4);
        if (offset > quint32(font.size()) || length > quint32(font.size()) - offset)
            return font;
        // Each name is stored as bytes (Macintosh records) and as UTF-16BE (Windows ones).
        QByteArray wideFrom, wideTo;
        for (qsizetype c = 0; c < from.size(); ++c) {
            wideFrom += '\0' + QByteArray(1, from.at(c));
            wideTo += '\0' + QByteArray(1, to.at(c));
        }
        for (const auto& [a, b] : {std::pair{from.toByteArray(), to.toByteArray()},
                                   std::pair{wideFrom, wideTo}}) {
            for (qsizetype at = font.indexOf(a, offset); at >= 0 && at + a.size() <= offset + length;
                 at = font.indexOf(a, at + a.size()))
                font.replace(at, a.size(), b);
        }
    }
    return font;
}

QString Toolkit::symbolFontFamily() const {
    static const QString family = [] {
        // Renamed as it is registered: the system may have the same font under its own name,
        // and fontconfig's copy would then be drawn instead of this one (on Debian, a WOFF2
        // file that costs milliseconds to unpack at every start, and possibly another version
        // with other ligatures).
        QFile file(QStringLiteral(":/orvel/MaterialIcons-Regular.ttf"));
        const QByteArray font = file.open(QIODevice::ReadOnly)
                                    ? renamedFont(file.readAll(), "Material Icons", symbolFamily)
                                    : QByteArray();
        const int id = QFontDatabase::addApplicationFontFromData(font);
        return QFontDatabase::applicationFontFamilies(id).value(0, QString::fromLatin1(symbolFamily));
    }();
    return family;
}

QString Toolkit::symbol(const QString& name) const {
    if (name.isEmpty())
        return {};
    if (const char16_t* ligature = ligatureOf(name))
        return QString::fromUtf16(ligature);
    static QSet<QString> reported;
    if (!reported.contains(name)) {
        reported.insert(name);
        qWarning("No symbol for the name \"%s\"; drawing a placeholder", qPrintable(name));
    }
    return QString::fromUtf16(placeholderLigature);
}

bool Toolkit::knowsSymbol(const QString& name) {
    return ligatureOf(name) != nullptr;
}

QStringList Toolkit::symbolNames() {
    QStringList names;
    for (const auto& entry : symbolTable)
        names.append(QString::fromUtf16(entry.first));
    return names;
}

void Toolkit::openUrl(const QUrl& url) {
    if (m_opener)
        m_opener(url);
    else
        QDesktopServices::openUrl(url);
}

void Toolkit::setWebViewStandIn(bool on) {
    if (on == m_webViewStandIn)
        return;
    m_webViewStandIn = on;
    emit webViewStandInChanged();
}
