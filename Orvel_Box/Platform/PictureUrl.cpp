#include "PictureUrl.h"

QUrl pictureUrl(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && !url.isRelative() ? url : QUrl();
}
