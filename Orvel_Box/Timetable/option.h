#pragma once
#include <QMetaType>
#include <QString>
#include <QtQml/qqmlregistration.h>

// One entry of a picker: a faculty, a group or a teacher. `id` -1 is the "no choice" entry
// every list starts with.
struct option {
    Q_GADGET
    QML_VALUE_TYPE(option)
    Q_PROPERTY(int id MEMBER id)
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(QString icon MEMBER icon)
    Q_PROPERTY(bool iconIsImage READ iconIsImage)
  public:
    int id = -1;
    QString name;
    // A picture address or a symbol name.
    QString icon;

    static option none() { return {-1, QStringLiteral("Не выбрано"), QStringLiteral("minus")}; }

    // The service gives picture addresses in https, which the "contains https" test catches;
    // the local stand-in serves the same pictures over plain http, so an address starting with
    // either scheme counts too. Symbol names never contain any of these.
    bool iconIsImage() const {
        return icon.startsWith(u"http://") || icon.startsWith(u"https://") ||
               icon.contains(u"https");
    }

    friend bool operator==(const option&, const option&) = default;
};
