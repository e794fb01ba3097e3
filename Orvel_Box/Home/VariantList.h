#pragma once
#include <QList>
#include <QVariantList>

// A list of records as QML reads it: a JS array of value types.
template <class T> QVariantList variantList(const QList<T>& records) {
    QVariantList out;
    out.reserve(records.size());
    for (const T& r : records)
        out.append(QVariant::fromValue(r));
    return out;
}
