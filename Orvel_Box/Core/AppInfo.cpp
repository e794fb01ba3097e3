#include "AppInfo.h"

#include "BuildConfig.h"

namespace {
QString orDefault(const char* value, const char* fallback) {
    const QString text = QString::fromUtf8(value);
    return text.isEmpty() ? QString::fromLatin1(fallback) : text;
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
