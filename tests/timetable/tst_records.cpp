// Lesson and teacher records built from loosely typed service data, and what a lesson card
// makes of a lesson: title, kind label, teacher row, picture address.
#include "Schedule.h"
#include "ScheduleBoxModel.h"
#include "SystemColors.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

namespace {
QJsonObject obj(const char* json) {
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

const char* fullLesson = R"json({
  "classroom": "А-101", "combined_main_groups": ["ИВТ-21"], "combined_with": ["ИВТ-22"],
  "date": "02.09.2026", "dateTs": 1788307200, "day": "Среда", "faculty_id": 3,
  "faculty_name": "Факультет информатики", "group_id": 12, "group_name": "ИВТ-21",
  "hash": "abc", "id": 77, "is_combined": true, "lessonType": "lecture", "number": 2,
  "source": "sync", "subject": "Математика (Лек)", "teacher": "Иванов И.И.",
  "teacher_full_name": "Иванов Иван Иванович", "teacher_photo": "/p.jpg", "time": "08:30-09:50",
  "timeupdate": 5, "timeLESSON_start": 510, "timeLESSON_end": 590
})json";
} // namespace

class TestRecords : public QObject {
    Q_OBJECT
  private slots:
    void lessonTimes_data() {
        QTest::addColumn<QString>("time");
        QTest::addColumn<qint64>("start");
        QTest::addColumn<qint64>("end");
        QTest::newRow("usual") << "08:30-09:50" << 510ll << 590ll;
        QTest::newRow("blanks around the dash") << "08:30 - 09:50" << 510ll << 590ll;
        QTest::newRow("blanks everywhere") << " 08 : 30 -09:50 " << 510ll << 590ll;
        QTest::newRow("single time") << "13:00" << 780ll << 780ll;
        QTest::newRow("start only") << "08:30" << 510ll << 510ll;
        QTest::newRow("hour only") << "8" << 488ll << 488ll;
        QTest::newRow("empty") << "" << 0ll << 0ll;
        QTest::newRow("dash only") << "-" << 0ll << 0ll;
        QTest::newRow("short digits") << "8:5-9:7" << 485ll << 547ll;
        QTest::newRow("plus sign") << "+08:+30-09:50" << 510ll << 590ll;
        QTest::newRow("dash splits signs") << "-08:30--09:50" << 510ll << 590ll;
        QTest::newRow("minus splits the piece")
            << "10:-5" << 610ll << 305ll; // pieces "10:" and "5"
        QTest::newRow("letters") << "8h:30-ab:cd" << 30ll << 0ll;
        QTest::newRow("trailing dash") << "08:30-" << 510ll << 510ll;
        QTest::newRow("three pieces") << "08:30-09:00-09:50" << 510ll << 590ll;
        QTest::newRow("huge hour") << "99999999999999999999:00" << 0ll << 0ll;
        QTest::newRow("overflowing product") << "999999999999999999:00" << 0ll << 0ll;
    }
    void lessonTimes() {
        QFETCH(QString, time);
        QFETCH(qint64, start);
        QFETCH(qint64, end);
        const auto [s, e] = lessonSpan(time);
        QCOMPARE(s, start);
        QCOMPARE(e, end);
        QJsonObject m{{QStringLiteral("time"), time}};
        const Schedule lesson = scheduleFromMap(m, QStringLiteral("combined_with"));
        QCOMPARE(lesson.timeLESSON_start, start);
        QCOMPARE(lesson.timeLESSON_end, end);
    }

    void fullMapIsReadField_byField() {
        const Schedule s = scheduleFromMap(obj(fullLesson), QStringLiteral("combined_with"));
        QCOMPARE(s.classroom, QStringLiteral("А-101"));
        QCOMPARE(s.combined_main_groups, QStringList{QStringLiteral("ИВТ-21")});
        QCOMPARE(s.combined_with, QStringList{QStringLiteral("ИВТ-22")});
        QCOMPARE(s.dateTs, 1788307200ll);
        QCOMPARE(s.day, QStringLiteral("Среда"));
        QCOMPARE(s.faculty_id, 3);
        QCOMPARE(s.id, 77);
        QCOMPARE(s.is_combined, true);
        QCOMPARE(s.number, 2);
        QCOMPARE(s.teacher_full_name, QStringLiteral("Иванов Иван Иванович"));
        QCOMPARE(s.timeupdate, 5);
        QCOMPARE(s.timeLESSON_start, 510);
    }

    void defectsFallBackToDefaults_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("listKey");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("expected");
        const QString cw = QStringLiteral("combined_with"), cg = QStringLiteral("combined_groups");
        QTest::newRow("empty map id") << QByteArray("{}") << cw << "id" << QVariant(0ll);
        QTest::newRow("empty map time") << QByteArray("{}") << cw << "time" << QVariant(QString());
        QTest::newRow("number as text")
            << QByteArray(R"({"number":"3"})") << cw << "number" << QVariant(0ll);
        QTest::newRow("fractional id")
            << QByteArray(R"({"id":1.5})") << cw << "id" << QVariant(0ll);
        QTest::newRow("bool as id") << QByteArray(R"({"id":true})") << cw << "id" << QVariant(1ll);
        QTest::newRow("text as bool")
            << QByteArray(R"({"is_combined":"true"})") << cw << "is_combined" << QVariant(false);
        QTest::newRow("1 as bool")
            << QByteArray(R"({"is_combined":1})") << cw << "is_combined" << QVariant(true);
        QTest::newRow("0 as bool")
            << QByteArray(R"({"is_combined":0})") << cw << "is_combined" << QVariant(false);
        QTest::newRow("2 as bool")
            << QByteArray(R"({"is_combined":2})") << cw << "is_combined" << QVariant(false);
        QTest::newRow("number as text field")
            << QByteArray(R"({"subject":5})") << cw << "subject" << QVariant(QString());
        QTest::newRow("null text")
            << QByteArray(R"({"teacher":null})") << cw << "teacher" << QVariant(QString());
        QTest::newRow("list with a number") << QByteArray(R"({"combined_with":["A",1]})") << cw
                                            << "combined_with" << QVariant(QStringList());
        QTest::newRow("string for list") << QByteArray(R"({"combined_with":"A"})") << cw
                                         << "combined_with" << QVariant(QStringList());
        QTest::newRow("teacher week list key")
            << QByteArray(R"({"combined_groups":["Б-1"]})") << cg << "combined_with"
            << QVariant(QStringList{QStringLiteral("Б-1")});
        QTest::newRow("teacher week ignores group key")
            << QByteArray(R"({"combined_with":["Б-1"]})") << cg << "combined_with"
            << QVariant(QStringList());
        QTest::newRow("group week ignores teacher key")
            << QByteArray(R"({"combined_groups":["Б-1"]})") << cw << "combined_with"
            << QVariant(QStringList());
        QTest::newRow("derived fields are not read") << QByteArray(R"({"timeLESSON_start":42})")
                                                     << cw << "timeLESSON_start" << QVariant(0ll);
    }
    void defectsFallBackToDefaults() {
        QFETCH(QByteArray, json);
        QFETCH(QString, listKey);
        QFETCH(QString, field);
        QFETCH(QVariant, expected);
        const Schedule s = scheduleFromMap(QJsonDocument::fromJson(json).object(), listKey);
        const QMetaObject& mo = Schedule::staticMetaObject;
        QVariant actual;
        if (field == u"number")
            actual = s.number;
        else if (field == u"is_combined")
            actual = s.is_combined;
        else
            actual = mo.property(mo.indexOfProperty(field.toLatin1())).readOnGadget(&s);
        QCOMPARE(actual.toString(), expected.toString());
        QCOMPARE(actual.toStringList(), expected.toStringList());
    }

    void answerSkipsNonObjects() {
        const auto lessons = schedulesFromAnswer(
            obj(R"({"schedule":[{"id":1},5,"x",null,{"id":2}]})"), QStringLiteral("combined_with"));
        QCOMPARE(lessons.size(), 2);
        QCOMPARE(lessons.at(1).id, 2);
        QVERIFY(
            schedulesFromAnswer(obj(R"({"schedule":{"id":1}})"), QStringLiteral("combined_with"))
                .isEmpty());
        QVERIFY(schedulesFromAnswer(QJsonObject(), QStringLiteral("combined_with")).isEmpty());
    }

    // The strict decodings (records read whole, for callers that must not guess) name the
    // first key that is missing or of the wrong kind.
    void strictDecodingNamesTheKey_data() {
        QTest::addColumn<QString>("key");
        const QJsonObject full = obj(fullLesson);
        for (auto it = full.begin(); it != full.end(); ++it)
            QTest::newRow(qPrintable(it.key())) << it.key();
    }
    void strictDecodingNamesTheKey() {
        QFETCH(QString, key);
        QJsonObject o = obj(fullLesson);
        QVERIFY(Schedule::decode(o).value.has_value());
        o.remove(key);
        QCOMPARE(Schedule::decode(o).error, key);
        o.insert(key, QJsonObject()); // present but of the wrong kind everywhere
        QCOMPARE(Schedule::decode(o).error, key);
        o = obj(fullLesson);
        o.remove(QStringLiteral("combined_with"));
        o.insert(QStringLiteral("combined_groups"), QJsonArray{QStringLiteral("A")});
        QCOMPARE(Schedule::decode(o).error, QStringLiteral("combined_with"));

        QJsonObject t = obj(R"({"deparment":"d","description":"x","full_name":"f","name":"n",)"
                            R"("photo_url":"p","photo_thumb_url":"t"})");
        QCOMPARE(teacherInfo::decode(t).value->deparment, QStringLiteral("d"));
        t.insert(QStringLiteral("department"), t.take(QStringLiteral("deparment")));
        QCOMPARE(teacherInfo::decode(t).error, QStringLiteral("deparment"));
    }

    void teacher_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("department");
        QTest::addColumn<QString>("name");
        QTest::newRow("department key")
            << QByteArray(R"({"department":"Кафедра","name":"Петров П.П."})") << "Кафедра"
            << "Петров П.П.";
        QTest::newRow("misspelt key is not read") << QByteArray(R"({"deparment":"Кафедра"})") << ""
                                                  << "";
        QTest::newRow("mistyped") << QByteArray(R"({"department":1,"name":["x"]})") << ""
                                  << "";
    }
    void teacher() {
        QFETCH(QByteArray, json);
        QFETCH(QString, department);
        QFETCH(QString, name);
        const teacherInfo t = teacherFromMap(QJsonDocument::fromJson(json).object());
        QCOMPARE(t.deparment, department);
        QCOMPARE(t.name, name);
    }

    void kindAndTitle_data() {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("color");
        QTest::addColumn<QString>("title");
        auto row = [](const char* tag, const char* subject, const char* label, const char* color,
                      const char* title) {
            QTest::newRow(tag) << subject << label << color << title;
        };
        row("practical", "Базы данных (ПЗ)", "Практическое занятие", "blue", "Базы данных ");
        row("credit", "Право (Зач)", "Зачет", "indigo", "Право ");
        row("exam", "Физика (Экз)", "Экзамен", "red", "Физика ");
        row("guided work", "История (Куср)", "Контрольная управляемая самостоятельная работа",
            "purple", "История ");
        row("consultation", "Химия (Конс)", "Консультация", "purple", "Химия ");
        row("lecture", "Высшая математика (Лек)", "Лекция", "green", "Высшая математика ");
        row("lab", "Программирование (Лаб)", "Лабораторная работа", "orange", "Программирование ");
        row("extracurricular has no kind", "Экономика (Вне)", "Другое", "gray", "Экономика ");
        row("no tag", "Английский язык", "Другое", "gray", "Английский язык");
        row("empty", "", "Другое", "gray", "");
        row("lower case is no tag", "Химия (лек)", "Другое", "gray", "Химия (лек)");
        // The table order decides, not the order in the subject.
        row("practical before lecture", "Физика (ПЗ) (Лек)", "Практическое занятие", "blue",
            "Физика  ");
        row("lecture written first", "Физика (Лек) (ПЗ)", "Практическое занятие", "blue",
            "Физика  ");
        row("exam before lab", "Сети (Лаб)(Экз)", "Экзамен", "red", "Сети ");
        row("every occurrence removed", "(Лек)Логика(Лек)", "Лекция", "green", "Логика");
        row("tag inside a word", "Физ(Лаб)ика", "Лабораторная работа", "orange", "Физика");
        row("no trimming", "  Сопромат (Вне)  ", "Другое", "gray", "  Сопромат   ");
    }
    void kindAndTitle() {
        QFETCH(QString, subject);
        QFETCH(QString, label);
        QFETCH(QString, color);
        QFETCH(QString, title);
        const LessonKind kind = lessonKind(subject);
        QCOMPARE(kind.label, label);
        QCOMPARE(kind.colorName, color);
        QVERIFY2(SystemColors::named(kind.colorName).has_value(), qPrintable(kind.colorName));
        QCOMPARE(lessonTitle(subject), title);
    }

    void teacherRow_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("teacher");
        QTest::addColumn<QString>("fullName");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("name");
        const char* shortName = "Иванов И.И.";
        const char* fullName = "Иванов Иван Иванович";
        QTest::newRow("full name preferred")
            << "student" << shortName << fullName << true << fullName;
        QTest::newRow("short name when no full name")
            << "student" << shortName << "" << true << shortName;
        QTest::newRow("no teacher, no row") << "student"
                                            << "" << fullName << false << fullName;
        QTest::newRow("teacher mode") << "teacher" << shortName << "" << false << shortName;
        QTest::newRow("unknown mode is teacher mode")
            << "" << shortName << "" << false << shortName;
    }
    void teacherRow() {
        QFETCH(QString, mode);
        QFETCH(QString, teacher);
        QFETCH(QString, fullName);
        QFETCH(bool, shown);
        QFETCH(QString, name);
        ScheduleBoxModel card;
        Schedule s;
        s.teacher = teacher;
        s.teacher_full_name = fullName;
        card.setItem(s);
        card.setMode(mode);
        QCOMPARE(card.showsTeacher(), shown);
        QCOMPARE(card.teacherName(), name);
    }

    void pictureAddress_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QUrl>("url");
        QTest::newRow("absolute") << "https://media.example/t/1.png"
                                  << QUrl("https://media.example/t/1.png");
        QTest::newRow("empty") << "" << QUrl();
        QTest::newRow("relative path") << "/media/teachers/1.png" << QUrl();
        QTest::newRow("plain words") << "нет фото" << QUrl();
        QTest::newRow("blank in host") << "http://exa mple.com/a.png" << QUrl();
    }
    void pictureAddress() {
        QFETCH(QString, text);
        QFETCH(QUrl, url);
        QCOMPARE(pictureUrl(text), url);
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
