// Lesson records from loosely typed service data, what a lesson card makes of a lesson, and the
// week calendar's dates and weekdays, with the clock injected.
#include "Schedule.h"
#include "ScheduleBoxModel.h"
#include "WeekCalendar.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>
#include <QTimeZone>

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
QDateTime at(const char* local, const char* zone = "Europe/Berlin") {
    return QDateTime(QDate::fromString(QLatin1String(local).left(10), Qt::ISODate),
                     QTime::fromString(QLatin1String(local).mid(11), Qt::ISODate),
                     QTimeZone(QByteArray(zone)));
}
} // namespace

class TestRecords : public QObject {
    Q_OBJECT
  private slots:
    void lessonTimes_data() {
        QTest::addColumn<QString>("time");
        QTest::addColumn<qint64>("start");
        QTest::addColumn<qint64>("end");
        QTest::newRow("usual") << "08:30-09:50" << 510ll << 590ll;
        QTest::newRow("single time") << "13:00" << 780ll << 780ll;
        QTest::newRow("short digits") << "8:5-9:7" << 485ll << 547ll;
        QTest::newRow("blanks around the dash") << "08:30 - 09:50" << 510ll << 590ll;
        QTest::newRow("empty") << "" << 0ll << 0ll;
        QTest::newRow("dash only") << "-" << 0ll << 0ll;
        QTest::newRow("dash splits signs") << "-08:30--09:50" << 510ll << 590ll;
        QTest::newRow("plus signs") << "+8:+30-+9:+50" << 510ll << 590ll;
        QTest::newRow("overflowing product") << "999999999999999999:00" << 0ll << 0ll;
    }
    void lessonTimes() {
        QFETCH(QString, time);
        QFETCH(qint64, start);
        QFETCH(qint64, end);
        const auto [s, e] = lessonSpan(time);
        QCOMPARE(s, start);
        QCOMPARE(e, end);
    }

    // A full record field by field; a field of the wrong kind keeps its default, unconverted.
    void lessonFromMap() {
        const QString cw = QStringLiteral("combined_with"), cg = QStringLiteral("combined_groups");
        const Schedule s = scheduleFromMap(obj(fullLesson), cw);
        QCOMPARE(s.combined_main_groups, QStringList{QStringLiteral("ИВТ-21")});
        QCOMPARE(s.combined_with, QStringList{QStringLiteral("ИВТ-22")});
        QCOMPARE(s.dateTs, 1788307200ll);
        QCOMPARE(s.id, 77);
        QCOMPARE(s.is_combined, true);
        QCOMPARE(s.number, 2);
        QCOMPARE(s.timeupdate, 5);
        QCOMPARE(s.timeLESSON_start, 510); // from "time", not from the record
        QCOMPARE(scheduleFromMap(obj(R"({"timeLESSON_start":42})"), cw).timeLESSON_start, 0);
        QCOMPARE(scheduleFromMap(obj(R"({"number":"3"})"), cw).number, 0);
        QCOMPARE(scheduleFromMap(obj(R"({"id":true})"), cw).id, 1);
        QCOMPARE(scheduleFromMap(obj(R"({"is_combined":"true"})"), cw).is_combined, false);
        QCOMPARE(scheduleFromMap(obj(R"({"is_combined":1})"), cw).is_combined, true);
        QCOMPARE(scheduleFromMap(obj(R"({"subject":5})"), cw).subject, QString());
        QCOMPARE(scheduleFromMap(obj(R"({"combined_with":["A",1]})"), cw).combined_with,
                 QStringList());
        // A teacher's week names the groups under its own key only.
        QCOMPARE(scheduleFromMap(obj(R"({"combined_groups":["Б-1"]})"), cg).combined_with,
                 QStringList{QStringLiteral("Б-1")});
        QCOMPARE(scheduleFromMap(obj(R"({"combined_with":["Б-1"]})"), cg).combined_with,
                 QStringList());
    }

    // The strict decodings name the first key that is missing or of the wrong kind.
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

    void kindAndTitle_data() {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("title");
        auto row = [](const char* tag, const char* subject, const char* label, const char* title) {
            QTest::newRow(tag) << subject << label << title;
        };
        row("practical", "Базы данных (ПЗ)", "Практическое занятие", "Базы данных ");
        row("credit", "Право (Зач)", "Зачет", "Право ");
        row("exam", "Физика (Экз)", "Экзамен", "Физика ");
        row("guided work", "История (Куср)", "Контрольная управляемая самостоятельная работа",
            "История ");
        row("consultation", "Химия (Конс)", "Консультация", "Химия ");
        row("lecture", "Высшая математика (Лек)", "Лекция", "Высшая математика ");
        row("lab", "Программирование (Лаб)", "Лабораторная работа", "Программирование ");
        row("extracurricular has no kind", "Экономика (Вне)", "Другое", "Экономика ");
        // The table order decides, not the order in the subject.
        row("lecture written first", "Физика (Лек) (ПЗ)", "Практическое занятие", "Физика  ");
        row("every occurrence, no trimming", " (Лек)Логика(Лек) ", "Лекция", " Логика ");
    }
    void kindAndTitle() {
        QFETCH(QString, subject);
        QTEST(lessonKind(subject).label, "label");
        QTEST(lessonTitle(subject), "title");
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

    // Only an absolute address is a picture to fetch.
    void pictureAddress() {
        const QUrl absolute("https://media.example/t/1.png");
        QCOMPARE(pictureUrl(absolute.toString()), absolute);
        QCOMPARE(pictureUrl(QString()), QUrl());
        QCOMPARE(pictureUrl(QStringLiteral("/media/teachers/1.png")), QUrl());
    }

    void weekDayDate_data() {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("index");
        QTest::addColumn<qint64>("offset");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* tag, const QDateTime& now, const char* index, qint64 offset,
                            const QString& expected, const char* format = "dd.MM.yy") {
            QTest::newRow(tag) << now << QString(index) << offset << QString(format) << expected;
        };
        // The week of Monday 3 March 2025, seen from its Wednesday.
        const QDateTime wed = at("2025-03-05T12:00:00");
        row("wednesday, short form", wed, "2", 0, "05.03", "dd.MM");
        row("monday midnight", at("2025-03-03T00:00:00"), "0", 0, "03.03.25");
        for (int day : {1, 3, 4, 6}) // the other days of that week
            QTest::addRow("day %d", day) << wed << QString::number(day) << 0ll << "dd.MM.yy"
                                         << QDate(2025, 3, 3 + day).toString("dd.MM.yy");
        row("sunday night is the same week", at("2025-03-09T23:59:59"), "0", 0, "03.03.25");
        row("30 weeks back", wed, "0", -30, "05.08.24");
        row("a week ahead", wed, "5", 1, "15.03.25");
        // Across the new year the dates are plain calendar days, whatever the ISO week.
        row("new year's day", at("2026-01-01T09:00:00"), "0", 0, "29.12.25");
        // Daylight saving starts on Sunday 30 March 2025 at 02:00 and ends on 26 October.
        row("across the spring change", at("2025-03-29T23:30:00"), "0", 1, "31.03.25");
        // One instant, two zones: the date is the device's own.
        const QDateTime instant = QDateTime(QDate(2025, 3, 2), QTime(23, 30), QTimeZone::utc());
        row("instant in Berlin is Monday", instant.toTimeZone(QTimeZone("Europe/Berlin")), "0", 0,
            "03.03.25");
        // Indexes outside the week are plain day offsets.
        row("index past sunday", wed, "7", 0, "10.03.25");
        for (const char* bad : {"", " 1", "1.0", "99999999999999999999"})
            QTest::addRow("index \"%s\"", bad)
                << wed << QString(bad) << 0ll << "dd.MM" << WeekCalendar::indexError;
        row("index beyond the calendar", wed, "9223372036854775807", 0,
            WeekCalendar::calculationError);
        row("offset beyond the calendar", wed, "0", 1ll << 60, WeekCalendar::calculationError);
        row("no current moment", QDateTime(), "0", 0, WeekCalendar::calculationError);
    }
    void weekDayDate() {
        QFETCH(QDateTime, now);
        QFETCH(QString, index);
        QFETCH(qint64, offset);
        QFETCH(QString, format);
        QFETCH(QString, expected);
        QCOMPARE(WeekCalendar::weekDayDate(index, offset, format, now, QLocale(QLocale::Russian)),
                 expected);
    }

    void weekdayTable() {
        const QStringList names{"Понедельник", "Вторник", "Среда", "Четверг", "Пятница", "Суббота"};
        const QStringList labels{"ПН", "ВТ", "СР", "ЧТ", "ПТ", "СБ"};
        for (int i = 0; i < WeekCalendar::dayCount; ++i) {
            QCOMPARE(WeekCalendar::dayName(i), names[i]);
            QCOMPARE(WeekCalendar::dayLabel(i), labels[i]);
            QCOMPARE(WeekCalendar::dayIndex(names[i]), std::optional<int>(i));
        }
        for (const char* other : {"Воскресенье", "", "понедельник", "Понедельник "})
            QCOMPARE(WeekCalendar::dayIndex(QString::fromUtf8(other)), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
