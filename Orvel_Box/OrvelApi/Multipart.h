#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

// One file part of a multipart/form-data body.
struct MultipartFile {
    QString fieldName;
    QString filename;
    QString mimeType;
    QByteArray data;
};

// A media attachment of a chat message as callers hand it over; it travels as a "media" part.
struct ChatMediaFile {
    QByteArray data;
    QString filename;
    QString mimeType;
};

// Plain form fields (name, value), written in list order before the file parts.
using MultipartFields = QList<std::pair<QString, QString>>;

// "Boundary-" followed by a fresh random UUID in upper case; one per request.
QString newMultipartBoundary();

// The whole body in memory. Field and file names are escaped the way browsers do (quote, CR and
// LF as %22, %0D, %0A) so that a hostile name can neither end the quoted string nor start a
// header line; values, MIME types and file bytes are copied unchanged.
QByteArray buildMultipartBody(const MultipartFields& fields, const QList<MultipartFile>& files,
                              const QString& boundary);
