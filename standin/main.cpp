// orvel-standin: the stand-in service as a process, for demos and manual runs of the client.
#include "StandinServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <cstdio>

namespace {

int fail(const QString& message) {
    std::fprintf(stderr, "orvel-standin: %s\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvel-standin"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Local stand-in for the Orvel Box service, news content and web site.\n"
                       "Demo accounts: student/student, teacher/teacher."));
    parser.addHelpOption();
    const QCommandLineOption port({"p", "port"}, "Port to listen on (0: any free port).", "N",
                                  "8765");
    const QCommandLineOption bind("bind", "Address to listen on.", "ADDR", "127.0.0.1");
    const QCommandLineOption allowRemote("allow-remote",
                                         "Allow a --bind address other than loopback.");
    const QCommandLineOption db("db", "SQLite database file (\":memory:\" keeps nothing).", "PATH");
    const QCommandLineOption reset("reset", "Start with a fresh database.");
    const QCommandLineOption ttl("access-ttl", "Lifetime of access tokens.", "SECONDS", "900");
    const QCommandLineOption latency("latency", "Delay every answer by this much.", "MS", "0");
    parser.addOptions({port, bind, allowRemote, db, reset, ttl, latency});
    parser.process(app);

    standin::Options o;
    bool ok = false;
    const uint portValue = parser.value(port).toUInt(&ok);
    if (!ok || portValue > 65535)
        return fail(QStringLiteral("--port needs a number from 0 to 65535"));
    o.port = quint16(portValue);
    o.accessTtlSeconds = parser.value(ttl).toInt(&ok);
    if (!ok || o.accessTtlSeconds < 0)
        return fail(QStringLiteral("--access-ttl needs a number of seconds"));
    o.latencyMs = parser.value(latency).toInt(&ok);
    if (!ok || o.latencyMs < 0)
        return fail(QStringLiteral("--latency needs a number of milliseconds"));
    if (!o.bind.setAddress(parser.value(bind)))
        return fail(QStringLiteral("--bind needs an IP address"));
    // Everything here (tokens, passwords, stored settings) is demo material with no
    // protection worth the name; it is reachable from other machines only on request.
    if (!o.bind.isLoopback() && !parser.isSet(allowRemote))
        return fail(QStringLiteral("refusing to listen on %1 without --allow-remote")
                        .arg(o.bind.toString()));

    if (parser.isSet(db)) {
        o.dbPath = parser.value(db);
    } else {
        const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        if (!QDir().mkpath(dir))
            return fail(QStringLiteral("cannot create %1").arg(dir));
        o.dbPath = dir + QStringLiteral("/standin.sqlite");
    }
    if (parser.isSet(reset) && o.dbPath != QLatin1String(":memory:")) {
        for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
            const QString file = o.dbPath + QLatin1String(suffix);
            if (QFile::exists(file) && !QFile::remove(file))
                return fail(QStringLiteral("cannot remove %1").arg(file));
        }
    }

    standin::Server server(o);
    if (!server.listen()) {
        std::fprintf(stderr, "orvel-standin: cannot listen on %s port %u\n",
                     qPrintable(o.bind.toString()), unsigned(o.port));
        return 1;
    }
    std::printf("orvel-standin listening on %s\n", qPrintable(server.baseUrl()));
    std::fflush(stdout);
    return app.exec();
}
