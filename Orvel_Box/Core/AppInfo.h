#pragma once
#include <QObject>
#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

// Facts about this build and small conversions the screens share.
namespace AppInfo {
// The version and build number texts of this build ("0.0.0" and "0" when the build left
// them empty).
QString version();
QString buildNumber();
// A page of the project web site; `path` starts with "/" (empty for the home page).
QUrl sitePage(const QString& path);
} // namespace AppInfo

// The same for QML.
class AppInfoObject : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(AppInfo)
    QML_SINGLETON
    Q_PROPERTY(QString version READ version CONSTANT)
    Q_PROPERTY(QString buildNumber READ buildNumber CONSTANT)
  public:
    using QObject::QObject;
    QString version() const { return AppInfo::version(); }
    QString buildNumber() const { return AppInfo::buildNumber(); }
    Q_INVOKABLE QUrl sitePage(const QString& path) const { return AppInfo::sitePage(path); }
};
