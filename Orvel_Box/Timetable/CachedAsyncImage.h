#pragma once
#include "ImageLoader.h"

#include <QQuickPaintedItem>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

// A remote picture, filling its box (cropped) and clipped to a rounded rectangle of `radius`.
// Until the picture is there it draws nothing, so a placeholder placed under it (or bound to
// `ready`) shows through.
class CachedAsyncImage : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QUrl url READ url WRITE setUrl NOTIFY urlChanged)
    Q_PROPERTY(qreal radius READ radius WRITE setRadius NOTIFY radiusChanged)
    Q_PROPERTY(bool ready READ ready NOTIFY loaderChanged)
    Q_PROPERTY(bool loading READ loading NOTIFY loaderChanged)
  public:
    explicit CachedAsyncImage(QQuickItem* parent = nullptr);
    QUrl url() const { return m_url; }
    void setUrl(const QUrl& url);
    qreal radius() const { return m_radius; }
    void setRadius(qreal r);
    bool ready() const { return m_loader.hasImage(); }
    bool loading() const { return m_loader.isLoading(); }
    void paint(QPainter* painter) override;

  signals:
    void urlChanged();
    void radiusChanged();
    void loaderChanged();

  protected:
    void componentComplete() override;

  private:
    ImageLoader m_loader;
    QUrl m_url;
    qreal m_radius = 0;
    QImage m_scaled; // the picture scaled to the current size, made once per size
};
