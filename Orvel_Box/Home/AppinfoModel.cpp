#include "AppinfoModel.h"

#include "AppInfo.h"
#include "VariantList.h"

QString AppinfoModel::versionLine() {
    return QStringLiteral("Version: %1 (%2)").arg(AppInfo::version(), AppInfo::buildNumber());
}

QList<siteLink> AppinfoModel::links() {
    const QString page = QStringLiteral("newspaper");
    return {
        {QStringLiteral("Сайт проекта"), QStringLiteral("globe"), AppInfo::sitePage({})},
        {QStringLiteral("Пользовательское соглашение"), page,
         AppInfo::sitePage(QStringLiteral("/user-agreement"))},
        {QStringLiteral("Политика конфиденциальности"), page,
         AppInfo::sitePage(QStringLiteral("/privacy"))},
    };
}

// The names and pictures are the product's to supply; the pictures here are drawn stand-ins.
QList<devBox> AppinfoModel::developers() {
    return {
        {QUrl(QStringLiteral("qrc:/orvel/developer-1.svg")), QStringLiteral("Никита Соколов"),
         QStringLiteral("Разработчик версий приложений под iOS и macOS. Занимается разработкой и "
                        "поддержкой API.")},
        {QUrl(QStringLiteral("qrc:/orvel/developer-2.svg")), QStringLiteral("Егор Васильев"),
         QStringLiteral("Разработчик версий приложений под Android и Windows.")},
    };
}

QVariantList AppinfoModel::linksForQml() {
    return variantList(links());
}

QVariantList AppinfoModel::developersForQml() {
    return variantList(developers());
}
