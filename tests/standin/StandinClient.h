// A raw HTTP client for talking to the stand-in in tests: no token handling, no retries, so the
// tests see exactly what the server answers.
#pragma once

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

struct Answer {
    int status = 0;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QByteArray body;
    QByteArray contentType;
    QByteArray location;
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
    QString errorText() const { return json().value("error").toString(); }
};

class StandinClient {
  public:
    explicit StandinClient(QString base) : m_base(std::move(base)) {}

    QNetworkReply* start(const QByteArray& method, const QString& path, const QByteArray& body = {},
                         const QString& token = {}) {
        QNetworkRequest req(QUrl(m_base + path));
        req.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
        if (!body.isNull())
            req.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        if (!token.isEmpty())
            req.setRawHeader("Authorization", "Bearer " + token.toLatin1());
        return m_nam.sendCustomRequest(req, method, body);
    }

    static Answer finish(QNetworkReply* reply, int timeoutMs = 10000) {
        if (!reply->isFinished()) {
            QEventLoop loop;
            QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
            QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
            loop.exec();
        }
        Answer a;
        if (!reply->isFinished()) {
            reply->abort();
            a.error = QNetworkReply::TimeoutError;
        } else {
            a.error = reply->error();
        }
        a.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        a.body = reply->readAll();
        a.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
        a.location = reply->rawHeader("Location");
        reply->deleteLater();
        return a;
    }

    Answer send(const QByteArray& method, const QString& path, const QByteArray& body = {},
                const QString& token = {}) {
        return finish(start(method, path, body, token));
    }

    Answer get(const QString& path, const QString& token = {}) {
        return send("GET", path, {}, token);
    }

    Answer post(const QString& path, const QJsonObject& body, const QString& token = {}) {
        return send("POST", path, QJsonDocument(body).toJson(QJsonDocument::Compact), token);
    }

  private:
    QString m_base;
    QNetworkAccessManager m_nam;
};
