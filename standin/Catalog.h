// Demo data of the stand-in: faculties, groups, teachers, week timetables and news, all derived
// from a fixed seed so that every run (and every test) sees the same university.
#pragma once

#include <QString>
#include <QStringList>

namespace standin {

class Catalog {
  public:
    explicit Catalog(bool withDemoData);
    static QString demoTeacherName();
    static QStringList facultyNames();
};

} // namespace standin
