#include "EndpointSupport.h"
#include "OrvelApi.h"

using namespace endpoint;

namespace {
QString groupQuery(const QString& faculty, const QString& group) {
    return QStringLiteral("?faculty=") + OrvelApi::queryEscape(faculty) +
           QStringLiteral("&group=") + OrvelApi::queryEscape(group);
}
} // namespace

QCoro::Task<ApiResult> OrvelApi::getFaculties() {
    return withoutBody(QStringLiteral("/api/schedule/faculties"));
}

QCoro::Task<ApiResult> OrvelApi::getGroups(QString faculty) {
    return withoutBody(QStringLiteral("/api/schedule/groups?faculty=") + faculty);
}

QCoro::Task<ApiResult> OrvelApi::getWeekSchedule(QString faculty, QString group, int offset) {
    return withoutBody(QStringLiteral("/api/schedule/week") + groupQuery(faculty, group) +
                       QStringLiteral("&offset=") + decimal(offset));
}

QCoro::Task<ApiResult> OrvelApi::getDaySchedule(QString faculty, QString group, QString day) {
    return withoutBody(QStringLiteral("/api/schedule/day") + groupQuery(faculty, group) +
                       QStringLiteral("&day=") + queryEscape(day));
}

QCoro::Task<ApiResult> OrvelApi::getDateSchedule(QString faculty, QString group, QString date) {
    return withoutBody(QStringLiteral("/api/schedule/date") + groupQuery(faculty, group) +
                       QStringLiteral("&date=") + queryEscape(date));
}

QCoro::Task<ApiResult> OrvelApi::getTodaySchedule(QString faculty, QString group) {
    return withoutBody(QStringLiteral("/api/schedule/today") + groupQuery(faculty, group));
}

QCoro::Task<ApiResult> OrvelApi::searchSchedule(QString query, std::optional<QString> faculty) {
    QString path = QStringLiteral("/api/schedule/search?query=") + queryEscape(query);
    if (faculty)
        path += QStringLiteral("&faculty=") + queryEscape(*faculty);
    return withoutBody(path);
}

QCoro::Task<ApiResult> OrvelApi::getNews(int limit, int offset) {
    return withoutBody(QStringLiteral("/api/news") + pageQuery(limit, offset));
}

QCoro::Task<ApiResult> OrvelApi::getNewsItem(QString id) {
    return withoutBody(QStringLiteral("/api/news/") + id);
}

QCoro::Task<ApiResult> OrvelApi::getTeachers(std::optional<QString> search, int limit, int offset) {
    return withoutBody(QStringLiteral("/api/teachers") + pageQuery(limit, offset, search));
}

QCoro::Task<ApiResult> OrvelApi::getTeacher(QString name) {
    return withoutBody(QStringLiteral("/api/teachers/") + queryEscape(name));
}

QCoro::Task<ApiResult> OrvelApi::getTeacherSchedule(QString name, int offset) {
    return withoutBody(QStringLiteral("/api/teachers/") + queryEscape(name) +
                       QStringLiteral("/schedule?offset=") + decimal(offset));
}
