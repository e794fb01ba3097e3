#include "NewsScreenModel.h"

#include "BuildConfig.h"
#include "Log.h"
#include "Toolkit.h"
#include "Transport.h"
#include "VariantList.h"

#include <QCoroNetworkReply>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QPointer>

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

// Errors below 200 are connection, proxy and TLS failures: no usable answer arrived, even
// when a status line came before the connection broke.
bool isTransportLevel(QNetworkReply::NetworkError e) {
    return e > QNetworkReply::NoError && e < QNetworkReply::ContentAccessDenied;
}
} // namespace

QVariantList NewsScreenModel::allNews() const {
    return variantList(m_news);
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
    if (index < 0 || index >= m_news.size())
        return;
    m_selected = m_news.at(index);
    emit selectionChanged();
}

void NewsScreenModel::dismiss() {
    if (!m_selected)
        return;
    m_selected.reset();
    emit selectionChanged();
}

void NewsScreenModel::load() {
    fetchNews(++m_generation);
}

QCoro::Task<void> NewsScreenModel::fetchNews(quint64 generation) {
    QPointer<NewsScreenModel> self(this);
    const ApiResult answer = co_await fetchJSON(recordsAddress());
    if (!self)
        co_return;
    if (!answer.ok()) {
        Log::line(answer.error().description());
        emit loadFinished(false);
        co_return;
    }
    if (generation != m_generation) {
        emit loadFinished(false);
        co_return;
    }
    QList<News> news =
        newsFromAnswer(answer.value(), contentHost(), Toolkit::instance()->isPhone());
    if (m_isLoading) {
        m_isLoading = false;
        emit isLoadingChanged();
    }
    // An unchanged list is left alone, so a silent refresh does not rebuild the cards (and
    // the reader keeps their place).
    if (news != m_news) {
        m_news = std::move(news);
        emit newsChanged();
    }
    emit loadFinished(true);
}

QCoro::Task<ApiResult> NewsScreenModel::fetchJSON(QString url) {
    const QUrl address(url, QUrl::StrictMode);
    if (!address.isValid() || address.isRelative())
        co_return ApiError::of(OrvelApiError::invalidURL);
    const QString scheme = address.scheme().toLower();
    // Only HTTP answers can be judged; other schemes (file:, data:) are never opened.
    if (scheme != u"http" && scheme != u"https")
        co_return ApiError::of(OrvelApiError::invalidResponse);
    if (address.host().isEmpty())
        co_return ApiError::of(OrvelApiError::invalidURL);

    QNetworkRequest request(address);
    request.setTransferTimeout(timeoutMs);
    // Nothing secret travels with this request, so a redirect to another host is followed;
    // only a step down from HTTPS to HTTP is refused.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply* reply = Transport::shared()->get(request);
    co_await qCoro(reply).waitForFinished(std::chrono::milliseconds(-1));
    reply->deleteLater();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply->error();
    if (isTransportLevel(error) || (!status.isValid() && error != QNetworkReply::NoError)) {
        // Nothing here cancels a request, so a cancellation is the transfer time-out.
        const QString description = error == QNetworkReply::OperationCanceledError
                                        ? QStringLiteral("The request timed out.")
                                        : reply->errorString();
        co_return ApiError::transport(int(error), description);
    }
    if (!status.isValid())
        co_return ApiError::of(OrvelApiError::invalidResponse);
    if (status.toInt() < 200 || status.toInt() > 299)
        co_return ApiError::http(status.toInt());
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(reply->readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject())
        co_return ApiError::of(OrvelApiError::invalidResponse);
    co_return doc.object();
}
