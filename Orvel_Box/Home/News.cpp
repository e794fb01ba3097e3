#include "News.h"

#include "AppInfo.h"
#include "JsonRead.h"
#include "PictureUrl.h"

#include <QRegularExpression>

News News::fromMap(const QJsonObject& map) {
    News n;
    n.author = Json::text(map, QStringLiteral("author"));
    n.collectionId = Json::text(map, QStringLiteral("collectionId"));
    n.date = Json::text(map, QStringLiteral("date"));
    n.id = Json::text(map, QStringLiteral("id"));
    n.preview = Json::text(map, QStringLiteral("preview"));
    n.title = Json::text(map, QStringLiteral("title"));
    return n;
}

QUrl News::previewUrl() const {
    return pictureUrl(preview_img);
}

// The id comes from another service and becomes a path segment of our own site: only plain
// record ids qualify, so no id can step out of "/news/" ("../"), end the path early ("?",
// "#", "/") or need escaping.
QUrl News::pageUrl() const {
    static const QRegularExpression plainId(QStringLiteral("^[A-Za-z0-9_~.-]+$"));
    const bool named = plainId.match(id).hasMatch() && id != u"." && id != u"..";
    const QUrl page =
        named ? AppInfo::sitePage(QStringLiteral("/news/") + id + QStringLiteral("?forApp"))
              : QUrl();
    return page.isValid() && !page.isRelative() ? page
                                                : AppInfo::sitePage(QStringLiteral("/404?forApp"));
}

QList<News> newsFromAnswer(const QJsonObject& answer, const QString& contentHost, bool phone) {
    const QJsonValue items = answer.value(QStringLiteral("items"));
    if (!items.isArray())
        return {};
    const QString files = contentHost + QStringLiteral("/api/files/");
    QList<News> out;
    for (const QJsonValue& item : items.toArray()) {
        if (!item.isObject())
            return {};
        News n = News::fromMap(item.toObject());
        n.preview_img = files + n.collectionId + u'/' + n.id + u'/' + n.preview;
        if (phone)
            n.preview_img += QStringLiteral("?thumb=512x0");
        out.append(n);
    }
    return out;
}
