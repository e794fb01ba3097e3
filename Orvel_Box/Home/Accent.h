#pragma once
#include <QColor>
#include <QObject>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

// The accent colour every side screen tints itself with: the settings map's colour, or the
// fallback (the platform blue) when the map holds none or holds something else there.
class Accent : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
  public:
    using QObject::QObject;
    static QColor from(const QVariantMap& settings, const QColor& fallback);
    Q_INVOKABLE QColor of(const QVariantMap& settings, const QColor& fallback) const {
        return from(settings, fallback);
    }
};
