#include "SystemColors.h"

#include <QTextBoundaryFinder>

#include <array>

namespace {
struct Entry {
    const char16_t* name;
    QRgb light;
    QRgb dark;
};

// The accent colours are stored on the service by name, so the same name must give the same
// colour on every device the user signs in on; keep these values stable.
constexpr std::array<Entry, 25> table{{
    {u"blue", qRgb(0x00, 0x7a, 0xff), qRgb(0x0a, 0x84, 0xff)},
    {u"red", qRgb(0xff, 0x3b, 0x30), qRgb(0xff, 0x45, 0x3a)},
    {u"orange", qRgb(0xff, 0x95, 0x00), qRgb(0xff, 0x9f, 0x0a)},
    {u"yellow", qRgb(0xff, 0xcc, 0x00), qRgb(0xff, 0xd6, 0x0a)},
    {u"green", qRgb(0x34, 0xc7, 0x59), qRgb(0x30, 0xd1, 0x58)},
    {u"mint", qRgb(0x00, 0xc7, 0xbe), qRgb(0x63, 0xe6, 0xe2)},
    {u"teal", qRgb(0x30, 0xb0, 0xc7), qRgb(0x40, 0xc8, 0xe0)},
    {u"cyan", qRgb(0x32, 0xad, 0xe6), qRgb(0x64, 0xd2, 0xff)},
    {u"indigo", qRgb(0x58, 0x56, 0xd6), qRgb(0x5e, 0x5c, 0xe6)},
    {u"purple", qRgb(0xaf, 0x52, 0xde), qRgb(0xbf, 0x5a, 0xf2)},
    {u"pink", qRgb(0xff, 0x2d, 0x55), qRgb(0xff, 0x37, 0x5f)},
    {u"brown", qRgb(0xa2, 0x84, 0x5e), qRgb(0xac, 0x8e, 0x68)},
    {u"gray", qRgb(0x8e, 0x8e, 0x93), qRgb(0x8e, 0x8e, 0x93)},
    {u"systemGray2", qRgb(0xae, 0xae, 0xb2), qRgb(0x63, 0x63, 0x66)},
    {u"systemGray3", qRgb(0xc7, 0xc7, 0xcc), qRgb(0x48, 0x48, 0x4a)},
    {u"systemGray4", qRgb(0xd1, 0xd1, 0xd6), qRgb(0x3a, 0x3a, 0x3c)},
    {u"systemGray5", qRgb(0xe5, 0xe5, 0xea), qRgb(0x2c, 0x2c, 0x2e)},
    {u"systemGray6", qRgb(0xf2, 0xf2, 0xf7), qRgb(0x1c, 0x1c, 0x1e)},
    {u"systemBackground", qRgb(0xff, 0xff, 0xff), qRgb(0x00, 0x00, 0x00)},
    {u"secondarySystemBackground", qRgb(0xf2, 0xf2, 0xf7), qRgb(0x1c, 0x1c, 0x1e)},
    {u"label", qRgb(0x00, 0x00, 0x00), qRgb(0xff, 0xff, 0xff)},
    {u"secondaryLabel", qRgba(0x3c, 0x3c, 0x43, 0x99), qRgba(0xeb, 0xeb, 0xf5, 0x99)},
    {u"white", qRgb(0xff, 0xff, 0xff), qRgb(0xff, 0xff, 0xff)},
    {u"black", qRgb(0x00, 0x00, 0x00), qRgb(0x00, 0x00, 0x00)},
    {u"clear", qRgba(0, 0, 0, 0), qRgba(0, 0, 0, 0)},
}};
} // namespace

std::optional<QColor> SystemColors::named(QStringView name, bool dark) {
    for (const Entry& e : table)
        if (name == QStringView(e.name))
            return QColor::fromRgba(dark ? e.dark : e.light);
    return std::nullopt;
}

QColor SystemColors::color(const QString& name, bool dark) const {
    return named(name, dark).value_or(QColor());
}

namespace {
bool isLetterOrDigit(QChar c) {
    return c.isLetterOrNumber() || c.isMark();
}

// Characters as a reader counts them: "é" written as e plus a combining accent is one.
int userCharacters(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}
} // namespace

QColor colorFromHex(const QString& text) {
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && !isLetterOrDigit(text.at(from)))
        ++from;
    while (to > from && !isLetterOrDigit(text.at(to - 1)))
        --to;
    const QString hex = text.mid(from, to - from);

    quint64 n = 0;
    for (QChar c : hex) {
        const int digit = c.isDigit() && c.unicode() < 128 ? c.unicode() - '0'
                          : (c >= u'a' && c <= u'f')       ? c.unicode() - 'a' + 10
                          : (c >= u'A' && c <= u'F')       ? c.unicode() - 'A' + 10
                                                           : -1;
        if (digit < 0)
            break;
        n = (n << 4) | quint64(digit); // only 3, 6 and 8 digits are ever used
    }

    switch (userCharacters(hex)) {
    case 3:
        return QColor::fromRgb(int(n >> 8) * 17, int((n >> 4) & 0xF) * 17, int(n & 0xF) * 17);
    case 6:
        return QColor::fromRgb(int(n >> 16), int((n >> 8) & 0xFF), int(n & 0xFF));
    case 8:
        return QColor::fromRgb(int((n >> 16) & 0xFF), int((n >> 8) & 0xFF), int(n & 0xFF),
                               int(n >> 24));
    default:
        return QColor::fromRgb(1, 1, 1, 1);
    }
}
