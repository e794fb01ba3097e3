#include "Transport.h"

#include <QCoreApplication>
#include <QNetworkCookie>
#include <QNetworkCookieJar>

namespace {
class NoCookies : public QNetworkCookieJar {
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    bool setCookiesFromUrl(const QList<QNetworkCookie>&, const QUrl&) override { return false; }
    QList<QNetworkCookie> cookiesForUrl(const QUrl&) const override { return {}; }
};
} // namespace

void Transport::refuseCookies(QNetworkAccessManager* nam) {
    nam->setCookieJar(new NoCookies(nam));
}

QNetworkAccessManager* Transport::shared() {
    static QNetworkAccessManager* nam = [] {
        auto* m = new QNetworkAccessManager(QCoreApplication::instance());
        refuseCookies(m);
        // Never forward the bearer token to another origin on a redirect.
        m->setRedirectPolicy(QNetworkRequest::SameOriginRedirectPolicy);
        return m;
    }();
    return nam;
}
