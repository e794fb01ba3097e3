#pragma once
#include "LoadTicket.h"

#include <QImage>
#include <QObject>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

// Loads one remote picture through the process-wide photo cache.
class ImageLoader : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY changed)
    Q_PROPERTY(bool hasImage READ hasImage NOTIFY changed)
  public:
    using QObject::QObject;
    bool isLoading() const { return m_loading; }
    bool hasImage() const { return !m_image.isNull(); }
    QImage image() const { return m_image; }
    // A failed load keeps the previous picture.
    Q_INVOKABLE void load(const QUrl& url);

  signals:
    void changed();

  private:
    LoadTickets m_loads;
    QImage m_image;
    bool m_loading = false;
};
