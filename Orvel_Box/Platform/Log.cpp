#include "Log.h"

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <cstdio>
#include <mutex>

namespace Log {
Q_LOGGING_CATEGORY(general, "orvel")
Q_LOGGING_CATEGORY(api, "orvel.api")
Q_LOGGING_CATEGORY(session, "orvel.session")
Q_LOGGING_CATEGORY(timetable, "orvel.timetable")
Q_LOGGING_CATEGORY(pictures, "orvel.pictures")
Q_LOGGING_CATEGORY(home, "orvel.home")
} // namespace Log

namespace {
QMutex mutex;
QStringList secrets;
Log::Sink sink;
QtMessageHandler previous = nullptr;

bool ours(const QMessageLogContext& context) {
    const char* name = context.category;
    return name && (qstrcmp(name, "orvel") == 0 || qstrncmp(name, "orvel.", 6) == 0);
}

void write(const QString& text) {
    Log::Sink target;
    {
        QMutexLocker lock(&mutex);
        target = sink;
    }
    if (target) {
        target(text);
        return;
    }
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Our lines arrive already scrubbed and are written as they are; Qt's own messages (network
// errors quoting an address, for instance) are scrubbed and handed on.
void handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (ours(context)) {
        write(message);
        return;
    }
    const QString clean = Log::scrubbed(message);
    if (previous)
        previous(type, context, clean);
}

void installHandler() {
    static std::once_flag once;
    std::call_once(once, [] { previous = qInstallMessageHandler(handle); });
}
} // namespace

QString Log::scrubbed(const QString& text) {
    QMutexLocker lock(&mutex);
    QString clean = text;
    for (const QString& s : std::as_const(secrets))
        clean.replace(s, QStringLiteral("***"));
    return clean;
}

void Log::line(const QString& text) {
    line(general(), text);
}

void Log::line(const QLoggingCategory& category, const QString& text) {
    installHandler();
    if (!category.isInfoEnabled())
        return;
    QMessageLogger(nullptr, 0, nullptr, category.categoryName())
        .info(category, "%ls", qUtf16Printable(scrubbed(text)));
}

void Log::addSecret(const QString& secret) {
    // Very short values would scrub ordinary words; real tokens and passwords are longer.
    if (secret.size() < 3)
        return;
    installHandler();
    QMutexLocker lock(&mutex);
    if (!secrets.contains(secret))
        secrets.append(secret);
}

void Log::clearSecrets() {
    QMutexLocker lock(&mutex);
    secrets.clear();
}

void Log::setSink(Sink s) {
    installHandler();
    QMutexLocker lock(&mutex);
    sink = std::move(s);
}
