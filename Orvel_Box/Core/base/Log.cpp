#include "Log.h"

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <cstdio>

namespace {
QMutex mutex;
QStringList secrets;
Log::Sink sink;
} // namespace

void Log::line(const QString& text) {
    QMutexLocker lock(&mutex);
    QString scrubbed = text;
    for (const QString& s : std::as_const(secrets))
        scrubbed.replace(s, QStringLiteral("***"));
    if (sink) {
        sink(scrubbed);
        return;
    }
    const QByteArray bytes = scrubbed.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void Log::addSecret(const QString& secret) {
    // Very short values would scrub ordinary words; real tokens and passwords are longer.
    if (secret.size() < 3)
        return;
    QMutexLocker lock(&mutex);
    if (!secrets.contains(secret))
        secrets.append(secret);
}

void Log::clearSecrets() {
    QMutexLocker lock(&mutex);
    secrets.clear();
}

void Log::setSink(Sink s) {
    QMutexLocker lock(&mutex);
    sink = std::move(s);
}
