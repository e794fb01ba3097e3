#include "TestSupport.h"

#include "Log.h"

#include <QDir>

bool detail::spinUntil(const std::function<bool()>& cond, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QTest::qWait(1);
    }
    return true;
}

LogCapture::LogCapture() {
    Log::setSink([this](const QString& l) { lines.append(l); });
}

LogCapture::~LogCapture() {
    Log::setSink({});
}

bool LogCapture::contains(const QString& fragment) const {
    for (const QString& l : lines)
        if (l.contains(fragment))
            return true;
    return false;
}

QString artifactDir() {
    QString dir = qEnvironmentVariable("ORVEL_ARTIFACTS");
    if (dir.isEmpty())
        dir = QDir::tempPath() + QStringLiteral("/orvel-artifacts");
    QDir().mkpath(dir);
    return dir;
}
