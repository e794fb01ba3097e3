#include "EndpointSupport.h"
#include "OrvelApi.h"

#include <QUuid>

namespace {
const QByteArray kCrlf("\r\n");

// Browsers write a quote, CR and LF inside a quoted disposition parameter as %22, %0D and %0A;
// raw, they would close the quoted string or start a header line of their own.
QByteArray dispositionText(const QString& text) {
    QByteArray out = text.toUtf8();
    out.replace('"', "%22").replace('\r', "%0D").replace('\n', "%0A");
    return out;
}

QByteArray dispositionLine(const QString& name) {
    return "Content-Disposition: form-data; name=\"" + dispositionText(name) + '"';
}
} // namespace

QString newMultipartBoundary() {
    return QStringLiteral("Boundary-") +
           QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QByteArray buildMultipartBody(const MultipartFields& fields, const QList<MultipartFile>& files,
                              const QString& boundary) {
    const QByteArray dashes = "--" + boundary.toUtf8();
    QByteArray body;
    for (const auto& [name, value] : fields)
        body += dashes + kCrlf + dispositionLine(name) + kCrlf + kCrlf + value.toUtf8() + kCrlf;
    for (const MultipartFile& f : files) {
        body += dashes + kCrlf + dispositionLine(f.fieldName) + "; filename=\"" +
                dispositionText(f.filename) + '"' + kCrlf;
        body += "Content-Type: " + f.mimeType.toUtf8() + kCrlf + kCrlf;
        body += f.data + kCrlf;
    }
    body += dashes + "--" + kCrlf;
    return body;
}

QCoro::Task<ApiResult> OrvelApi::sendMultipart(QString path, MultipartFields fields,
                                               QList<MultipartFile> files) {
    // The MIME type is written as a header line of its part; a line break would end it there.
    for (const MultipartFile& f : files)
        if (f.mimeType.contains(u'\r') || f.mimeType.contains(u'\n'))
            return refuse(ApiError::of(OrvelApiError::invalidParams));
    const QString boundary = newMultipartBoundary();
    return request(std::move(path), endpoint::kPost, buildMultipartBody(fields, files, boundary),
                   QStringLiteral("multipart/form-data; boundary=") + boundary, false);
}

QCoro::Task<ApiResult> OrvelApi::uploadAvatar(QByteArray imageData, QString filename,
                                              QString mimeType) {
    return sendMultipart(QStringLiteral("/api/users/me/avatar"), {},
                         {{QStringLiteral("avatar"), filename, mimeType, imageData}});
}
