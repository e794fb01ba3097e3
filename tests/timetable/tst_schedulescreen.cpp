// The timetable screen's model against the stand-in: the week asked for, paging, the stored
// weeks, out-of-order answers, the now/next banner, the week view and the calendar export.
#include "CalendarExport.h"
#include "LessonReminder.h"
#include "NowNextModel.h"
#include "ScheduleScreenModel.h"
#include "SignedIn.h"
#include "WeekViewModel.h"
#include "WorkModeStore.h"

#include <QAbstractItemModelTester>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTimeZone>
#include <libical/ical.h>

namespace {
const QString weekPath = QStringLiteral("/api/schedule/week");

QDateTime berlin(QDate day, QTime time = QTime(12, 0)) {
    return QDateTime(day, time, QTimeZone("Europe/Berlin"));
}
// Wednesday 5 March 2025 and the days around it.
const QDate wednesday(2025, 3, 5);

QJsonObject lesson(qint64 id, const char* day, const char* subject = "Физика (Лек)") {
    return {{"id", id},
            {"day", QString::fromUtf8(day)},
            {"subject", QString::fromUtf8(subject)},
            {"time", "08:30-09:50"}};
}

// A lesson per row: day|subject|time|room|teacher|id.
QJsonObject weekOf(std::initializer_list<const char*> rows) {
    QJsonArray lessons;
    for (const char* l : rows) {
        const QStringList f = QString::fromUtf8(l).split(u'|');
        lessons.append(QJsonObject{{"day", f[0]},
                                   {"subject", f[1]},
                                   {"time", f[2]},
                                   {"classroom", f.value(3)},
                                   {"teacher", f.value(4)},
                                   {"id", f.value(5).toInt()}});
    }
    return {{"schedule", lessons}};
}
// Out of order, with times the banner must skip and one lesson running past midnight.
QJsonObject bannerWeek() {
    return weekOf({"Среда|История|11:40 - 13:00|2-202", "Среда|Химия|10:00-11:20|",
                   "Среда|Физика|08:30-09:50|1-101", "Четверг|Ночь|23:00-01:00|",
                   "Четверг|Нет|ab:cd-13:00|", "Четверг|Нет|11:00-13:0|", "Четверг|Нет|11:00|",
                   "Четверг|Нет|12:00-12:00|", "Четверг|Нет|11:00-13:60|",
                   "Суббота|Суббота|09:00-12:00|"});
}

// start|end (UTC)|summary|location|description|uid of each event, as libical reads the file.
QStringList readByLibical(const QByteArray& text) {
    QStringList out;
    icalcomponent* calendar = icalparser_parse_string(text.constData());
    const auto utc = [](icaltimetype t) {
        return QDateTime::fromSecsSinceEpoch(icaltime_as_timet_with_zone(t, t.zone), Qt::UTC)
            .toString(Qt::ISODate);
    };
    for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
        const char* location = icalcomponent_get_location(e);
        out.append(QStringList{utc(icalcomponent_get_dtstart(e)), utc(icalcomponent_get_dtend(e)),
                               QString::fromUtf8(icalcomponent_get_summary(e)),
                               QString::fromUtf8(location ? location : ""),
                               QString::fromUtf8(icalcomponent_get_description(e)),
                               QString::fromUtf8(icalcomponent_get_uid(e))}
                       .join(u'|'));
    }
    icalcomponent_free(calendar);
    return out;
}

// The same, as an independent reader (Python's icalendar package) reads it.
QStringList readByPython(const QString& path) {
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral(R"py(
import sys, datetime, icalendar
cal = icalendar.Calendar.from_ical(open(sys.argv[1], 'rb').read())
utc = lambda d: d.astimezone(datetime.timezone.utc).strftime('%Y-%m-%dT%H:%M:%SZ')
for e in cal.walk('VEVENT'):
    f = [utc(e.decoded('DTSTART')), utc(e.decoded('DTEND'))]
    f += [str(e.get(k, '')) for k in ('SUMMARY', 'LOCATION', 'DESCRIPTION', 'UID')]
    sys.stdout.buffer.write(('|'.join(f) + '\x1e').encode())
)py"),
                                                      path});
    if (!python.waitForFinished(20000) || python.exitCode() != 0)
        qWarning() << python.readAllStandardError();
    return QString::fromUtf8(python.readAllStandardOutput()).split(QChar(0x1e), Qt::SkipEmptyParts);
}

QString line(const QVariantMap& m) {
    return m.isEmpty()
               ? QString()
               : QStringList{m["subject"].toString(), m["room"].toString(), m["when"].toString()}
                     .join(u'|');
}

QList<qint64> ids(const QList<Schedule>& lessons) {
    QList<qint64> out;
    for (const Schedule& s : lessons)
        out.append(s.id);
    return out;
}

// Lessons by id; `subject` tells two versions of one lesson apart.
QList<Schedule> lessons(const QList<qint64>& ids, const QString& subject = QString()) {
    QList<Schedule> out;
    for (qint64 id : ids)
        out.append(scheduleFromMap({{"id", id}, {"subject", subject}}, {}));
    return out;
}
} // namespace

class TestScheduleScreen : public QObject {
    Q_OBJECT
    SignedIn app;
    std::unique_ptr<ScheduleScreenModel> model;
    QDateTime now;
    std::unique_ptr<QSignalSpy> finished;
    std::unique_ptr<QAbstractItemModelTester> tester;
    qsizetype seen = 0;

    // Waits for the next `loads` loads to end.
    bool settled(qsizetype loads = 1) {
        const bool done = QTest::qWaitFor([&] { return finished->size() >= seen + loads; }, 10000);
        seen = finished->size();
        return done;
    }
    QString faculty() const { return standin::Server::facultyNames().first(); }
    void demoGroup() { app.studentMode(faculty(), app.firstGroup(faculty())); }
    // The demo group's week shown and loaded.
    bool shown() {
        demoGroup();
        model->reloadWeek();
        return settled();
    }
    // Another screen on `co`, on the test's clock.
    std::unique_ptr<ScheduleScreenModel> screenOn(CO* co) {
        auto m = std::make_unique<ScheduleScreenModel>();
        m->setClock([this] { return now; });
        m->setCo(co);
        return m;
    }
    // An account of its own signed in on this machine, with its own token file.
    std::unique_ptr<CO> signedIn(const QString& login) {
        auto tokens =
            std::make_shared<TokenStore>(app.dir.filePath(login + QStringLiteral(".ini")));
        signInto(*app.server, login, *tokens);
        auto co = std::make_unique<CO>(app.server->baseUrl(), tokens);
        return QTest::qWaitFor([&] { return !co->account().isEmpty(); }, 10000) ? std::move(co)
                                                                                : nullptr;
    }
    // The current week's first load asks for the next week too, once.
    bool nextWeekFetched() {
        return QTest::qWaitFor([&] { return app.gets(weekPath) == 2; });
    }

  private slots:
    void initTestCase() {
        qputenv("TZ", "Europe/Berlin");
        tzset();
        // No session bus here: reminders must cope without one.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    }
    void init() {
        QVERIFY(app.start());
        now = berlin(wednesday);
        model = screenOn(app.co.get());
        finished = std::make_unique<QSignalSpy>(model.get(), &ScheduleScreenModel::loadFinished);
        tester = std::make_unique<QAbstractItemModelTester>(
            model->dayLessonsModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        seen = 0;
    }
    void cleanup() {
        tester.reset();
        finished.reset();
        model.reset();
        app.stop();
    }

    void loadsTheWeekOfTheStoredMode_data() {
        QTest::addColumn<QString>("workMode");
        QTest::addColumn<bool>("teacherWeek");
        QTest::newRow("student group") << "student" << false;
        QTest::newRow("teacher") << "teacher" << true;
        QTest::newRow("any other text is a teacher") << "" << true;
    }
    void loadsTheWeekOfTheStoredMode() {
        QFETCH(QString, workMode);
        QFETCH(bool, teacherWeek);
        const QString teacher = standin::Server::demoTeacherName();
        const QString group = app.firstGroup(faculty());
        app.studentMode(faculty(), group);
        app.teacherMode(teacher, workMode);
        model->reloadWeek();
        QVERIFY(settled());
        const standin::LoggedRequest week = app.server->requests().last();
        QCOMPARE(week.method, QStringLiteral("GET"));
        if (teacherWeek) {
            QCOMPARE(week.path, QStringLiteral("/api/teachers/%1/schedule").arg(teacher));
            QCOMPARE(week.rawQuery, QStringLiteral("offset=0"));
            QCOMPARE(model->mode(), QStringLiteral("teacher"));
            // A teacher's lessons list every attending group under "combined_groups".
            QVERIFY(std::any_of(model->schedule().cbegin(), model->schedule().cend(),
                                [](const Schedule& s) { return !s.combined_with.isEmpty(); }));
        } else {
            QCOMPARE(week.path, weekPath);
            QCOMPARE(week.query.queryItemValue("faculty", QUrl::FullyDecoded), faculty());
            QCOMPARE(week.query.queryItemValue("group", QUrl::FullyDecoded), group);
            QCOMPARE(week.query.queryItemValue("offset"), QStringLiteral("0"));
            QCOMPARE(model->mode(), QStringLiteral("student"));
        }
        QVERIFY(!model->schedule().isEmpty());
    }

    // Lessons by weekday in answer order; Wednesday is selected in the current week only; the
    // day/week choice outlives the view.
    void groupsLessonsByWeekday() {
        QSettings().remove(QStringLiteral("timetable/weekView"));
        app.script(
            weekPath,
            {{"schedule", QJsonArray{lesson(1, "Вторник"), lesson(2, "Пятница"),
                                     lesson(3, "Вторник"), lesson(4, "Воскресенье"), lesson(5, ""),
                                     lesson(6, "вторник"), "not a lesson", lesson(7, "Суббота")}}});
        WeekViewModel week; // its columns hold the same days
        week.setScreen(model.get());
        QVERIFY(shown());
        QCOMPARE(model->selectedDay(), 2);
        const QList<int> counts{0, 2, 0, 0, 1, 1};
        for (int day = 0; day < 6; ++day) {
            QVERIFY(model->handleKey(Qt::Key(Qt::Key_1 + day)));
            QCOMPARE(model->inDay().at(day).toInt(), counts[day]);
            QCOMPARE(week.columns().at(day).toList().size(), counts[day]);
            QCOMPARE(model->screenState(), counts[day] ? "lessons" : "rest");
        }
        QVERIFY(!model->handleKey(Qt::Key_7) && !model->handleKey(Qt::Key_0));
        model->setSelectedDay(1);
        QCOMPARE(ids(model->dayLessons()), (QList<qint64>{1, 3}));
        QCOMPARE(week.columns().at(1).toList().last().value<Schedule>().id, 3);
        week.setWide(true);
        QVERIFY(!week.showsWeek());
        QVERIFY(week.handleKey(Qt::Key_W));
        WeekViewModel again;
        again.setScreen(model.get());
        again.setWide(true);
        QVERIFY(again.showsWeek());
        again.setWide(false); // too narrow for six columns: the day again, the choice kept
        QVERIFY(!again.showsWeek());
        again.setWide(true);
        QVERIFY(again.handleKey(Qt::Key_D));
        QVERIFY(!again.showsWeek());
        QVERIFY(model->handleKey(Qt::Key_Right));
        QCOMPARE(model->selectedDay(), 0);
        QVERIFY(settled());
        QVERIFY(model->handleKey(Qt::Key_Home));
        QCOMPARE(model->selectedDay(), 2);
        QVERIFY(settled());
    }

    void pagingStaysWithinTheCoveredWeeks() {
        QVERIFY(shown());
        QVERIFY(model->nextWeek());
        QCOMPARE(model->weekOffset(), 1);
        QVERIFY(settled());
        QCOMPARE(app.server->requests().last().query.queryItemValue("offset"), QStringLiteral("1"));
        QVERIFY(!model->canGoForward());
        const int before = app.gets(weekPath);
        QVERIFY(!model->nextWeek());
        QCOMPARE(model->weekOffset(), 1);

        for (int expected = 0; expected >= -30; --expected) {
            QVERIFY(model->handleKey(Qt::Key_Left));
            QCOMPARE(model->weekOffset(), expected);
            QVERIFY(settled());
        }
        QCOMPARE(app.server->requests().last().query.queryItemValue("offset"),
                 QStringLiteral("-30"));
        QVERIFY(!model->canGoBack());
        QVERIFY(!model->previousWeek());
        QCOMPARE(model->weekOffset(), -30);
        QCOMPARE(app.gets(weekPath), before + 31);
        // The header follows the shown week: 30 weeks before the week of 3 March 2025.
        QCOMPARE(model->weekFirstDate(), QStringLiteral("05.08"));
        QCOMPARE(model->weekLastDate(), QStringLiteral("11.08.24"));
    }

    // No work mode stored: the prompt, and no week or stored value asked for.
    void withoutWorkModeOnlyThePromptShows() {
        model->reloadWeek();
        QVERIFY(settled());
        QCOMPARE(model->screenState(), QStringLiteral("modeRequired"));
        QVERIFY(!model->previousWeek());
        QCOMPARE(app.server->count(QStringLiteral("POST"), QStringLiteral("/api/storage/get")), 0);
        QCOMPARE(app.gets(weekPath), 0);

        // Once a mode is stored the next showing leaves the prompt, stray listed keys or not.
        demoGroup();
        app.server->setFault(QStringLiteral("GET"), QStringLiteral("/api/storage/keys"),
                             fault::answer(200, R"({"keys": [5, {"key": "work_mode"}]})"));
        model->reloadWeek();
        QVERIFY(settled());
        QVERIFY(!model->modeRequired());
        QVERIFY(nextWeekFetched());
    }

    void failureKeepsTheStoredWeekOrOffersARetry_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("stored");
        for (bool stored : {false, true}) {
            const char* tag = stored ? ", week stored" : ", nothing stored";
            QTest::addRow("key listing%s", tag) << "GET"
                                                << "/api/storage/keys" << stored;
            QTest::addRow("stored value%s", tag) << "POST"
                                                 << "/api/storage/get" << stored;
            QTest::addRow("week%s", tag) << "GET" << weekPath << stored;
        }
    }
    void failureKeepsTheStoredWeekOrOffersARetry() {
        QFETCH(QString, method);
        QFETCH(QString, path);
        QFETCH(bool, stored);
        demoGroup();
        if (stored)
            QVERIFY(shown());
        app.server->setFault(method, path, fault::answer(500, "{}"));
        model->reloadWeek();
        QCOMPARE(model->screenState(), stored ? "lessons" : "loading");
        QVERIFY(settled());
        QCOMPARE(finished->last().first().toBool(), false);
        QVERIFY(!model->isSheduleLoading());
        QCOMPARE(model->screenState(), stored ? "lessons" : "failed");
        QCOMPARE(model->freshness(), stored ? "Нет связи с сервером · данные от 05.03 12:00" : "");
        QVERIFY(model->previousWeek() && model->nextWeek()); // paging still answers
        QVERIFY(settled(2));

        // Enter or R retries only where a retry is offered; the service is back by then.
        app.server->clearFaults();
        QCOMPARE(model->handleKey(Qt::Key_R), !stored);
        if (stored)
            model->reloadWeek();
        QVERIFY(settled());
        QCOMPARE(model->screenState(), "lessons");
        QCOMPARE(model->freshness(), "Обновлено в 12:00");
    }

    // A stored week shows before the service answers; the answer, even an empty one, replaces it.
    void storedWeekShowsAtOnce() {
        QJsonObject later = lesson(1, "Среда");
        later["time"] = "14:00-15:20";
        app.script(weekPath, {{"schedule", QJsonArray{later}}});
        QVERIFY(shown());

        now = now.addSecs(3600);
        app.script(weekPath, {{"schedule", QJsonArray{lesson(2, "Среда"), lesson(3, "Среда")}}},
                   1000);
        const auto fresh = screenOn(app.co.get()); // as after a restart: nothing in memory
        QSignalSpy answered(fresh.get(), &ScheduleScreenModel::loadFinished);
        NowNextModel banner; // offline the stored copy is all there is: it counts
        banner.setScreen(fresh.get());
        fresh->reloadWeek();
        QCOMPARE(fresh->screenState(), "lessons");
        QCOMPARE(ids(fresh->dayLessons()), QList<qint64>{1});
        QCOMPARE(line(banner.next()), "Физика||в 14:00");
        QCOMPARE(fresh->freshness(), "Обновлено в 12:00");
        QVERIFY(fresh->isSheduleLoading());
        QVERIFY(answered.wait(10000));
        QCOMPARE(ids(fresh->dayLessons()), (QList<qint64>{2, 3}));
        QCOMPARE(fresh->freshness(), "Обновлено в 13:00");
        now = now.addDays(1);
        fresh->tick();
        QCOMPARE(fresh->freshness(), "Обновлено 05.03 в 13:00");

        app.script(weekPath, {});
        fresh->reloadWeek();
        QVERIFY(answered.wait(10000));
        QCOMPARE(fresh->screenState(), "rest");

        // The service out of reach and no account record: the store alone, asked nothing.
        const int requests = int(app.server->requests().size());
        CO offline(QStringLiteral("http://127.0.0.1:1"),
                   std::make_shared<TokenStore>(app.dir.filePath(QStringLiteral("none.ini"))));
        ScheduleScreenModel stored;
        stored.setClock([this] { return now; });
        stored.setStoreOnly(true); // before the account is set: the store alone
        stored.setCo(&offline);
        QVERIFY(stored.hasStoredWeeks());
        stored.reloadWeek();
        QCOMPARE(stored.screenState(), "rest");
        QCOMPARE(stored.freshness(), "Нет связи с сервером · данные от 06.03 13:00");
        QVERIFY(stored.previousWeek());
        QCOMPARE(stored.screenState(), "notStored");
        QCOMPARE(int(app.server->requests().size()), requests);
    }

    // Presses faster than the answers: each shows at once, the last wins, every answer is kept.
    void pagingWhileLoadingLosesNoPress() {
        QVERIFY(shown());
        QVERIFY(nextWeekFetched());
        app.server->setFault(QStringLiteral("GET"), weekPath, fault::delayed(300));
        const int asked = app.gets(weekPath);
        for (int offset = -1; offset >= -4; --offset) {
            QVERIFY(model->handleKey(Qt::Key_Left));
            QCOMPARE(model->weekOffset(), offset);
            // The next press comes while this week's answer is still on its way.
            QVERIFY(QTest::qWaitFor([&] { return app.gets(weekPath) == asked - offset; }));
        }
        QVERIFY(settled(4));
        QCOMPARE(finished->count(QVariantList{true}), 2); // the first load and the last
        WeekStore& store = WeekStore::shared();
        const auto storedAt = [&](int offset) {
            return store.week(app.co->account(), *store.lastShown(app.co->account()),
                              WeekCalendar::mondayOf(offset, now));
        };
        for (int offset = -4; offset <= 1; ++offset)
            QVERIFY(storedAt(offset));
        QCOMPARE(ids(model->schedule()), ids(schedulesFromAnswer(storedAt(-4)->answer, "")));
    }

    // The store changes no request but next week's early fetch, and never holds a token.
    void storeChangesNothingOnTheWire() {
        demoGroup();
        const QString prefetch = QStringLiteral("GET /api/schedule/week 1");
        bool ok = true;
        auto run = [&] {
            app.server->clearLog();
            const std::unique_ptr<CO> co = signedIn(app.login);
            const auto m = screenOn(co.get());
            QSignalSpy done(m.get(), &ScheduleScreenModel::loadFinished);
            m->reloadWeek();
            ok = ok && done.wait(10000);
            for (int page = 0; page < 10; ++page) {
                m->handleKey(page < 5 ? Qt::Key_Left : Qt::Key_Right);
                ok = ok && done.wait(10000);
            }
            QStringList lines;
            for (const standin::LoggedRequest& r : app.server->requests())
                lines.append(r.method + u' ' + r.path + u' ' +
                             r.query.queryItemValue(QStringLiteral("offset")) +
                             QString::fromUtf8(r.body));
            return lines;
        };
        QStringList empty = run();
        const QStringList full = run();
        QVERIFY(ok);
        QCOMPARE(empty.removeAll(prefetch), 1);
        QCOMPARE(full.count(prefetch), 0);
        QCOMPARE(empty, full);
        QCOMPARE(full.count(QStringLiteral("GET /api/users/me ")), 1);
        QFile file(WeekStore::shared().filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!file.readAll().contains(app.access.toUtf8()));
    }

    // Two accounts keep apart; signing out or a refused refresh takes the account's weeks along.
    void accountsKeepTheirOwnWeeks_data() {
        QTest::addColumn<bool>("refreshRefused");
        QTest::newRow("sign-out") << false;
        QTest::newRow("refused refresh") << true;
    }
    void accountsKeepTheirOwnWeeks() {
        QFETCH(bool, refreshRefused);
        const QString group = app.firstGroup(faculty());
        const std::unique_ptr<CO> student = signedIn(QStringLiteral("student"));
        const std::unique_ptr<CO> teacher = signedIn(QStringLiteral("teacher"));
        QVERIFY(student && teacher);
        for (const auto& [key, value] : WorkModeStore::studentEntries(faculty(), group))
            app.server->setStorage(QStringLiteral("student"), key, value);
        for (CO* co : {student.get(), teacher.get()}) {
            const auto m = screenOn(co);
            QSignalSpy done(m.get(), &ScheduleScreenModel::loadFinished);
            m->reloadWeek();
            QCOMPARE(m->screenState(), "loading"); // nothing of the other account's
            QVERIFY(!m->hasStoredWeeks());
            QVERIFY(done.wait(10000));
            QVERIFY(m->hasStoredWeeks());
        }
        const QString account = teacher->account();
        if (refreshRefused) {
            app.server->expireAccessTokens();
            app.server->setFault(QStringLiteral("POST"), QStringLiteral("/api/auth/refresh"),
                                 fault::answer(401, R"({"error": "revoked"})"));
            QVERIFY(await(teacher->api()->getMe()));
        } else {
            QVERIFY(awaitVoid(teacher->logout()));
        }
        QVERIFY(teacher->account().isEmpty());
        QVERIFY(!WeekStore::shared().lastShown(account));
        QVERIFY(WeekStore::shared().lastShown(student->account()));
    }

    // A new work mode chosen while the old week is on its way: the late old answer is dropped.
    void lateAnswerNeverReplacesANewerWeek() {
        demoGroup();
        app.server->setFault(QStringLiteral("GET"), weekPath,
                             fault::times(1, fault::delayed(1500)));
        model->reloadWeek();
        QVERIFY(QTest::qWaitFor([&] { return app.gets(weekPath) == 1; }, 10000));

        app.teacherMode(standin::Server::demoTeacherName());
        model->reloadWeek();
        QVERIFY(settled());
        QCOMPARE(finished->size(), 1);
        QCOMPARE(finished->last().first().toBool(), true);
        QCOMPARE(model->mode(), QStringLiteral("teacher"));
        const QList<Schedule> teacherWeek = model->schedule();

        QVERIFY(settled());
        QCOMPARE(finished->last().first().toBool(), false);
        QCOMPARE(model->mode(), QStringLiteral("teacher"));
        QCOMPARE(model->schedule().size(), teacherWeek.size());
        QCOMPARE(model->schedule().first().id, teacherWeek.first().id);
        QVERIFY(!model->isSheduleLoading());
    }

    // Next week is fetched early only once the current week came from the service.
    void noEarlyFetchAfterAFailedCurrentWeek() {
        demoGroup();
        app.server->setFault(QStringLiteral("GET"), weekPath, fault::times(1, fault::answer(500)));
        model->reloadWeek();
        QVERIFY(settled());
        QVERIFY(model->previousWeek());
        QVERIFY(settled());
        QCOMPARE(finished->last().first().toBool(), true);
        QVERIFY(!QTest::qWaitFor([&] { return app.gets(weekPath) > 2; }, 300));
    }

    // Rows of lessons still listed are kept (their delegates survive); only changes announced.
    void listUpdatesInPlace_data() {
        QTest::addColumn<QList<qint64>>("before");
        QTest::addColumn<QList<qint64>>("after");
        QTest::addColumn<bool>("changedSubject");
        QTest::addColumn<bool>("whole"); // nothing in common: replaced in one reset
        using Ids = QList<qint64>;
        QTest::newRow("edited") << Ids{1, 2} << Ids{1, 2} << true << false;
        QTest::newRow("other day") << Ids{1, 2} << Ids{3} << false << true;
        QTest::newRow("mixed") << Ids{1, 2, 3, 4, 5} << Ids{6, 5, 2, 7, 1} << false << false;
        QTest::newRow("repeated ids") << Ids{1, 1, 2, 2} << Ids{2, 1, 2, 1, 1} << false << false;
    }
    void listUpdatesInPlace() {
        QFETCH(QList<qint64>, before);
        QFETCH(QList<qint64>, after);
        QFETCH(bool, changedSubject);
        QFETCH(bool, whole);
        RecordListModel<Schedule> list;
        QAbstractItemModelTester check(&list,
                                       QAbstractItemModelTester::FailureReportingMode::QtTest);
        list.setItems(lessons(before));
        QList<QPersistentModelIndex> rows;
        for (int row = 0; row < list.rowCount(); ++row)
            rows.append(list.index(row));
        QSignalSpy reset(&list, &QAbstractItemModel::modelReset);
        QSignalSpy edited(&list, &QAbstractItemModel::dataChanged);
        QSignalSpy changed(&list, &RecordListBase::changed);

        const QString subject = changedSubject ? QStringLiteral("Химия") : QString();
        list.setItems(lessons(after, subject));
        QCOMPARE(ids(list.items()), after);
        QCOMPARE(reset.size(), whole ? 1 : 0);
        QCOMPARE(changed.size(), before == after && !changedSubject ? 0 : 1);
        QCOMPARE(edited.isEmpty(), !changedSubject || whole);
        // A row still valid holds its lesson; with unique ids every kept lesson kept its row.
        const QSet<qint64> afterIds(after.cbegin(), after.cend());
        for (qsizetype i = 0; i < rows.size(); ++i) {
            if (rows[i].isValid())
                QCOMPARE(list.items().at(rows[i].row()).id, before[i]);
            else if (QSet<qint64>(before.cbegin(), before.cend()).size() == before.size())
                QVERIFY(!afterIds.contains(before[i]));
        }
        QCOMPARE(list.data(list.index(0), list.roleNames().key("subject")).toString(), subject);
    }

    // At midnight into Monday the clock moves the header on, reloading and rebuilding nothing.
    void tickRefreshesOnlyTheDates() {
        now = berlin(QDate(2025, 3, 9), QTime(23, 59, 59));
        QVERIFY(shown());
        QVERIFY(nextWeekFetched());
        QCOMPARE(model->todayIndex(), 5); // Sunday counts as Saturday
        const qsizetype requests = app.server->requests().size();
        QSignalSpy lessons(static_cast<RecordListBase*>(model->dayLessonsModel()),
                           &RecordListBase::changed);
        now = now.addSecs(2);
        model->tick();
        QCOMPARE(model->weekFirstDate(), QStringLiteral("10.03"));
        QCOMPARE(model->todayIndex(), 0);
        QCOMPARE(lessons.size(), 0);
        QCOMPARE(app.server->requests().size(), requests);
    }

    // The banner and the week view's today column and running lesson against a fixed clock.
    void nowNextFollowsTheClock_data() {
        QTest::addColumn<QDateTime>("at");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("next");
        QTest::addColumn<int>("running");
        QTest::addColumn<bool>("currentOn");
        QTest::addColumn<bool>("nextOn");
        const auto row = [](const char* name, QDate day, QTime time, const char* current,
                            const char* next, int running = -1, bool currentOn = true,
                            bool nextOn = true) {
            QTest::newRow(name) << berlin(day, time) << QString::fromUtf8(current)
                                << QString::fromUtf8(next) << running << currentOn << nextOn;
        };
        const QDate thursday = wednesday.addDays(1);
        row("an hour before", wednesday, {7, 30}, "", "Физика|1-101|в 08:30");
        row("59 minutes", wednesday, {7, 31}, "", "Физика|1-101|через 59 минут");
        row("rounded up", wednesday, {8, 9, 30}, "", "Физика|1-101|через 21 минуту");
        row("14 minutes", wednesday, {8, 16}, "", "Физика|1-101|через 14 минут");
        row("11 minutes", wednesday, {8, 19}, "", "Физика|1-101|через 11 минут");
        row("2 minutes", wednesday, {8, 28}, "", "Физика|1-101|через 2 минуты");
        row("at the start", wednesday, {8, 30}, "Физика|1-101|до 09:50", "Химия||в 10:00", 2);
        row("in a break", wednesday, {9, 50}, "", "Химия||через 10 минут");
        row("after the last", wednesday, {13, 0}, "", "");
        row("current off", wednesday, {8, 30}, "", "Химия||в 10:00", 2, false);
        row("next off", wednesday, {8, 30}, "Физика|1-101|до 09:50", "", 2, true, false);
        row("unparsable times skipped", thursday, {12, 0}, "", "Ночь||в 23:00");
        row("across midnight", thursday, {23, 30}, "Ночь||до 01:00", "", 0);
        row("next day", thursday.addDays(1), {0, 30}, "", "");
        row("sunday is not saturday", QDate(2025, 3, 9), {10, 0}, "", "");
    }
    void nowNextFollowsTheClock() {
        QFETCH(QDateTime, at);
        QFETCH(bool, currentOn);
        QFETCH(bool, nextOn);
        now = at;
        app.script(weekPath, bannerWeek());
        NowNextModel banner;
        banner.setScreen(model.get());
        banner.setShowCurrent(currentOn);
        banner.setShowNext(nextOn);
        WeekViewModel week;
        week.setScreen(model.get());
        QVERIFY(shown());
        QTEST(line(banner.current()), "current");
        QTEST(line(banner.next()), "next");
        QTEST(week.runningIndex(), "running");
        // Monday to Saturday have a column each; Sunday has none.
        QCOMPARE(week.todayColumn(), at.date().dayOfWeek() == 7 ? -1 : at.date().dayOfWeek() - 1);
        QCOMPARE(week.runningDay(), week.runningIndex() < 0 ? -1 : week.todayColumn());
    }

    // The banner moves on the tick alone; paged away, reminders still hold the current week.
    void nowNextChangesOnTheTick() {
        now = berlin(wednesday, QTime(8, 29, 59));
        app.script(weekPath, bannerWeek());
        NowNextModel banner;
        LessonReminder reminder;
        reminder.setClock([this] { return now; });
        reminder.setEnabled(true);
        banner.setScreen(model.get());
        banner.setReminder(&reminder);
        QVERIFY(shown());
        QVERIFY(nextWeekFetched());
        const qsizetype requests = app.server->requests().size();
        QSignalSpy changed(&banner, &NowNextModel::changed);
        now = now.addSecs(1);
        banner.tick();
        banner.tick();
        QCOMPARE(line(banner.current()), QStringLiteral("Физика|1-101|до 09:50"));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(app.server->requests().size(), requests);

        QVERIFY(model->nextWeek());
        QVERIFY(banner.current().isEmpty() && banner.next().isEmpty());
        QVERIFY(settled());
        LogCapture log; // no session bus here: the 10:00 lesson is due but cannot be shown
        now = berlin(wednesday, QTime(9, 50));
        reminder.check();
        QCOMPARE(log.lines, QStringList{"Уведомления недоступны: нет сеансовой шины D-Bus"});
        QVERIFY(model->currentWeek());
        QVERIFY(settled());
        QCOMPARE(line(banner.next()), QStringLiteral("Химия||через 10 минут"));
    }

    // The shown and stored weeks across the clock change, read back; an unwritable file fails.
    void calendarExport() {
        now = berlin(QDate(2025, 3, 26));
        const QString group = app.firstGroup(faculty());
        app.studentMode(faculty(), group);
        // Two lessons cannot be placed.
        app.script(weekPath,
                   weekOf({"Понедельник|Физика; механика, часть 1\nвведение (Лек)|"
                           "08:30-09:50|1-101|Орлова А. В.|1",
                           "Среда|Химия (Лаб)|23:00-01:00|||2",
                           "Суббота|История (ПЗ)|10:00-11:20|2-202||0",
                           "Вторник|Нет|ab:cd-13:00|||3", "Воскресенье|Нет|10:00-11:00|||4"}));
        model->reloadWeek();
        QVERIFY(settled());
        CalendarExport exporter;
        exporter.setScreen(model.get());
        QCOMPARE(QFileInfo(exporter.proposedFile().toLocalFile()).fileName(),
                 group + QStringLiteral(" 24.03.25.ics"));
        QTemporaryDir dir;
        const QString shown = dir.filePath(QStringLiteral("неделя.ics"));
        QVERIFY(exporter.save(QUrl::fromLocalFile(shown)));
        QCOMPARE(exporter.message(),
                 QStringLiteral("Сохранено: неделя.ics (пропущено пар, у которых не распознаны "
                                "день или время: 2)"));

        // The shown week and next week's early fetch are what the store holds.
        QVERIFY(exporter.canExportStored());
        QTRY_COMPARE(
            WeekStore::shared().weeks(model->storeAccount(), *model->shownSubject()).size(), 2);
        const QString stored = dir.filePath(QStringLiteral("all.ics"));
        QVERIFY(exporter.save(stored, true));

        QFile file(stored);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        const QByteArray unfolded = QByteArray(text).replace("\r\n ", "");
        QVERIFY(unfolded.contains("SUMMARY:Физика\\; механика\\, часть 1\\nвведение"));
        QVERIFY(text.indexOf("BEGIN:VTIMEZONE") < text.indexOf("BEGIN:VEVENT"));
        QVERIFY(unfolded.contains("DTSTART;TZID=Europe/Berlin:20250324T083000"));

        const QString physics = QStringLiteral("Физика; механика, часть 1\nвведение|1-101|"
                                               "Лекция\nОрлова А. В.");
        const QStringList expected{
            "2025-03-24T07:30:00Z|2025-03-24T08:50:00Z|" + physics,
            "2025-03-26T22:00:00Z|2025-03-27T00:00:00Z|Химия||Лабораторная работа",
            "2025-03-29T09:00:00Z|2025-03-29T10:20:00Z|История|2-202|Практическое занятие",
            "2025-03-31T06:30:00Z|2025-03-31T07:50:00Z|" + physics,
            "2025-04-02T21:00:00Z|2025-04-02T23:00:00Z|Химия||Лабораторная работа",
            "2025-04-05T08:00:00Z|2025-04-05T09:20:00Z|История|2-202|Практическое занятие"};
        const QStringList byLibical = readByLibical(text);
        QCOMPARE(byLibical.size(), expected.size());
        QStringList uids;
        for (int i = 0; i < expected.size(); ++i) {
            QCOMPARE(byLibical[i].section(u'|', 0, -2), expected[i]);
            uids.append(byLibical[i].section(u'|', -1));
        }
        QCOMPARE(readByPython(stored), byLibical);
        // The same lesson keeps its UID in another export; every lesson has its own.
        QFile first(shown);
        QVERIFY(first.open(QIODevice::ReadOnly));
        QCOMPARE(readByLibical(first.readAll()), byLibical.mid(0, 3));
        QCOMPARE(QSet<QString>(uids.cbegin(), uids.cend()).size(), uids.size());

        QVERIFY(!exporter.save(dir.filePath(QStringLiteral("нет/неделя.ics"))));
        QCOMPARE(exporter.message(), QStringLiteral("Не удалось сохранить файл"));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("нет"))));
    }
};

QTEST_GUILESS_MAIN(TestScheduleScreen)
#include "tst_schedulescreen.moc"
