#pragma once
#include "LoadTicket.h"
#include "News.h"
#include "OrvelApiError.h"
#include "RecordListModel.h"
#include "ScreenModel.h"

#include <QCoroTask>
#include <optional>

// The news section: the items of the public content service's news collection, loaded each
// time the section is shown, and the one item whose page is open.
//
// The collection is public, so it is read with a plain request of its own and never through
// the service client, which would attach the user's token. Only the newest load writes its
// result. A failed load changes nothing on screen: before the first success the section keeps
// waiting, after it the old list stays.
class NewsScreenModel : public ScreenModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QAbstractListModel* all_news READ allNews CONSTANT)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(bool hasSelection READ hasSelection NOTIFY selectionChanged)
    Q_PROPERTY(News selectedNews READ selectedNews NOTIFY selectionChanged)
    Q_PROPERTY(QUrl selectedPage READ selectedPage NOTIFY selectionChanged)
    // Phones get pictures scaled down by the content service; the view says which it is.
    Q_PROPERTY(bool phone MEMBER m_phone NOTIFY phoneChanged)
  public:
    explicit NewsScreenModel(QObject* parent = nullptr);

    const QList<News>& news() const { return m_news->items(); }
    QAbstractListModel* allNews() const { return m_news; }
    bool isLoading() const { return m_isLoading; }
    bool hasSelection() const { return m_selected.has_value(); }
    News selectedNews() const { return m_selected.value_or(News{}); }
    QUrl selectedPage() const { return m_selected ? m_selected->pageUrl() : QUrl(); }
    // Where the collection lives: the build's content address, unless tests point elsewhere.
    static QString contentHost();
    static void setContentHost(const QString& host);

    Q_INVOKABLE void select(int index);
    Q_INVOKABLE void dismiss();
    // Starts a load; the newest one started is the one that is shown.
    Q_INVOKABLE void load();

    // A plain GET of `url` without any extra header, answered by a JSON object. Fails with
    // invalidURL for text that is no address, invalidResponse for an answer that is not HTTP or
    // not a JSON object, httpError for a status outside 200 to 299, and the transport's own
    // error when nothing came back.
    static QCoro::Task<ApiResult> fetchJSON(QString url);
    static QString recordsAddress();

  signals:
    void phoneChanged();
    void newsChanged();
    void isLoadingChanged();
    void selectionChanged();
    // A load ended; false when it failed or a newer load overtook it.
    void loadFinished(bool shown);

  protected:
    void appeared() override { load(); }

  private:
    bool m_phone = false;
    QCoro::Task<void> loadTask(LoadTicket ticket);

    RecordListModel<News>* m_news;
    bool m_isLoading = true;
    std::optional<News> m_selected;
    LoadTickets m_loads;
};
