// What a lesson card makes of a lesson: title, kind label, times, teacher row.
#include "ScheduleBoxModel.h"
#include "SystemColors.h"

#include <QTest>

class TestLessonCard : public QObject {
    Q_OBJECT
  private slots:
    void kindAndTitle_data() {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("color");
        QTest::addColumn<QString>("title");
        QTest::newRow("practical") << "Базы данных (ПЗ)"
                                   << "Практическое занятие"
                                   << "blue"
                                   << "Базы данных ";
        QTest::newRow("credit") << "Право (Зач)"
                                << "Зачет"
                                << "indigo"
                                << "Право ";
        QTest::newRow("exam") << "Физика (Экз)"
                              << "Экзамен"
                              << "red"
                              << "Физика ";
        QTest::newRow("guided work") << "История (Куср)"
                                     << "Контрольная управляемая самостоятельная работа"
                                     << "purple"
                                     << "История ";
        QTest::newRow("consultation") << "Химия (Конс)"
                                      << "Консультация"
                                      << "purple"
                                      << "Химия ";
        QTest::newRow("lecture") << "Высшая математика (Лек)"
                                 << "Лекция"
                                 << "green"
                                 << "Высшая математика ";
        QTest::newRow("lab") << "Программирование (Лаб)"
                             << "Лабораторная работа"
                             << "orange"
                             << "Программирование ";
        QTest::newRow("extracurricular has no kind") << "Экономика (Вне)"
                                                     << "Другое"
                                                     << "gray"
                                                     << "Экономика ";
        QTest::newRow("no tag") << "Английский язык"
                                << "Другое"
                                << "gray"
                                << "Английский язык";
        QTest::newRow("empty") << ""
                               << "Другое"
                               << "gray"
                               << "";
        QTest::newRow("lower case is no tag") << "Химия (лек)"
                                              << "Другое"
                                              << "gray"
                                              << "Химия (лек)";
        // The table order decides, not the order in the subject.
        QTest::newRow("practical before lecture") << "Физика (ПЗ) (Лек)"
                                                  << "Практическое занятие"
                                                  << "blue"
                                                  << "Физика  ";
        QTest::newRow("lecture written first") << "Физика (Лек) (ПЗ)"
                                               << "Практическое занятие"
                                               << "blue"
                                               << "Физика  ";
        QTest::newRow("exam before lab") << "Сети (Лаб)(Экз)"
                                         << "Экзамен"
                                         << "red"
                                         << "Сети ";
        QTest::newRow("every occurrence removed") << "(Лек)Логика(Лек)"
                                                  << "Лекция"
                                                  << "green"
                                                  << "Логика";
        QTest::newRow("tag inside a word") << "Физ(Лаб)ика"
                                           << "Лабораторная работа"
                                           << "orange"
                                           << "Физика";
        QTest::newRow("no trimming") << "  Сопромат (Вне)  "
                                     << "Другое"
                                     << "gray"
                                     << "  Сопромат   ";
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

    void times_data() {
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::newRow("usual") << "08:30-09:50"
                               << "08:30"
                               << "09:50";
        QTest::newRow("blanks around the dash") << "08:30 - 09:50"
                                                << "08:30"
                                                << "09:50";
        QTest::newRow("no dash") << "13:00"
                                 << "13:00"
                                 << "";
        QTest::newRow("empty") << ""
                               << ""
                               << "";
        QTest::newRow("leading dash") << "-09:50"
                                      << "09:50"
                                      << "";
        QTest::newRow("three pieces") << "08:30-09:00-09:50"
                                      << "08:30"
                                      << "09:00";
    }
    void times() {
        QFETCH(QString, time);
        QFETCH(QString, start);
        QFETCH(QString, end);
        ScheduleBoxModel card;
        Schedule s;
        s.time = time;
        card.setItem(s);
        QCOMPARE(card.startTime(), start);
        QCOMPARE(card.endTime(), end);
    }

    void teacherRow_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("teacher");
        QTest::addColumn<QString>("fullName");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("name");
        QTest::newRow("full name preferred")
            << "student"
            << "Иванов И.И."
            << "Иванов Иван Иванович" << true << "Иванов Иван Иванович";
        QTest::newRow("short name when no full name") << "student"
                                                      << "Иванов И.И."
                                                      << "" << true << "Иванов И.И.";
        QTest::newRow("no teacher, no row")
            << "student"
            << ""
            << "Иванов Иван Иванович" << false << "Иванов Иван Иванович";
        QTest::newRow("teacher mode") << "teacher"
                                      << "Иванов И.И."
                                      << "" << false << "Иванов И.И.";
        QTest::newRow("unknown mode is teacher mode") << ""
                                                      << "Иванов И.И."
                                                      << "" << false << "Иванов И.И.";
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

QTEST_GUILESS_MAIN(TestLessonCard)
#include "tst_lessoncard.moc"
