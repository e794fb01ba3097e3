#include "TeacherViewInfoModel.h"

#include "JsonRead.h"
#include "Log.h"
#include "ScheduleBoxModel.h"

#ifndef ORVEL_INSTITUTION_URL
#define ORVEL_INSTITUTION_URL "https://orvel.example.edu/"
#endif

void TeacherViewInfoModel::setTeacherName(const QString& name) {
    if (name == m_teacherName)
        return;
    m_teacherName = name;
    emit teacherNameChanged();
}

QUrl TeacherViewInfoModel::photoUrl() const {
    return pictureUrl(m_tech.photo_url);
}

QString TeacherViewInfoModel::sourceLine() {
    return QStringLiteral("Источник данных: <a href=\"%1\">официальный сайт учреждения образования "
                          "«ОРВЕЛ им. П. Н. Орловского».</a>")
        .arg(QLatin1String(ORVEL_INSTITUTION_URL));
}

void TeacherViewInfoModel::appeared() {
    loadTask();
}

QCoro::Task<void> TeacherViewInfoModel::loadTask() {
    QPointer<OrvelApi> client = api();
    if (!client)
        co_return;
    const LoadTicket ticket = m_loads.start(this);
    const ApiResult answer = co_await client->getTeacher(m_teacherName);
    if (!ticket.alive())
        co_return;
    if (!answer.ok()) {
        Log::line(Log::timetable(), answer.error().description());
        co_return;
    }
    if (!ticket.current())
        co_return;
    m_tech = teacherFromMap(Json::object(answer.value(), QStringLiteral("teacher")));
    m_isLoading = false;
    emit changed();
}
