#include "AppInfo.h"

#include "BuildConfig.h"

#include <QTextBoundaryFinder>

namespace {
QString orDefault(const char* value, const char* fallback) {
    const QString text = QString::fromUtf8(value);
    return text.isEmpty() ? QString::fromLatin1(fallback) : text;
}

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

QString AppInfo::version() {
    return orDefault(BuildConfig::version, "0.0.0");
}

QString AppInfo::buildNumber() {
    return orDefault(BuildConfig::buildNumber, "0");
}

QUrl AppInfo::sitePage(const QString& path) {
    QString base = QString::fromUtf8(BuildConfig::siteUrl);
    while (base.endsWith(u'/'))
        base.chop(1);
    return QUrl(base + path);
}

QColor AppInfo::colorFromHex(const QString& text) {
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
