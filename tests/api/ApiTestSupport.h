#pragma once
// Shared by the service client tests: operations as data columns and a signed-in client.
#include "OrvelApi.h"
#include "StandinSession.h"

#include <QRegularExpression>
#include <functional>
#include <memory>

// One client operation, as a data column.
using Call = std::function<QCoro::Task<ApiResult>(OrvelApi&)>;
Q_DECLARE_METATYPE(Call)

// A client signed in as a fresh session of the demo student; the request log starts empty.
inline std::unique_ptr<OrvelApi> signedInStudent(standin::Server& server) {
    QString refresh;
    const QString access = server.issueTokens(QStringLiteral("student"), &refresh);
    server.clearLog();
    return std::make_unique<OrvelApi>(server.baseUrl(), access, refresh);
}

// "Boundary-" followed by an upper-case UUID.
inline bool isBoundary(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("^Boundary-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
    return pattern.match(text).hasMatch();
}

// The boundary announced by a multipart Content-Type value; empty for anything else.
inline QString boundaryOf(const QByteArray& contentType) {
    const QByteArray prefix = "multipart/form-data; boundary=";
    return contentType.startsWith(prefix) ? QString::fromLatin1(contentType.mid(prefix.size()))
                                          : QString();
}
