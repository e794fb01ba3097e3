#include "ScheduleBoxModel.h"

#include <array>

namespace {
struct KindTag {
    const char16_t* tag;
    const char16_t* label;
    const char* color;
};
// Searched in this order: a subject carrying several tags takes the first one listed here.
constexpr std::array<KindTag, 7> kindTags{{
    {u"(ПЗ)", u"Практическое занятие", "blue"},
    {u"(Зач)", u"Зачет", "indigo"},
    {u"(Экз)", u"Экзамен", "red"},
    {u"(Куср)", u"Контрольная управляемая самостоятельная работа", "purple"},
    {u"(Конс)", u"Консультация", "purple"},
    {u"(Лек)", u"Лекция", "green"},
    {u"(Лаб)", u"Лабораторная работа", "orange"},
}};
// "(Вне)" has no kind of its own but is not part of the title either.
constexpr std::array<const char16_t*, 8> titleTags{u"(ПЗ)",   u"(Лек)", u"(Вне)", u"(Лаб)",
                                                   u"(Куср)", u"(Экз)", u"(Зач)", u"(Конс)"};
} // namespace

LessonKind lessonKind(const QString& subject) {
    for (const KindTag& k : kindTags)
        if (subject.contains(QStringView(k.tag)))
            return {QString::fromUtf16(k.label), QString::fromLatin1(k.color)};
    return {QStringLiteral("Другое"), QStringLiteral("gray")};
}

QString lessonTitle(const QString& subject) {
    QString title = subject;
    for (const char16_t* tag : titleTags)
        title.remove(QString::fromUtf16(tag));
    return title;
}

void ScheduleBoxModel::setItem(const Schedule& item) {
    m_item = item;
    m_kind = lessonKind(item.subject);
    m_times = lessonTimePieces(item.time);
    emit changed();
}

void ScheduleBoxModel::setMode(const QString& mode) {
    if (mode == m_mode)
        return;
    m_mode = mode;
    emit changed();
}

QString ScheduleBoxModel::teacherName() const {
    return m_item.teacher_full_name.isEmpty() ? m_item.teacher : m_item.teacher_full_name;
}
