#include "StandinServer.h"

#include "Backend.h"
#include "Catalog.h"

#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>

namespace standin {

// QHttpServer 6.4 only routes by registered rules; subclassing the abstract server gives us
// every request in one place, so that logging and scripted faults cover unknown paths too.
class HttpFront : public QAbstractHttpServer {
  public:
    explicit HttpFront(Server* owner) : m_owner(owner) {}

  protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest&, QTcpSocket*) override {}

  private:
    Server* m_owner;
};

// One request waiting for its answer. The answer is written straight to the socket (not
// through QHttpServerResponder) so that any status code, a cut-off body or a silent drop can
// be produced; the socket is watched because the client may go away during a delay.
class Server::Exchange {
  public:
    LoggedRequest req;
    QPointer<QTcpSocket> socket;

    bool alive() const { return socket && socket->state() == QAbstractSocket::ConnectedState; }

    void drop() {
        if (alive())
            socket->abort();
    }

    // With `cut`, the head announces the whole body but only its first half is sent before the
    // connection is closed.
    void send(const Reply& r, bool cut = false) {
        if (!alive())
            return;
        const bool image = r.contentType.startsWith("image/");
        const qsizetype announced = cut ? qMax<qsizetype>(r.body.size(), 1) : r.body.size();
        QByteArray head =
            "HTTP/1.1 " + QByteArray::number(r.status) + ' ' + reasonPhrase(r.status) +
            "\r\nContent-Type: " + r.contentType +
            "\r\nContent-Length: " + QByteArray::number(announced) + "\r\nCache-Control: " +
            (image ? QByteArray("public, max-age=86400") : QByteArray("no-store")) + "\r\n";
        if (!r.location.isEmpty())
            head += "Location: " + r.location + "\r\n";
        // Head and body in one write with no delay: two small segments would make the body
        // wait for the client's delayed acknowledgement (about 40 ms on Linux).
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        head += "\r\n";
        if (req.method != QLatin1String("HEAD"))
            head += cut ? r.body.left(r.body.size() / 2) : r.body;
        socket->write(head);
        if (cut)
            socket->disconnectFromHost(); // sends what is queued, then closes
    }

  private:
    static QByteArray reasonPhrase(int status) {
        switch (status) {
        case 200:
            return "OK";
        case 201:
            return "Created";
        case 204:
            return "No Content";
        case 302:
            return "Found";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 413:
            return "Payload Too Large";
        case 500:
            return "Internal Server Error";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
        }
    }
};

namespace {

QString methodName(QHttpServerRequest::Method m) {
    switch (m) {
    case QHttpServerRequest::Method::Get:
        return QStringLiteral("GET");
    case QHttpServerRequest::Method::Put:
        return QStringLiteral("PUT");
    case QHttpServerRequest::Method::Delete:
        return QStringLiteral("DELETE");
    case QHttpServerRequest::Method::Post:
        return QStringLiteral("POST");
    case QHttpServerRequest::Method::Head:
        return QStringLiteral("HEAD");
    case QHttpServerRequest::Method::Options:
        return QStringLiteral("OPTIONS");
    case QHttpServerRequest::Method::Patch:
        return QStringLiteral("PATCH");
    case QHttpServerRequest::Method::Connect:
        return QStringLiteral("CONNECT");
    case QHttpServerRequest::Method::Trace:
        return QStringLiteral("TRACE");
    default:
        return QStringLiteral("UNKNOWN");
    }
}

QString faultKey(const QString& method, const QString& path) {
    return method.toUpper() + QLatin1Char(' ') + path;
}

} // namespace

bool HttpFront::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    auto ex = std::make_shared<Server::Exchange>();
    LoggedRequest& r = ex->req;
    r.method = methodName(request.method());
    r.path = request.url().path(QUrl::FullyDecoded);
    r.rawQuery = request.url().query(QUrl::FullyEncoded);
    r.query = QUrlQuery(request.url());
    for (const auto& [name, value] : request.headers()) {
        QByteArray& slot = r.headers[name.toLower()];
        slot = slot.isEmpty() ? value : slot + ", " + value;
    }
    r.body = request.body();
    r.peer = request.remoteAddress();
    ex->socket = socket;
    m_owner->dispatch(ex);
    return true;
}

Server::Server(Options o, QObject* parent)
    : QObject(parent), m_options(o), m_backend(std::make_unique<Backend>(o)),
      m_http(std::make_unique<HttpFront>(this)) {}

Server::~Server() = default;

bool Server::listen() {
    if (!m_backend->isReady()) {
        qWarning("standin: cannot open database %s: %s", qPrintable(m_options.dbPath),
                 qPrintable(m_backend->lastError()));
        return false;
    }
    m_port = m_http->listen(m_options.bind, m_options.port);
    return m_port != 0;
}

quint16 Server::port() const {
    return m_port;
}

QString Server::baseUrl() const {
    const QHostAddress& a = m_options.bind;
    QString host = QStringLiteral("127.0.0.1");
    if (a.protocol() == QAbstractSocket::IPv6Protocol && a != QHostAddress::LocalHostIPv6 &&
        a != QHostAddress::AnyIPv6)
        host = QLatin1Char('[') + a.toString() + QLatin1Char(']');
    else if (a.protocol() == QAbstractSocket::IPv4Protocol && a != QHostAddress::AnyIPv4)
        host = a.toString();
    return QStringLiteral("http://%1:%2").arg(host).arg(m_port);
}

void Server::dispatch(const std::shared_ptr<Exchange>& ex) {
    m_log.append(ex->req);

    Fault fault;
    bool faulted = false;
    for (const QString& key :
         {faultKey(ex->req.method, ex->req.path), faultKey(QStringLiteral("*"), ex->req.path)}) {
        auto it = m_faults.find(key);
        if (it == m_faults.end())
            continue;
        fault = *it;
        faulted = true;
        if (it->times > 0 && --it->times == 0)
            m_faults.erase(it);
        break;
    }

    // Addresses in answers follow the Host the client used; anything odd in it falls back to
    // our own address rather than being echoed into answers.
    static const QRegularExpression hostPattern(QStringLiteral("^[A-Za-z0-9.\\-:\\[\\]]+$"));
    const QString host = QString::fromLatin1(ex->req.headers.value("host"));
    const QString origin =
        hostPattern.match(host).hasMatch() ? QStringLiteral("http://") + host : baseUrl();

    auto answer = [this, ex, fault, faulted, origin] {
        if (faulted && fault.drop)
            return ex->drop();
        if (faulted && !fault.redirectTo.isEmpty()) {
            Reply r = Reply::json({{"redirect", fault.redirectTo}}, 302);
            r.location = fault.redirectTo.toUtf8();
            return ex->send(r);
        }
        Reply r;
        if (faulted && fault.status > 0)
            r = Reply::data(fault.body,
                            fault.contentType.isEmpty() ? "application/json" : fault.contentType,
                            fault.status);
        else
            r = m_backend->handle(ex->req, origin);
        ex->send(r, faulted && fault.dropMidBody);
    };
    const int delayMs = m_options.latencyMs + (faulted ? fault.delayMs : 0);
    if (delayMs > 0)
        QTimer::singleShot(delayMs, this, answer);
    else
        answer();
}

void Server::setFault(const QString& method, const QString& path, Fault f) {
    m_faults.insert(faultKey(method, path), f);
}

void Server::clearFaults() {
    m_faults.clear();
}

QList<LoggedRequest> Server::requests() const {
    return m_log;
}

int Server::count(const QString& method, const QString& path) const {
    return int(std::count_if(m_log.begin(), m_log.end(), [&](const LoggedRequest& r) {
        return r.path == path && (method == QLatin1String("*") || r.method == method.toUpper());
    }));
}

void Server::clearLog() {
    m_log.clear();
}

QString Server::issueTokens(const QString& login, QString* refreshOut) {
    const TokenPair t = m_backend->signIn(login);
    if (refreshOut)
        *refreshOut = t.refresh;
    return t.access;
}

void Server::expireAccessTokens() {
    m_backend->store().expireAccessTokens();
}

void Server::setStorage(const QString& login, const QString& key, const QJsonValue& value) {
    m_backend->store().setStorageValue(m_backend->ensureUser(login), key, value);
}

QJsonValue Server::storage(const QString& login, const QString& key) const {
    const auto id = m_backend->store().accountId(login);
    const auto v = id ? m_backend->store().storageValue(*id, key) : std::nullopt;
    return v.value_or(QJsonValue(QJsonValue::Undefined));
}

void Server::setAccessTtl(int seconds) {
    m_backend->setAccessTtl(seconds);
}

QStringList Server::facultyNames() {
    return Catalog::facultyNames();
}

QString Server::demoTeacherName() {
    return Catalog::demoTeacherName();
}

} // namespace standin
