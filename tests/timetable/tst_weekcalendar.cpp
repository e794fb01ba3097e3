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
        // The week of Monday 3 March 2025, seen from its Wednesday.
        const QDateTime wed = at("2025-03-05T12:00:00");
        const char* const dates[] = {"03.03", "04.03", "05.03", "06.03", "07.03", "08.03"};
        for (int i = 0; i < 6; ++i)
            QTest::addRow("weekday %d", i)
                << wed << QString::number(i) << 0ll << "dd.MM" << dates[i];
        QTest::newRow("sunday long form") << wed << "6" << 0ll << "dd.MM.yy"
                                          << "09.03.25";
        QTest::newRow("monday midnight") << at("2025-03-03T00:00:00") << "0" << 0ll << "dd.MM"
                                         << "03.03";
        QTest::newRow("sunday night is the same week")
            << at("2025-03-09T23:59:59") << "0" << 0ll << "dd.MM"
            << "03.03";
        QTest::newRow("30 weeks back") << wed << "0" << -30ll << "dd.MM.yy"
                                       << "05.08.24";
        QTest::newRow("a week ahead") << wed << "5" << 1ll << "dd.MM.yy"
                                      << "15.03.25";
        // Year boundaries: ISO weeks belong to the year of their Thursday, but the dates are
        // plain calendar days on either side.
        QTest::newRow("new year's day") << at("2026-01-01T09:00:00") << "0" << 0ll << "dd.MM.yy"
                                        << "29.12.25";
        QTest::newRow("ahead into the new year")
            << at("2025-12-24T09:00:00") << "6" << 1ll << "dd.MM.yy"
            << "04.01.26";
        QTest::newRow("back into the old year")
            << at("2026-01-07T09:00:00") << "0" << -30ll << "dd.MM.yy"
            << "09.06.25";
        // Daylight saving starts on Sunday 30 March 2025 at 02:00 and ends on 26 October.
        QTest::newRow("across the spring change")
            << at("2025-03-29T23:30:00") << "0" << 1ll << "dd.MM"
            << "31.03";
        QTest::newRow("sunday of the spring change")
            << at("2025-03-30T03:30:00") << "6" << 0ll << "dd.MM.yy"
            << "30.03.25";
        QTest::newRow("back across the autumn change")
            << at("2025-10-27T00:30:00") << "6" << -1ll << "dd.MM.yy"
            << "26.10.25";
        QTest::newRow("30 weeks back across the autumn change")
            << at("2025-11-05T12:00:00") << "2" << -30ll << "dd.MM.yy"
            << "09.04.25";
        // One instant, two zones: the date is the device's own.
        const QDateTime instant = QDateTime(QDate(2025, 3, 2), QTime(23, 30), QTimeZone::utc());
        QTest::newRow("instant in Berlin is Monday")
            << instant.toTimeZone(QTimeZone("Europe/Berlin")) << "0" << 0ll << "dd.MM"
            << "03.03";
        QTest::newRow("same instant in New York is Sunday")
            << instant.toTimeZone(QTimeZone("America/New_York")) << "0" << 0ll << "dd.MM"
            << "24.02";
        // Indexes outside the week are plain day offsets.
        QTest::newRow("signed index") << wed << "+2" << 0ll << "dd.MM"
                                      << "05.03";
        QTest::newRow("negative index") << wed << "-1" << 0ll << "dd.MM"
                                        << "02.03";
        QTest::newRow("index past sunday") << wed << "7" << 0ll << "dd.MM"
                                           << "10.03";
        QTest::newRow("empty index") << wed << "" << 0ll << "dd.MM" << indexError;
        QTest::newRow("letters") << wed << "x" << 0ll << "dd.MM" << indexError;
        QTest::newRow("blank inside") << wed << " 1" << 0ll << "dd.MM" << indexError;
        QTest::newRow("fraction") << wed << "1.0" << 0ll << "dd.MM" << indexError;
        QTest::newRow("sign alone") << wed << "-" << 0ll << "dd.MM" << indexError;
        QTest::newRow("index beyond 64 bits")
            << wed << "99999999999999999999" << 0ll << "dd.MM" << indexError;
        QTest::newRow("index beyond the calendar")
            << wed << "9223372036854775807" << 0ll << "dd.MM" << calculationError;
        QTest::newRow("offset beyond the calendar")
            << wed << "0" << (1ll << 60) << "dd.MM" << calculationError;
        QTest::newRow("no current moment")
            << QDateTime() << "0" << 0ll << "dd.MM" << calculationError;
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
