#include "ImageLoader.h"

#include "PhotoCache.h"

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
