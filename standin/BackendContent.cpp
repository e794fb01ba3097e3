// Pictures, the public news collection with its files, and the project web site's pages.
#include "Backend.h"
#include "Catalog.h"
#include "Pictures.h"

#include <QJsonArray>
#include <QRegularExpression>

namespace standin {
namespace {

const QByteArray kHtml = "text/html; charset=utf-8";

QString html(const QString& title, const QString& body, bool forApp) {
    // Pages opened inside the application leave out the site's own navigation.
    const QString nav = forApp ? QString()
                               : QStringLiteral("<nav><a href=\"/\">Orvel Box</a> · "
                                                "<a href=\"/user-agreement\">Соглашение</a> · "
                                                "<a href=\"/privacy\">Конфиденциальность</a> · "
                                                "<a href=\"/report\">Обратная связь</a></nav>");
    return QStringLiteral("<!DOCTYPE html><html lang=\"ru\"><head><meta charset=\"utf-8\">"
                          "<meta name=\"viewport\" content=\"width=device-width\">"
                          "<title>%1</title><style>body{font-family:sans-serif;max-width:720px;"
                          "margin:auto;padding:16px;line-height:1.5}img{max-width:100%;"
                          "border-radius:10px}</style></head><body>%2<h1>%1</h1>%3</body></html>")
        .arg(title.toHtmlEscaped(), nav, body);
}

QString paragraphs(const QStringList& texts) {
    QString out;
    for (const QString& t : texts)
        out += QStringLiteral("<p>%1</p>").arg(t.toHtmlEscaped());
    return out;
}

struct Page {
    const char* path;
    const char* title;
    QStringList text;
};

const Page kPages[] = {
    {"/",
     "Orvel Box",
     {"Orvel Box — приложение для студентов и преподавателей: расписание занятий, новости "
      "университета и настройки в одном месте.",
      "Выберите группу или преподавателя в разделе «Режим работы», и расписание будет всегда "
      "под рукой."}},
    {"/404", "Страница не найдена", {"Запрошенная страница не существует или была удалена."}},
    {"/user-agreement",
     "Пользовательское соглашение",
     {"Используя приложение, вы соглашаетесь с настоящими условиями.",
      "Приложение предоставляет расписание и новости в справочных целях. Актуальность данных "
      "определяется источником — официальным сайтом учреждения образования.",
      "Учётная запись используется только для входа и хранения ваших настроек."}},
    {"/privacy",
     "Политика конфиденциальности",
     {"Мы храним только то, что нужно для работы приложения: логин, список устройств, с "
      "которых выполнен вход, и ваши настройки.",
      "Данные не передаются третьим лицам. Вы можете завершить любой сеанс в разделе "
      "«Устройства»."}},
    {"/report",
     "Обратная связь",
     {"Нашли ошибку в расписании или в работе приложения? Напишите нам: "
      "support@orvel-box.example."}},
};

QString newsDate(const NewsItem& n) {
    return n.date.toString(QStringLiteral("dd.MM.yyyy"));
}

} // namespace

QByteArray Backend::picture(const QString& key, const std::function<QByteArray()>& draw) {
    auto it = m_pictures.find(key);
    if (it == m_pictures.end())
        it = m_pictures.insert(key, draw());
    return *it;
}

Reply Backend::teacherPicture(Call& c) {
    static const QRegularExpression file(QStringLiteral("^(\\d{1,6})(_thumb)?\\.png$"));
    const QRegularExpressionMatch m = file.match(c.args.value(0));
    const Teacher* t = m.hasMatch() ? m_catalog->teacher(m.captured(1).toInt()) : nullptr;
    if (!t || !t->hasPhoto)
        return Reply::error(404, QStringLiteral("Not found"));
    const int size = m.captured(2).isEmpty() ? 400 : 96;
    return Reply::data(
        picture(c.req.path, [&] { return pictures::portrait(quint64(t->id), size); }), "image/png");
}

Reply Backend::avatarPicture(Call& c) {
    static const QRegularExpression file(QStringLiteral("^(\\d{1,12})\\.png$"));
    const QRegularExpressionMatch m = file.match(c.args.value(0));
    if (!m.hasMatch() || !m_store.account(m.captured(1).toLongLong()))
        return Reply::error(404, QStringLiteral("Not found"));
    const quint64 seed = m.captured(1).toULongLong() ^ 0xa5a5a5u;
    return Reply::data(picture(c.req.path, [&] { return pictures::portrait(seed, 256); }),
                       "image/png");
}

// The content service's record list: newest first, with its page and per-page parameters.
Reply Backend::newsRecords(Call& c) {
    bool pageOk = true;
    bool perPageOk = true;
    const QUrlQuery& q = c.req.query;
    const int page = q.hasQueryItem("page") ? q.queryItemValue("page").toInt(&pageOk) : 1;
    const int perPage =
        q.hasQueryItem("perPage") ? q.queryItemValue("perPage").toInt(&perPageOk) : 30;
    if (!pageOk || !perPageOk || page < 1 || perPage < 1 || perPage > 500)
        return Reply::error(400, QStringLiteral("Invalid paging parameters"));
    const QList<NewsItem>& all = m_catalog->news();
    QJsonArray items;
    for (qint64 i = qint64(page - 1) * perPage; i < all.size() && i < qint64(page) * perPage; ++i) {
        const NewsItem& n = all[i];
        const QString stamp = n.date.toString(Qt::ISODate) + QStringLiteral(" 09:00:00.000Z");
        items.append(QJsonObject{{"id", n.id},
                                 {"collectionId", Catalog::kNewsCollectionId},
                                 {"collectionName", "site_news"},
                                 {"title", n.title},
                                 {"author", n.author},
                                 {"date", newsDate(n)},
                                 {"preview", n.preview},
                                 {"created", stamp},
                                 {"updated", stamp}});
    }
    return Reply::json({{"page", page},
                        {"perPage", perPage},
                        {"totalItems", int(all.size())},
                        {"totalPages", int((all.size() + perPage - 1) / perPage)},
                        {"items", items}});
}

// "/api/files/<collection>/<record>/<file>"; "?thumb=WxH" asks for a smaller copy, its width
// deciding the size.
Reply Backend::newsFile(Call& c) {
    const NewsItem* n = m_catalog->newsItem(c.args.value(1));
    if (c.args.value(0) != Catalog::kNewsCollectionId || !n || c.args.value(2) != n->preview)
        return Reply::error(404, QStringLiteral("Not found"));
    int width = 1280;
    if (c.req.query.hasQueryItem("thumb")) {
        static const QRegularExpression thumb(QStringLiteral("^(\\d{1,4})x(\\d{1,4})$"));
        const QRegularExpressionMatch m = thumb.match(c.req.query.queryItemValue("thumb"));
        if (!m.hasMatch())
            return Reply::error(400, QStringLiteral("Invalid thumb size"));
        width = qBound(16, m.captured(1).toInt(), 1280);
    }
    const quint64 seed = qHash(n->id);
    return Reply::data(picture(c.req.path + QString::number(width),
                               [&] { return pictures::scene(seed, width, width * 9 / 16); }),
                       "image/png");
}

Reply Backend::sitePage(Call& c) {
    const bool forApp = c.req.query.hasQueryItem("forApp");
    QString path = c.req.path;
    if (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    for (const Page& p : kPages)
        if (path == QLatin1String(p.path))
            return Reply::data(
                html(QString::fromUtf8(p.title), paragraphs(p.text), forApp).toUtf8(), kHtml);
    return Reply::error(404, QStringLiteral("Not found"));
}

Reply Backend::newsPage(Call& c) {
    const bool forApp = c.req.query.hasQueryItem("forApp");
    const NewsItem* n = m_catalog->newsItem(c.args.value(0));
    if (!n)
        return Reply::data(html(QStringLiteral("Новость не найдена"), {}, forApp).toUtf8(), kHtml,
                           404);
    const QString picture =
        QStringLiteral("/api/files/%1/%2/%3").arg(Catalog::kNewsCollectionId, n->id, n->preview);
    const QString body = QStringLiteral("<p><small>%1 · %2</small></p><img src=\"%3\" alt=\"\">")
                             .arg(newsDate(*n), n->author.toHtmlEscaped(), picture) +
                         paragraphs(n->paragraphs);
    return Reply::data(html(n->title, body, forApp).toUtf8(), kHtml);
}

} // namespace standin
