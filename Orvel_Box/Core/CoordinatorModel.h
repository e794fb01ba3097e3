#pragma once
#include "CO.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

// State of the root view: the one coordinator for the life of the window.
class CoordinatorModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(CO* co READ co CONSTANT)
public:
    explicit CoordinatorModel(QObject* parent = nullptr);
    // Tests hand in their own coordinator.
    explicit CoordinatorModel(CO* co, QObject* parent = nullptr);
    CO* co() const { return m_co; }

private:
    CO* m_co;
};
