#include "WorkModeStore.h"

#include "JsonRead.h"
#include "StoredKeys.h"

namespace WorkModeStore {
namespace {
QString nameOf(Key key) {
    switch (key) {
    case Key::mode:
        return QStringLiteral("work_mode");
    case Key::faculty:
        return QStringLiteral("faculty_name");
    case Key::group:
        return QStringLiteral("group_name");
    case Key::teacher:
        break;
    }
    return QStringLiteral("teacher");
}
} // namespace

QCoro::Task<Result<std::optional<QString>>> read(OrvelApi* client, Key key) {
    const ApiResult answer = co_await client->storageGet(nameOf(key));
    if (!answer.ok())
        co_return answer.error();
    co_return Json::text(answer.value().value(QStringLiteral("value")));
}

QCoro::Task<Result<bool>> modeStored(OrvelApi* client) {
    const ApiResult keys = co_await client->storageKeys();
    if (!keys.ok())
        co_return keys.error();
    co_return StoredKeys::from(keys.value()).names.contains(nameOf(Key::mode));
}

QList<std::pair<QString, QString>> studentEntries(const QString& faculty, const QString& group) {
    return {{nameOf(Key::mode), QStringLiteral("student")},
            {nameOf(Key::faculty), faculty},
            {nameOf(Key::group), group}};
}

QList<std::pair<QString, QString>> teacherEntries(const QString& teacher) {
    return {{nameOf(Key::mode), QStringLiteral("teacher")}, {nameOf(Key::teacher), teacher}};
}
} // namespace WorkModeStore
