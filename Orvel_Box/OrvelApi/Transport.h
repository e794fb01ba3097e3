#pragma once
#include <QNetworkAccessManager>

// The process-wide HTTP session of the service client. It keeps no cookies and no cache, so
// nothing but what the client sets explicitly travels with a request.
namespace Transport {
QNetworkAccessManager* shared();
// Makes `nam` refuse and never send cookies (the API session and the picture cache both use it).
void refuseCookies(QNetworkAccessManager* nam);
} // namespace Transport
