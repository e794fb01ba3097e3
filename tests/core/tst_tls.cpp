// A server whose certificate nobody vouches for: every network user of the application refuses
// it before any request (and so any token) leaves the machine, and no token ever reaches a log
// line, whether the connection is refused or a token pair is renewed.
#include "CO.h"
#include "NewsScreenModel.h"
#include "OrvelApi.h"
#include "PhotoCache.h"
#include "StandinSession.h"
#include "TestSupport.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTemporaryDir>

namespace {
QByteArray fixture(const QString& name) {
    QFile f(QStringLiteral(":/tls/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
QSslCertificate fixtureCertificate() {
    return QSslCertificate(fixture(QStringLiteral("selfsigned-cert.pem")), QSsl::Pem);
}

// Every message Qt itself prints while the test runs, passed on to the test logger as well.
QStringList qtMessages;
QtMessageHandler previousHandler = nullptr;
void recordMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    qtMessages.append(message);
    if (previousHandler)
        previousHandler(type, context, message);
}

// A loopback HTTPS server presenting the self-signed fixture. It records everything it
// decrypts and answers any request that does arrive with a JSON object.
class TlsServer : public QObject {
  public:
    TlsServer() {
        QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
        conf.setLocalCertificate(fixtureCertificate());
        conf.setPrivateKey(QSslKey(fixture(QStringLiteral("selfsigned-key.pem")), QSsl::Rsa));
        conf.setPeerVerifyMode(QSslSocket::VerifyNone);
        m_server.setSslConfiguration(conf);
        connect(&m_server, &QSslServer::startedEncryptionHandshake, this,
                [this] { ++handshakesStarted; });
        connect(&m_server, &QTcpServer::pendingConnectionAvailable, this, &TlsServer::accept);
    }
    bool listen() { return m_server.listen(QHostAddress::LocalHost, 0); }
    quint16 port() const { return m_server.serverPort(); }
    QString baseUrl() const { return QStringLiteral("https://127.0.0.1:%1").arg(port()); }
    void reset() {
        handshakesStarted = 0;
        decrypted.clear();
    }

    int handshakesStarted = 0;
    QByteArray decrypted; // all that clients sent after a completed handshake

  private:
    void accept() {
        while (QTcpSocket* s = m_server.nextPendingConnection()) {
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            auto request = std::make_shared<QByteArray>();
            connect(s, &QTcpSocket::readyRead, this, [this, s, request] {
                const QByteArray chunk = s->readAll();
                decrypted += chunk;
                *request += chunk;
                if (request->contains("\r\n\r\n"))
                    answer(s);
            });
        }
    }
    static void answer(QTcpSocket* s) {
        const QByteArray body(R"({"ok":true,"items":[]})");
        s->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                 QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        s->disconnectFromHost();
    }

    QSslServer m_server;
};

enum class Call { bearerGet, startUp, picture, newsList };
} // namespace
Q_DECLARE_METATYPE(Call)

class TestTls : public QObject {
    Q_OBJECT
    TlsServer tls;
    std::unique_ptr<LogCapture> log;
    // Every token a case has handed to the application so far.
    QStringList secrets;

  private slots:
    void initTestCase() {
        // Request lines in the log, so there is something to search for tokens in.
        qputenv("ORVEL_LOG_REQUESTS", "1");
        QVERIFY(QSslSocket::supportsSsl());
        QVERIFY(!fixtureCertificate().isNull());
        QVERIFY(tls.listen());
        log = std::make_unique<LogCapture>();
        previousHandler = qInstallMessageHandler(recordMessage);
    }
    void cleanupTestCase() {
        qInstallMessageHandler(previousHandler);
        log.reset();
    }
    void init() {
        tls.reset();
        log->lines.clear();
    }
    void cleanup() {
        for (const QString& secret : std::as_const(secrets)) {
            QVERIFY2(!log->contains(secret), qPrintable(log->lines.join(u'\n')));
            for (const QString& m : std::as_const(qtMessages))
                QVERIFY2(!m.contains(secret), qPrintable(m));
        }
    }

    // Runs first: trusting the fixture in one place must not make the application trust it.
    void trustedClientsGetThrough() {
        QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
        trusting.setCaCertificates({fixtureCertificate()});

        // An HTTP client that trusts it gets an answer, its header readable on the server.
        QNetworkAccessManager nam;
        QNetworkRequest req(QUrl(tls.baseUrl() + QStringLiteral("/api/users/me")));
        req.setSslConfiguration(trusting);
        req.setRawHeader("Authorization", "Bearer control-token");
        std::unique_ptr<QNetworkReply> reply(nam.get(req));
        QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 10000);
        QCOMPARE(reply->error(), QNetworkReply::NoError);
        QVERIFY(tls.decrypted.contains("Bearer control-token"));
    }

    // The service client's calls share one transport: one row stands for all of them.
    void everyClientRefuses_data() {
        QTest::addColumn<Call>("call");
        QTest::newRow("request with the bearer token") << Call::bearerGet;
        QTest::newRow("start-up check") << Call::startUp;
        QTest::newRow("picture cache") << Call::picture;
        QTest::newRow("news list") << Call::newsList;
    }
    void everyClientRefuses() {
        QFETCH(Call, call);
        const QString access = QStringLiteral("tls-access-4f9c2e71");
        const QString refresh = QStringLiteral("tls-refresh-b83d0a56");
        secrets << access << refresh;
        OrvelApi api(tls.baseUrl(), access, refresh);
        api.setTimeoutMs(10000);
        std::optional<ApiResult> result;
        QTemporaryDir dir;
        switch (call) {
        case Call::bearerGet:
            result = await(api.getMe());
            break;
        case Call::startUp: {
            // The sign-in form, as for any failure that is not a service out of reach.
            auto store = std::make_shared<TokenStore>(dir.filePath(QStringLiteral("t.ini")));
            store->write(QString::fromLatin1(TokenStore::accessKey), access);
            store->write(QString::fromLatin1(TokenStore::refreshKey), refresh);
            CO co(tls.baseUrl(), store);
            QTRY_VERIFY_WITH_TIMEOUT(co.appState() != CO::appStates::loading, 10000);
            QCOMPARE(co.appState(), CO::appStates::login);
            QVERIFY(!co.offlineRetry()->active());
            break;
        }
        case Call::picture: {
            const QUrl url(tls.baseUrl() + QStringLiteral("/media/teachers/1_thumb.png"));
            {
                PhotoCache cache(dir.path());
                const auto image = await(cache.load(url));
                QVERIFY(image && !image->has_value());
                QCOMPARE(cache.networkFetches(), 1);
            }
            // Nothing from the refused server is kept for a later start to show.
            QNetworkDiskCache disk;
            disk.setCacheDirectory(dir.path());
            QVERIFY(!std::unique_ptr<QIODevice>(disk.data(url)));
            break;
        }
        case Call::newsList: {
            const QString before = NewsScreenModel::contentHost();
            NewsScreenModel::setContentHost(tls.baseUrl());
            NewsScreenModel model;
            QSignalSpy finished(&model, &NewsScreenModel::loadFinished);
            model.load();
            QVERIFY(finished.wait(10000));
            NewsScreenModel::setContentHost(before);
            QCOMPARE(finished.first().first().toBool(), false);
            QVERIFY(model.news().isEmpty() && model.isLoading());
            break;
        }
        }
        if (result) {
            QVERIFY(!result->ok() && result->error().isTransport());
            QCOMPARE(result->error().transportCode, int(QNetworkReply::SslHandshakeFailedError));
            // Something answered and was not to be trusted: not a service out of reach.
            QVERIFY(!result->error().isUnreachable());
        }
        // The client reached the server (not a closed port) and sent it nothing it could read.
        QVERIFY(tls.handshakesStarted >= 1);
        QCOMPARE(tls.decrypted, QByteArray());
        // Only the service client logs its request lines.
        const bool apiClient = call != Call::picture && call != Call::newsList;
        QCOMPARE(log->contains(QStringLiteral(" → failed")), apiClient);
    }

    // Renewal on a trusted (plain loopback) service: every token the flow handles, old and new,
    // stays out of the log while the request lines themselves are logged.
    void renewalFlowLogsNoToken() {
        StandinSession session;
        QVERIFY(session.start());
        session.server->expireAccessTokens();
        secrets << session.access << session.refresh;
        const qsizetype known = secrets.size();
        OrvelApi api(session.server->baseUrl(), session.access, session.refresh,
                     [&](const QString& a, const std::optional<QString>& r) {
                         secrets << a << r.value_or(QString());
                     });
        const auto me = await(api.getMe());
        QVERIFY(me && me->ok());
        QCOMPARE(secrets.size(), known + 2); // the renewed pair
        QVERIFY(awaitVoid(api.logout()));
        for (const char* line : {"POST /api/auth/refresh → 200", "GET /api/users/me → 401",
                                 "POST /api/auth/logout → 200"})
            QVERIFY2(log->contains(QString::fromUtf8(line)), line);
    }
};

QTEST_GUILESS_MAIN(TestTls)
#include "tst_tls.moc"
