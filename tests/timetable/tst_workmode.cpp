// The work-mode screen's and the teacher card's models against the stand-in: restoring the
// stored choice, the lists, choices and saves on the wire, what failures leave behind, and one
// teacher look-up per showing. Failed lists and cards are rows of the fault matrix; the escaped
// teacher name on the wire is a row of the endpoint catalogue.
#include "SignedIn.h"
#include "TeacherViewInfoModel.h"
#include "WorkmodeModel.h"

#include <QSignalSpy>

namespace {
const QString setPath = QStringLiteral("/api/storage/set");
const QString groupsPath = QStringLiteral("/api/schedule/groups");
const QString mathFaculty = QStringLiteral("Факультет математики и информационных технологий");

// The bodies of the store writes since the log was last cleared, in sending order.
QList<QJsonObject> writes(const standin::Server& server) {
    QList<QJsonObject> out;
    for (const standin::LoggedRequest& r : server.requests())
        if (r.method == u"POST" && r.path == setPath)
            out.append(QJsonDocument::fromJson(r.body).object());
    return out;
}

QJsonObject write(const char* key, const QString& value) {
    return {{"key", QString::fromLatin1(key)}, {"value", value}};
}
} // namespace

class TestWorkmode : public QObject {
    Q_OBJECT
    SignedIn app;

    // A screen shown afresh, its load finished.
    std::unique_ptr<WorkmodeModel> open() {
        auto m = std::make_unique<WorkmodeModel>();
        m->setCo(app.co.get());
        m->load();
        if (!QTest::qWaitFor([&] { return !m->isLoading(); }, 10000))
            qWarning("The work-mode load did not finish");
        return m;
    }
    bool groupsLoaded(WorkmodeModel& m, int faculty) {
        QSignalSpy replaced(m.groups(), &OptionList::changed);
        m.chooseFaculty(faculty);
        return replaced.wait(10000) && m.groupsOpened();
    }
    bool saves(WorkmodeModel& m) {
        QSignalSpy saved(&m, &WorkmodeModel::saved);
        m.save();
        return saved.wait(10000) && !m.buttonSaving();
    }
    QString stored(const char* key) const {
        return app.server->storage(app.login, QString::fromLatin1(key)).toString();
    }
    static QString teacherPath(const QString& name) {
        return QStringLiteral("/api/teachers/") + name;
    }
    static void show(TeacherViewInfoModel& card, const QString& name) {
        card.setTeacherName(name);
        card.setActive(true);
    }

  private slots:
    void init() {
        QVERIFY(app.start());
        QVERIFY(QTest::qWaitFor([&] { return app.co->appState() == CO::appStates::home; }, 10000));
        app.server->clearLog();
    }
    void cleanup() { app.stop(); }

    void nothingStoredOpensStudentModeWithNothingChosen() {
        const auto m = open();
        QCOMPARE(m->selectedMode(), 0);
        QCOMPARE(m->selectedFaculty(), -1);
        QVERIFY(!m->groupsOpened());
        QVERIFY(!m->buttonVisible());
        QVERIFY(!m->buttonSaving());

        // The requests of a load, in order; the teacher list is asked for in full.
        QStringList sent;
        for (const standin::LoggedRequest& r : app.server->requests())
            sent.append(r.method + u' ' + r.path +
                        (r.rawQuery.isEmpty() ? QString() : u'?' + r.rawQuery) +
                        (r.body.isEmpty() ? QString() : u' ' + QString::fromUtf8(r.body)));
        QCOMPARE(sent, (QStringList{R"(POST /api/storage/get {"key":"work_mode"})",
                                    "GET /api/teachers?limit=100000&offset=0",
                                    "GET /api/schedule/faculties",
                                    R"(POST /api/storage/get {"key":"faculty_name"})",
                                    R"(POST /api/storage/get {"key":"group_name"})"}));

        // Every list starts with the no-choice entry.
        for (const OptionList* list : {m->faculties(), m->groups(), m->teachers()})
            QCOMPARE(list->items().first(), option::none());
        QCOMPARE(m->groups()->count(), 1);
        QStringList faculties;
        for (const option& o : m->faculties()->items().mid(1))
            faculties.append(o.name);
        QCOMPARE(faculties, standin::Server::facultyNames());
        QCOMPARE(m->teachers()->count(), 151);
    }

    // The lists as the answers give them, whatever their shape.
    void listsFromUnusualAnswers() {
        app.script(QStringLiteral("/api/schedule/faculties"),
                   {{"faculties",
                     QJsonArray{QJsonObject{{"id", 3}, {"name", "Новый факультет"}},
                                QJsonObject{{"id", "7"}, {"name", "Юридический факультет"}},
                                QJsonObject{{"id", 10}, {"name", "Расширенная настройка cookie"}},
                                QJsonObject{{"id", 2.5}}}}});
        app.script(QStringLiteral("/api/teachers"),
                   {{"teachers",
                     QJsonArray{QJsonObject{{"name", "Без Фото"}, {"photo_thumb_url", ""}},
                                QJsonObject{{"name", "С Фото"},
                                            {"photo_thumb_url", "https://m.example/1.png"}},
                                QJsonObject{{"name", 5}, {"photo_thumb_url", 5}}, "не объект"}}});
        const auto m = open();
        QCOMPARE(m->faculties()->items(), (QList<option>{option::none(),
                                                         {3, "Новый факультет", ""},
                                                         {0, "Юридический факультет", "briefcase"},
                                                         {0, "", ""}}));
        const QString person = QStringLiteral("person.crop.circle.fill");
        QCOMPARE(m->teachers()->items(), (QList<option>{option::none(),
                                                        {0, "Без Фото", person},
                                                        {1, "С Фото", "https://m.example/1.png"},
                                                        {2, "", person},
                                                        {3, "", person}}));

        app.script(groupsPath, {{"groups", "не список"}});
        m->chooseFaculty(3);
        QVERIFY(QTest::qWaitFor([&] { return m->groupsOpened(); }, 10000));
        QCOMPARE(m->groups()->items(), QList<option>{option::none()});
    }

    // A saved choice is written key by key and restored; the other mode's keys stay.
    void choiceIsSavedAndRestored_data() {
        QTest::addColumn<bool>("teacher");
        QTest::newRow("student") << false;
        QTest::newRow("teacher") << true;
    }
    void choiceIsSavedAndRestored() {
        QFETCH(bool, teacher);
        app.store(QStringLiteral("teacher"), QStringLiteral("Прежний П.П."));
        app.store(QStringLiteral("faculty_name"), mathFaculty);
        app.store(QStringLiteral("group_name"), QStringLiteral("МИТ-231"));
        app.store(QStringLiteral("work_mode"),
                  teacher ? QStringLiteral("student") : QStringLiteral("teacher"));
        auto m = open();
        QVERIFY(m->buttonVisible());

        QList<QJsonObject> expected;
        int faculty = -1, group = -1, chosenTeacher = -1;
        if (teacher) {
            m->chooseMode(1);
            QVERIFY(!m->buttonVisible());
            chosenTeacher = 7;
            m->chooseTeacher(chosenTeacher);
            QVERIFY(m->buttonVisible());
            m->chooseTeacher(-1); // "Не выбрано" is no choice
            QVERIFY(!m->buttonVisible());
            m->chooseTeacher(chosenTeacher);
            expected = {write("work_mode", "teacher"),
                        write("teacher", m->teachers()->nameOfId(chosenTeacher))};
        } else {
            m->chooseMode(0);
            QVERIFY(!m->buttonVisible());
            faculty = m->faculties()->idOfName(mathFaculty);
            QVERIFY(groupsLoaded(*m, faculty));
            QVERIFY(!m->buttonVisible());
            QCOMPARE(m->selectedGroup(), -1);
            m->chooseGroup(m->groups()->items()[1].id);
            QVERIFY(m->buttonVisible());
            m->chooseGroup(-1);
            QVERIFY(!m->buttonVisible());
            // No faculty is no choice either, whatever group was picked before.
            m->chooseGroup(m->groups()->items()[1].id);
            m->chooseFaculty(-1);
            QVERIFY(!m->buttonVisible());
            m->chooseFaculty(faculty);
            QTRY_VERIFY(m->groupsOpened());
            group = m->groups()->items()[2].id;
            m->chooseGroup(group);
            expected = {write("work_mode", "student"), write("faculty_name", mathFaculty),
                        write("group_name", m->groups()->nameOfId(group))};
        }
        QVERIFY(m->buttonVisible());
        app.server->clearLog();
        QVERIFY(saves(*m));
        QCOMPARE(writes(*app.server), expected);
        QCOMPARE(stored(teacher ? "faculty_name" : "teacher"),
                 teacher ? mathFaculty : QStringLiteral("Прежний П.П."));

        m = open();
        QCOMPARE(m->selectedMode(), teacher ? 1 : 0);
        QCOMPARE(m->selectedTeacher(), chosenTeacher);
        QCOMPARE(m->selectedFaculty(), faculty);
        QCOMPARE(m->selectedGroup(), group);
        QCOMPARE(m->groupsOpened(), !teacher);
        QVERIFY(m->buttonVisible());
    }

    void storedChoiceNoLongerListed_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("faculty");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QList<QJsonObject>>("saved");
        QTest::newRow("teacher gone")
            << "teacher"
            << ""
            << "" << QList<QJsonObject>{write("work_mode", "teacher"), write("teacher", "")};
        QTest::newRow("group gone")
            << "student" << mathFaculty << "МИТ-999"
            << QList<QJsonObject>{write("work_mode", "student"), write("faculty_name", mathFaculty),
                                  write("group_name", "")};
    }
    void storedChoiceNoLongerListed() {
        QFETCH(QString, mode);
        QFETCH(QString, faculty);
        QFETCH(QString, group);
        QFETCH(QList<QJsonObject>, saved);
        if (mode == u"teacher")
            app.teacherMode(QStringLiteral("Уволившийся У.У."));
        else
            app.studentMode(faculty, group);
        const auto m = open();
        QCOMPARE(m->selectedMode(), mode == u"teacher" ? 1 : 0);
        QCOMPARE(m->selectedTeacher(), -1);
        QCOMPARE(m->selectedGroup(), -1);
        QCOMPARE(m->groupsOpened(), mode != u"teacher");
        // The save button shows: something was stored, so the user may store it anew.
        QVERIFY(m->buttonVisible());
        app.server->clearLog();
        QVERIFY(saves(*m));
        QCOMPARE(writes(*app.server), saved);
    }

    void facultyWithoutStoredGroupShowsNoGroups() {
        app.store(QStringLiteral("faculty_name"), mathFaculty);
        const auto m = open();
        QCOMPARE(m->selectedFaculty(), m->faculties()->idOfName(mathFaculty));
        QVERIFY(m->selectedFaculty() != -1);
        QVERIFY(!m->groupsOpened());
        QVERIFY(!m->buttonVisible());
        QCOMPARE(app.gets(groupsPath), 1);
    }

    // Groups always belong to the faculty chosen last, whichever answer comes in last.
    void lastFacultyChosenSetsTheGroups_data() {
        QTest::addColumn<bool>("clearedAfter");
        QTest::newRow("another faculty") << false;
        QTest::newRow("no faculty") << true;
    }
    void lastFacultyChosenSetsTheGroups() {
        QFETCH(bool, clearedAfter);
        const auto m = open();
        const int first = m->faculties()->idOfName(standin::Server::facultyNames().first());
        const int second = m->faculties()->idOfName(mathFaculty);
        app.server->setFault(QStringLiteral("GET"), groupsPath,
                             fault::times(1, fault::delayed(600)));
        m->chooseFaculty(first);
        if (clearedAfter) {
            m->chooseFaculty(-1);
        } else {
            QVERIFY(groupsLoaded(*m, second));
            QCOMPARE(m->groups()->nameOfId(m->groups()->items()[1].id),
                     app.firstGroup(mathFaculty));
        }
        // Outlast the slow answer: this one is sent after it and answered later still.
        app.server->setFault(QStringLiteral("GET"), QStringLiteral("/api/schedule/faculties"),
                             fault::times(1, fault::delayed(800)));
        QVERIFY(await(app.co->api()->getFaculties()));
        QCOMPARE(app.gets(groupsPath), clearedAfter ? 1 : 3);
        QCOMPARE(m->groupsOpened(), !clearedAfter);
        if (clearedAfter)
            QCOMPARE(m->groups()->count(), 1);
        else
            QCOMPARE(m->groups()->items()[1].name, app.firstGroup(mathFaculty));
    }

    void quickSecondPressStartsNoSecondSave() {
        const auto m = open();
        m->chooseMode(1);
        m->chooseTeacher(3);
        QSignalSpy saved(m.get(), &WorkmodeModel::saved);
        m->save();
        QVERIFY(m->buttonSaving());
        m->save();
        // A second save would have sent its first write at once, long before the first ends.
        QVERIFY(saved.wait(10000));
        QCOMPARE(app.server->count(QStringLiteral("POST"), setPath), 2);
        QCOMPARE(saved.count(), 1);
        // Once done, the button saves again.
        QVERIFY(saves(*m));
        QCOMPARE(app.server->count(QStringLiteral("POST"), setPath), 4);
    }

    // A failed write stops the save there and keeps the button busy; the lists still answer.
    void failedWriteKeepsTheButtonBusy() {
        const auto m = open();
        QVERIFY(groupsLoaded(*m, m->faculties()->idOfName(mathFaculty)));
        m->chooseGroup(m->groups()->items()[1].id);
        app.server->setFault(QStringLiteral("POST"), setPath,
                             fault::times(1, fault::answer(500, R"({"error": "store down"})")));
        app.server->clearLog();
        LogCapture log;
        QSignalSpy saved(m.get(), &WorkmodeModel::saved);
        m->save();
        QVERIFY(QTest::qWaitFor([&] { return !log.lines.isEmpty(); }, 10000));
        QCOMPARE(log.lines, QStringList{"API Error: store down (Code: 500)"});
        QCOMPARE(writes(*app.server).size(), 1);
        QVERIFY(m->buttonSaving());
        m->save();
        QVERIFY(await(app.co->api()->getFaculties()));
        QCOMPARE(writes(*app.server).size(), 1);
        QCOMPARE(saved.count(), 0);
        QVERIFY(groupsLoaded(*m, 1));
    }

    // The stored mode cannot be read: the screen keeps waiting and shows no list.
    void failedModeReadKeepsLoading() {
        app.studentMode(mathFaculty, QStringLiteral("МИТ-231"));
        app.server->setFault(QStringLiteral("POST"), QStringLiteral("/api/storage/get"),
                             fault::answer(503));
        LogCapture log;
        auto m = std::make_unique<WorkmodeModel>();
        m->setCo(app.co.get());
        m->load();
        QVERIFY(QTest::qWaitFor([&] { return !log.lines.isEmpty(); }, 10000));
        QCOMPARE(log.lines, QStringList{"HTTP Error: 503"});
        QVERIFY(m->isLoading());
        QVERIFY(!m->buttonVisible());
        QCOMPARE(m->teachers()->count(), 1);
        QCOMPARE(m->faculties()->count(), 1);
    }

    // The stored faculty's groups fail: the screen opens without the group picker.
    void storedFacultysGroupsFail_data() {
        QTest::addColumn<QString>("faculty");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("logged");
        QTest::newRow("faculty gone")
            << "Закрытый факультет" << 0 << "API Error: Факультет не найден (Code: 404)";
        QTest::newRow("service down") << mathFaculty << 503 << "HTTP Error: 503";
    }
    void storedFacultysGroupsFail() {
        QFETCH(QString, faculty);
        QFETCH(int, status);
        QFETCH(QString, logged);
        app.studentMode(faculty, QStringLiteral("ЗФ-11"));
        app.server->setFault(QStringLiteral("GET"), groupsPath, fault::answer(status));
        LogCapture log;
        const auto m = open();
        QVERIFY(!m->isLoading());
        QCOMPARE(log.lines, QStringList{logged});
        QCOMPARE(m->selectedFaculty(), m->faculties()->idOfName(faculty));
        QVERIFY(!m->groupsOpened());
        QVERIFY(!m->buttonVisible());
        app.server->clearFaults();
        QVERIFY(groupsLoaded(*m, m->faculties()->idOfName(mathFaculty)));
    }

    // A screen closed while its calls are out is simply gone when the answers come.
    void closedWhileLoading() {
        app.server->setFault(QStringLiteral("GET"), QStringLiteral("/api/teachers"),
                             fault::delayed(300));
        auto m = std::make_unique<WorkmodeModel>();
        m->setCo(app.co.get());
        m->load();
        QVERIFY(
            QTest::qWaitFor([&] { return app.gets(QStringLiteral("/api/teachers")) == 1; }, 10000));
        m.reset();
        app.server->setFault(QStringLiteral("GET"), QStringLiteral("/api/schedule/faculties"),
                             fault::delayed(500));
        QVERIFY(await(app.co->api()->getFaculties()));
        QCOMPARE(app.gets(QStringLiteral("/api/schedule/faculties")), 1);
    }

    void teacherCardLooksUpEachTimeShown() {
        TeacherViewInfoModel card;
        card.setCo(app.co.get());
        const QString name = standin::Server::demoTeacherName();
        show(card, name);
        // Hidden and shown again before the view settles: one showing, one look-up.
        card.setActive(false);
        card.setActive(true);
        QVERIFY(QTest::qWaitFor([&] { return !card.isLoading(); }, 10000));
        QVERIFY(!card.tech().full_name.isEmpty());
        QVERIFY(!card.tech().deparment.isEmpty());
        QCOMPARE(card.displayName(), card.tech().full_name);
        QVERIFY(card.photoUrl().toString().startsWith(app.server->baseUrl() +
                                                      QStringLiteral("/media/teachers/")));
        QCOMPARE(app.gets(teacherPath(name)), 1);
        card.setActive(false);
        card.setActive(true);
        QVERIFY(QTest::qWaitFor([&] { return app.gets(teacherPath(name)) == 2; }, 10000));

        // A failed look-up leaves a new card waiting rather than showing an empty record.
        const QString gone = QStringLiteral("Ушедший У.У.");
        app.server->setFault(QStringLiteral("GET"), teacherPath(gone), fault::answer(500));
        TeacherViewInfoModel failing;
        failing.setCo(app.co.get());
        show(failing, gone);
        QVERIFY(QTest::qWaitFor([&] { return app.gets(teacherPath(gone)) == 1; }, 10000));
        QTest::qWait(100);
        QVERIFY(failing.isLoading());

        // A slow look-up that the next showing overtakes writes nothing.
        const QString slow = QStringLiteral("Медленный М.М.");
        app.script(teacherPath(slow), {{"teacher", QJsonObject{{"name", slow}}}}, 400);
        card.setActive(false);
        show(card, slow);
        QVERIFY(QTest::qWaitFor([&] { return app.gets(teacherPath(slow)) == 1; }, 10000));
        card.setActive(false);
        show(card, name);
        QVERIFY(QTest::qWaitFor([&] { return app.gets(teacherPath(name)) == 3; }, 10000));
        QTest::qWait(600);
        QCOMPARE(card.displayName(), card.tech().full_name);
        QVERIFY(card.displayName() != slow);
    }

    void teacherCardReadsTheAnswerLeniently_data() {
        QTest::addColumn<QJsonObject>("teacher");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("department");
        QTest::addColumn<QUrl>("photo");
        const QUrl photo("https://media.example/p.png");
        QJsonObject full{{"name", "Петров П.П."},
                         {"full_name", "Петров Пётр Петрович"},
                         {"department", "Кафедра физики"},
                         {"photo_url", photo.toString()}};
        QTest::newRow("full record") << full << "Петров Пётр Петрович"
                                     << "Кафедра физики" << photo;
        full["full_name"] = "";
        QTest::newRow("full name empty") << full << "Петров П.П."
                                         << "Кафедра физики" << photo;
        QTest::newRow("service's misspelt key is not read")
            << QJsonObject{{"name", "Петров П.П."}, {"deparment", "Кафедра"}} << "Петров П.П."
            << "" << QUrl();
    }
    void teacherCardReadsTheAnswerLeniently() {
        QFETCH(QJsonObject, teacher);
        TeacherViewInfoModel card;
        card.setCo(app.co.get());
        app.script(teacherPath(QStringLiteral("Петров П.П.")), {{"teacher", teacher}});
        show(card, QStringLiteral("Петров П.П."));
        QVERIFY(QTest::qWaitFor([&] { return !card.isLoading(); }, 10000));
        QTEST(card.displayName(), "title");
        QTEST(card.tech().deparment, "department");
        QTEST(card.photoUrl(), "photo");
    }
};

QTEST_GUILESS_MAIN(TestWorkmode)
#include "tst_workmode.moc"
