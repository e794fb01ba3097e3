#include "CachedAsyncImage.h"

#include "PhotoCache.h"

#include <QPainter>
#include <QPainterPath>

void ImageLoader::load(const QUrl& url) {
    const LoadTicket ticket = m_loads.start(this);
    m_loading = true;
    emit changed();
    [](ImageLoader* self, QUrl url, LoadTicket ticket) -> QCoro::Task<void> {
        const std::optional<QImage> img = co_await PhotoCache::instance().load(url);
        // A newer load for this view wins, whichever finishes last.
        if (!ticket.current())
            co_return;
        if (img)
            self->m_image = *img;
        self->m_loading = false;
        emit self->changed();
    }(this, url, ticket);
}

CachedAsyncImage::CachedAsyncImage(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setAntialiasing(true);
    connect(&m_loader, &ImageLoader::changed, this, [this] {
        m_scaled = {};
        update();
        emit loaderChanged();
    });
}

void CachedAsyncImage::setUrl(const QUrl& url) {
    if (url == m_url)
        return;
    m_url = url;
    emit urlChanged();
    // Delegates are reused with new data, so a new address is loaded rather than ignored.
    if (isComponentComplete())
        m_loader.load(m_url);
}

void CachedAsyncImage::setRadius(qreal r) {
    if (qFuzzyCompare(r, m_radius))
        return;
    m_radius = r;
    update();
    emit radiusChanged();
}

void CachedAsyncImage::componentComplete() {
    QQuickPaintedItem::componentComplete();
    m_loader.load(m_url);
}

void CachedAsyncImage::paint(QPainter* painter) {
    const QImage source = m_loader.image();
    const QSize box = size().toSize();
    if (source.isNull() || box.isEmpty())
        return;
    if (m_scaled.size() != box) {
        const QImage filled =
            source.scaled(box, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        m_scaled = filled.copy((filled.width() - box.width()) / 2,
                               (filled.height() - box.height()) / 2, box.width(), box.height());
    }
    painter->setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    const qreal r = std::min({m_radius, box.width() / 2.0, box.height() / 2.0});
    clip.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(box)), r, r);
    painter->setClipPath(clip);
    painter->drawImage(QPoint(0, 0), m_scaled);
}
