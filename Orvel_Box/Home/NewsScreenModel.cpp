#include "NewsScreenModel.h"

#include "BuildConfig.h"
#include "Log.h"
#include "Transport.h"

#include <QJsonDocument>

namespace {
constexpr int timeoutMs = 60000;

QString withoutTrailingSlashes(QString text) {
    while (text.endsWith(u'/'))
        text.chop(1);
    return text;
}

QString& configuredHost() {
    static QString host = withoutTrailingSlashes(QString::fromUtf8(BuildConfig::contentUrl));
    return host;
}
} // namespace

NewsScreenModel::NewsScreenModel(QObject* parent)
    : ScreenModel(parent), m_news(new RecordListModel<News>(this)) {
    connect(m_news, &RecordListBase::changed, this, &NewsScreenModel::newsChanged);
}

QString NewsScreenModel::contentHost() {
    return configuredHost();
}

void NewsScreenModel::setContentHost(const QString& host) {
    configuredHost() = withoutTrailingSlashes(host);
}

QString NewsScreenModel::recordsAddress() {
    return contentHost() + QStringLiteral("/api/collections/site_news/records");
}

void NewsScreenModel::select(int index) {
    if (index < 0 || index >= news().size())
        return;
    m_selected = news().at(index);
    emit selectionChanged();
}

void NewsScreenModel::dismiss() {
    if (!m_selected)
        return;
    m_selected.reset();
    emit selectionChanged();
}

void NewsScreenModel::load() {
    loadTask(m_loads.start(this));
}

QCoro::Task<void> NewsScreenModel::loadTask(LoadTicket ticket) {
    const ApiResult answer = co_await fetchJSON(recordsAddress());
    if (!ticket.alive())
        co_return;
    if (!answer.ok()) {
        Log::line(Log::home(), answer.error().description());
        emit loadFinished(false);
        co_return;
    }
    if (!ticket.current()) {
        emit loadFinished(false);
        co_return;
    }
    QList<News> news =
        newsFromAnswer(answer.value(), contentHost(), m_phone);
    if (m_isLoading) {
        m_isLoading = false;
        emit isLoadingChanged();
    }
    // Cards of items still listed stay as they are, so a silent refresh does not rebuild them
    // (and the reader keeps their place).
    m_news->setItems(std::move(news));
    emit loadFinished(true);
}

QCoro::Task<ApiResult> NewsScreenModel::fetchJSON(QString url) {
    QNetworkRequest request(QUrl(url, QUrl::StrictMode));
    request.setTransferTimeout(timeoutMs);
    // Nothing secret travels with this request, so a redirect to another host is followed;
    // only a step down from HTTPS to HTTP is refused.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    const Result<HttpAnswer> answer =
        co_await Transport::send(Transport::shared(), request, "GET", std::nullopt);
    if (!answer.ok())
        co_return answer.error();
    const int status = answer.value().status;
    if (status < 200 || status > 299)
        co_return ApiError::http(status);
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(answer.value().data, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject())
        co_return ApiError::of(OrvelApiError::invalidResponse);
    co_return doc.object();
}
