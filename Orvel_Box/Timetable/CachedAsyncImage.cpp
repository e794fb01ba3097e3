#include "CachedAsyncImage.h"

#include <QPainter>
#include <QPainterPath>

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
