#include "MenuScreenModel.h"

#include "AppInfo.h"
#include "JsonRead.h"
#include "PictureUrl.h"
#include "SystemColors.h"

void MenuScreenModel::setCo(CO* co) {
    if (co == m_co)
        return;
    m_co = co;
    emit changed();
}

void MenuScreenModel::setMeInfo(const QVariantMap& info) {
    if (info == m_meInfo)
        return;
    m_meInfo = info;
    emit changed();
}

QJsonObject MenuScreenModel::user() const {
    return Json::object(QJsonObject::fromVariantMap(m_meInfo), QStringLiteral("user"));
}

QString MenuScreenModel::name() const {
    return Json::text(user(), QStringLiteral("name"));
}

QString MenuScreenModel::loginLine() const {
    return u'@' + Json::text(user(), QStringLiteral("username"));
}

bool MenuScreenModel::isAdmin() const {
    return Json::boolean(user(), QStringLiteral("isAdmin"));
}

QUrl MenuScreenModel::avatarUrl() const {
    if (!m_co)
        return {};
    return pictureUrl(m_co->api()->baseUrl() + Json::text(user(), QStringLiteral("avatarUrl")));
}

QColor MenuScreenModel::gradientCentre() {
    return colorFromHex(QStringLiteral("474759"));
}

QColor MenuScreenModel::gradientEdge() {
    return colorFromHex(QStringLiteral("25252e"));
}

QUrl MenuScreenModel::feedbackUrl() {
    return AppInfo::sitePage(QStringLiteral("/report"));
}
