#pragma once
#include <QColor>
#include <QObject>
#include <QStringView>
#include <QtQml/qqmlregistration.h>
#include <optional>

// "#RRGGBB", "RGB" (each digit doubled) or "AARRGGBB", with any punctuation around it. Text of
// any other length gives the colour whose four components are all 1/255.
QColor colorFromHex(const QString& text);

// The named system colours in their light and dark variants. The one table every colour on
// screen comes from: QML reads it through the Theme singleton, C++ through named().
class SystemColors : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
  public:
    using QObject::QObject;

    // Exact, case-sensitive name ("blue", "systemGray4", "secondaryLabel", ...).
    static std::optional<QColor> named(QStringView name, bool dark = false);
    // The same for QML; an unknown name gives an invalid colour (drawn as nothing).
    Q_INVOKABLE QColor color(const QString& name, bool dark) const;
};
