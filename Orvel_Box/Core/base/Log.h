#pragma once
#include <QString>
#include <functional>

// One diagnostic line on standard output. Everything the application reports goes through
// here so that secrets can be scrubbed in one place and tests can capture the output.
namespace Log {
void line(const QString& text);

// Registers a value (token, password) that must never reach the output; any occurrence is
// replaced by "***". Empty values are ignored.
void addSecret(const QString& secret);
void clearSecrets();

// Replaces the default stdout sink (tests); pass an empty function to restore it.
using Sink = std::function<void(const QString&)>;
void setSink(Sink sink);
} // namespace Log
