#include "Catalog.h"

namespace standin {

Catalog::Catalog(bool) {}

QString Catalog::demoTeacherName() {
    return {};
}
QStringList Catalog::facultyNames() {
    return {};
}

} // namespace standin
