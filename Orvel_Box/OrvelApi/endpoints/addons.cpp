#include "EndpointSupport.h"
#include "OrvelApi.h"

using namespace endpoint;

namespace {
const QString kAddonId = QStringLiteral("addon_id");
const QString kThemeId = QStringLiteral("theme_id");

QString editorTheme(qint64 themeId) {
    return QStringLiteral("/api/themes/editor/") + decimal(themeId);
}
QString adminUser(qint64 userId, const char* action) {
    return QStringLiteral("/api/admin/users/") + decimal(userId) + u'/' + QLatin1String(action);
}
QString adminTeacher(const QString& name) {
    return QStringLiteral("/api/teachers/admin/") + OrvelApi::queryEscape(name);
}
} // namespace

QCoro::Task<ApiResult> OrvelApi::getAddons(std::optional<QString> search, int limit, int offset) {
    return withoutBody(QStringLiteral("/api/addons") + pageQuery(limit, offset, search));
}

QCoro::Task<ApiResult> OrvelApi::installAddon(qint64 addonId) {
    return sendJson(QStringLiteral("/api/addons/install"), kPost, {{kAddonId, addonId}});
}

QCoro::Task<ApiResult> OrvelApi::toggleAddon(qint64 addonId, bool isActive) {
    return sendJson(QStringLiteral("/api/addons/toggle"), kPost,
                    {{kAddonId, addonId}, {QStringLiteral("is_active"), isActive}});
}

QCoro::Task<ApiResult> OrvelApi::uninstallAddon(qint64 addonId) {
    return sendJson(QStringLiteral("/api/addons/uninstall"), kPost, {{kAddonId, addonId}});
}

QCoro::Task<ApiResult> OrvelApi::getMyAddons() {
    return withoutBody(QStringLiteral("/api/addons/my"));
}

QCoro::Task<ApiResult> OrvelApi::getThemes(std::optional<QString> search, int limit, int offset) {
    return withoutBody(QStringLiteral("/api/themes") + pageQuery(limit, offset, search));
}

QCoro::Task<ApiResult> OrvelApi::installTheme(QJsonValue themeId) {
    // An undefined id would silently drop the "theme_id" member from the object.
    if (themeId.isUndefined())
        return refuse(ApiError::of(OrvelApiError::invalidParams));
    return sendJson(QStringLiteral("/api/themes/install"), kPost, {{kThemeId, themeId}});
}

QCoro::Task<ApiResult> OrvelApi::activateTheme(qint64 themeId) {
    return sendJson(QStringLiteral("/api/themes/activate"), kPost, {{kThemeId, themeId}});
}

QCoro::Task<ApiResult> OrvelApi::deactivateTheme(qint64 themeId) {
    return sendJson(QStringLiteral("/api/themes/deactivate"), kPost, {{kThemeId, themeId}});
}

QCoro::Task<ApiResult> OrvelApi::getActiveTheme() {
    return withoutBody(QStringLiteral("/api/themes/active"));
}

QCoro::Task<ApiResult> OrvelApi::getMyThemes() {
    return withoutBody(QStringLiteral("/api/themes/my"));
}

QCoro::Task<ApiResult> OrvelApi::getMyEditorThemes() {
    return withoutBody(QStringLiteral("/api/themes/editor/my"));
}

QCoro::Task<ApiResult> OrvelApi::createEditorTheme(QJsonObject theme) {
    return sendJson(QStringLiteral("/api/themes/editor/create"), kPost, theme);
}

QCoro::Task<ApiResult> OrvelApi::saveEditorTheme(qint64 themeId, QJsonObject theme) {
    return sendJson(editorTheme(themeId) + QStringLiteral("/save"), kPost, theme);
}

QCoro::Task<ApiResult> OrvelApi::deleteEditorTheme(qint64 themeId) {
    return withoutBody(editorTheme(themeId), kDelete);
}

QCoro::Task<ApiResult> OrvelApi::publishEditorTheme(qint64 themeId) {
    return withoutBody(editorTheme(themeId) + QStringLiteral("/publish"), kPost);
}

QCoro::Task<ApiResult> OrvelApi::getAdminStats() {
    return withoutBody(QStringLiteral("/api/admin/stats"));
}

QCoro::Task<ApiResult> OrvelApi::getAdminUsers(std::optional<QString> search, int limit,
                                               int offset) {
    return withoutBody(QStringLiteral("/api/admin/users") + pageQuery(limit, offset, search));
}

QCoro::Task<ApiResult> OrvelApi::banUser(qint64 userId) {
    return withoutBody(adminUser(userId, "ban"), kPost);
}

QCoro::Task<ApiResult> OrvelApi::unbanUser(qint64 userId) {
    return withoutBody(adminUser(userId, "unban"), kPost);
}

QCoro::Task<ApiResult> OrvelApi::grantDeveloper(qint64 userId) {
    return withoutBody(adminUser(userId, "grant-developer"), kPost);
}

QCoro::Task<ApiResult> OrvelApi::revokeDeveloper(qint64 userId) {
    return withoutBody(adminUser(userId, "revoke-developer"), kPost);
}

QCoro::Task<ApiResult> OrvelApi::grantAdmin(qint64 userId) {
    return withoutBody(adminUser(userId, "grant-admin"), kPost);
}

QCoro::Task<ApiResult> OrvelApi::revokeAdmin(qint64 userId) {
    return withoutBody(adminUser(userId, "revoke-admin"), kPost);
}

QCoro::Task<ApiResult> OrvelApi::broadcast(QString title, QString body) {
    return sendJson(QStringLiteral("/api/admin/broadcast"), kPost,
                    {{QStringLiteral("title"), title}, {QStringLiteral("body"), body}});
}

QCoro::Task<ApiResult> OrvelApi::getAuditLog(int limit, int offset) {
    return withoutBody(QStringLiteral("/api/admin/audit") + pageQuery(limit, offset));
}

QCoro::Task<ApiResult> OrvelApi::getAdminNews(int limit, int offset) {
    return withoutBody(QStringLiteral("/api/news/admin/list") + pageQuery(limit, offset));
}

QCoro::Task<ApiResult> OrvelApi::saveAdminNews(std::optional<qint64> id, QString title,
                                               QString content, std::optional<QString> slug,
                                               QString status) {
    QJsonObject body{{QStringLiteral("title"), title},
                     {QStringLiteral("content"), content},
                     {QStringLiteral("status"), status}};
    putIf(body, QStringLiteral("id"), id);
    putIf(body, QStringLiteral("slug"), slug);
    return sendJson(QStringLiteral("/api/news/admin"), kPost, body);
}

QCoro::Task<ApiResult> OrvelApi::deleteAdminNews(qint64 newsId) {
    return withoutBody(QStringLiteral("/api/news/admin/") + decimal(newsId), kDelete);
}

QCoro::Task<ApiResult> OrvelApi::createTeacher(QJsonObject teacher) {
    return sendJson(QStringLiteral("/api/teachers/admin"), kPost, teacher);
}

QCoro::Task<ApiResult> OrvelApi::updateTeacher(QString name, QJsonObject teacher) {
    return sendJson(adminTeacher(name), kPatch, teacher);
}

QCoro::Task<ApiResult> OrvelApi::deleteTeacher(QString name) {
    return withoutBody(adminTeacher(name), kDelete);
}

QCoro::Task<ApiResult> OrvelApi::uploadTeacherPhoto(QString name, QByteArray imageData,
                                                    QString filename, QString mimeType) {
    return sendMultipart(adminTeacher(name) + QStringLiteral("/photo"), {},
                         {{QStringLiteral("photo"), filename, mimeType, imageData}});
}
