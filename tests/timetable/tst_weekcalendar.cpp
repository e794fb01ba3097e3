// Week header dates and the weekday table, with the clock injected.
#include "Schedule.h"
#include "WeekCalendar.h"

#include <QTest>
#include <QTimeZone>

using namespace WeekCalendar;

namespace {
QDateTime at(const char* local, const char* zone = "Europe/Berlin") {
    return QDateTime(QDate::fromString(QLatin1String(local).left(10), Qt::ISODate),
                     QTime::fromString(QLatin1String(local).mid(11), Qt::ISODate),
                     QTimeZone(QByteArray(zone)));
}
} // namespace

class TestWeekCalendar : public QObject {
    Q_OBJECT
  private slots:
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
        const char* const dates[] = {"03.03", "04.03", "05.03", "06.03", "07.03", "08.03"};
        for (int i = 0; i < 6; ++i)
            QTest::addRow("weekday %d", i)
                << wed << QString::number(i) << 0ll << "dd.MM" << dates[i];
        row("sunday long form", wed, "6", 0, "09.03.25");
        row("monday midnight", at("2025-03-03T00:00:00"), "0", 0, "03.03.25");
        row("sunday night is the same week", at("2025-03-09T23:59:59"), "0", 0, "03.03.25");
        row("30 weeks back", wed, "0", -30, "05.08.24");
        row("a week ahead", wed, "5", 1, "15.03.25");
        // Year boundaries: ISO weeks belong to the year of their Thursday, but the dates are
        // plain calendar days on either side.
        row("new year's day", at("2026-01-01T09:00:00"), "0", 0, "29.12.25");
        row("ahead into the new year", at("2025-12-24T09:00:00"), "6", 1, "04.01.26");
        row("back into the old year", at("2026-01-07T09:00:00"), "0", -30, "09.06.25");
        // Daylight saving starts on Sunday 30 March 2025 at 02:00 and ends on 26 October.
        row("across the spring change", at("2025-03-29T23:30:00"), "0", 1, "31.03.25");
        row("sunday of the spring change", at("2025-03-30T03:30:00"), "6", 0, "30.03.25");
        row("back across the autumn change", at("2025-10-27T00:30:00"), "6", -1, "26.10.25");
        row("30 weeks back across the autumn change", at("2025-11-05T12:00:00"), "2", -30,
            "09.04.25");
        // One instant, two zones: the date is the device's own.
        const QDateTime instant = QDateTime(QDate(2025, 3, 2), QTime(23, 30), QTimeZone::utc());
        row("instant in Berlin is Monday", instant.toTimeZone(QTimeZone("Europe/Berlin")), "0", 0,
            "03.03.25");
        row("same instant in New York is Sunday", instant.toTimeZone(QTimeZone("America/New_York")),
            "0", 0, "24.02.25");
        // Indexes outside the week are plain day offsets.
        row("signed index", wed, "+2", 0, "05.03.25");
        row("negative index", wed, "-1", 0, "02.03.25");
        row("index past sunday", wed, "7", 0, "10.03.25");
        for (const char* bad : {"", "x", " 1", "1.0", "-", "99999999999999999999"})
            QTest::addRow("index \"%s\"", bad)
                << wed << QString(bad) << 0ll << "dd.MM" << indexError;
        row("index beyond the calendar", wed, "9223372036854775807", 0, calculationError);
        row("offset beyond the calendar", wed, "0", 1ll << 60, calculationError);
        row("no current moment", QDateTime(), "0", 0, calculationError);
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

    void todayIndex_data() {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<int>("index");
        QTest::newRow("monday") << at("2025-03-03T00:00:00") << 0;
        QTest::newRow("wednesday") << at("2025-03-05T12:00:00") << 2;
        QTest::newRow("saturday") << at("2025-03-08T23:59:59") << 5;
        QTest::newRow("sunday counts as saturday") << at("2025-03-09T10:00:00") << 5;
        QTest::newRow("local date, not UTC")
            << QDateTime(QDate(2025, 3, 2), QTime(23, 30), QTimeZone::utc())
                   .toTimeZone(QTimeZone("Europe/Berlin"))
            << 0;
    }
    void todayIndex() {
        QFETCH(QDateTime, now);
        QFETCH(int, index);
        QCOMPARE(WeekCalendar::todayIndex(now), index);
    }

    void weekdayTable() {
        const QStringList names{"Понедельник", "Вторник", "Среда", "Четверг", "Пятница", "Суббота"};
        const QStringList labels{"ПН", "ВТ", "СР", "ЧТ", "ПТ", "СБ"};
        for (int i = 0; i < dayCount; ++i) {
            QCOMPARE(dayName(i), names[i]);
            QCOMPARE(dayLabel(i), labels[i]);
            QCOMPARE(dayIndex(names[i]), std::optional<int>(i));
        }
        for (const char* other : {"Воскресенье", "", "понедельник", "Понедельник "})
            QCOMPARE(dayIndex(QString::fromUtf8(other)), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestWeekCalendar)
#include "tst_weekcalendar.moc"
