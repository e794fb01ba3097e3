#include "StoredKeys.h"

#include "JsonRead.h"

StoredKeys StoredKeys::from(const QJsonObject& answer) {
    StoredKeys keys;
    for (const QJsonValue& entry : Json::array(answer, QStringLiteral("keys"))) {
        keys.onlyObjects = keys.onlyObjects && entry.isObject();
        keys.names.append(Json::text(entry.toObject(), QStringLiteral("key")));
    }
    return keys;
}
