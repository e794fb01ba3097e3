#pragma once
#include <QJsonObject>
#include <QStringList>

// The key listing of the per-user store, read one way for everyone who asks it.
struct StoredKeys {
    static StoredKeys from(const QJsonObject& answer);

    // The "key" text of every element of "keys", in answer order; an element that is not an
    // object, or whose key is not text, counts as "". A missing or malformed "keys" gives none.
    QStringList names;
    // "keys" held objects only. The preference start-up trusts no listing with a stray element
    // in it and writes every default again; the timetable takes the names it can read.
    bool onlyObjects = true;
};
