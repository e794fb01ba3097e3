#pragma once
#include <QString>

namespace DeviceInfo {
// The machine's hardware model identifier: the DMI product name on Linux, trimmed of
// whitespace and control characters; "Unknown Mac" when it cannot be read.
QString deviceModelIdentifier();
// Same, from a given DMI file (tests).
QString modelIdentifierFromFile(const QString& path);
// The marketing name for a model identifier; unknown identifiers come back unchanged.
QString deviceMarketingName(const QString& identifier);
// Number of identifiers the table knows (tests).
int modelTableSize();
} // namespace DeviceInfo
