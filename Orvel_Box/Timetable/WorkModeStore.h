#pragma once
#include "OrvelApi.h"

#include <QCoroTask>
#include <QPointer>

// The work mode in the per-user store: whose timetable the application shows. The one place
// that knows its keys; the work-mode screen writes it, both it and the timetable read it.
namespace WorkModeStore {
enum class Key { mode, faculty, group, teacher };

// The stored text of `key`; std::nullopt when nothing, or something other than text, is stored.
QCoro::Task<Result<std::optional<QString>>> read(OrvelApi* client, Key key);
// Whether a work mode was ever stored, from the store's key listing.
QCoro::Task<Result<bool>> modeStored(OrvelApi* client);

// The entries a choice is stored as, in writing order: the mode, then that mode's keys (the
// other mode's keys are left as they are).
QList<std::pair<QString, QString>> studentEntries(const QString& faculty, const QString& group);
QList<std::pair<QString, QString>> teacherEntries(const QString& teacher);
} // namespace WorkModeStore
