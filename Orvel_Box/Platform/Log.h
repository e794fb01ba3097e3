#pragma once
#include <QLoggingCategory>
#include <QString>
#include <functional>

// Diagnostic lines. Everything the application reports goes through here so that secrets are
// scrubbed in one place: a line is scrubbed before it reaches Qt's logging, and Qt's own
// messages are scrubbed by the message handler installed with the first secret. Lines go
// through logging categories ("orvel.*", switchable with QT_LOGGING_RULES) and are written
// to standard output as plain text, or to a sink that tests install.
namespace Log {
Q_DECLARE_LOGGING_CATEGORY(general)   // orvel
Q_DECLARE_LOGGING_CATEGORY(api)       // orvel.api: requests, transport, tokens
Q_DECLARE_LOGGING_CATEGORY(session)   // orvel.session: sign-in, start-up check, preferences
Q_DECLARE_LOGGING_CATEGORY(timetable) // orvel.timetable: weeks, teachers, work mode
Q_DECLARE_LOGGING_CATEGORY(pictures)  // orvel.pictures: the picture cache
Q_DECLARE_LOGGING_CATEGORY(home)      // orvel.home: news, devices, menu

void line(const QString& text);
void line(const QLoggingCategory& category, const QString& text);

// Registers a value (token, password) that must never reach the output; any occurrence is
// replaced by "***". Empty values are ignored.
void addSecret(const QString& secret);
void clearSecrets();
// `text` with every registered secret replaced.
QString scrubbed(const QString& text);

// Replaces the default stdout sink (tests); pass an empty function to restore it.
using Sink = std::function<void(const QString&)>;
void setSink(Sink sink);
} // namespace Log
