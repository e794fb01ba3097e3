#include "CoordinatorModel.h"

CoordinatorModel::CoordinatorModel(QObject* parent) : QObject(parent), m_co(new CO(this)) {}

CoordinatorModel::CoordinatorModel(CO* co, QObject* parent) : QObject(parent), m_co(co) {
    m_co->setParent(this);
}
