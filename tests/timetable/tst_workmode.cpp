// The work-mode screen's and the teacher card's models against the stand-in: the stored choice,
// the lists, saves on the wire, what failures leave behind, one teacher look-up per showing.
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

    // Nothing stored: student mode, nothing chosen; the lists as the answers give them.
    void nothingStoredOpensStudentModeWithNothingChosen() {
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

        QCOMPARE(m->groups()->items(), QList<option>{option::none()});
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
            m->chooseTeacher(-1); // "Не выбрано" is no choice
            QVERIFY(!m->buttonVisible());
            chosenTeacher = 7;
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
            // No faculty is no choice, whatever group was picked before.
            m->chooseGroup(m->groups()->items()[1].id);
            QVERIFY(m->buttonVisible());
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
        QCOMPARE(app.server->storage(app.login, teacher ? "faculty_name" : "teacher").toString(),
                 teacher ? mathFaculty : QStringLiteral("Прежний П.П."));

        m = open();
        QCOMPARE(m->selectedMode(), teacher ? 1 : 0);
        QCOMPARE(m->selectedTeacher(), chosenTeacher);
        QCOMPARE(m->selectedFaculty(), faculty);
        QCOMPARE(m->selectedGroup(), group);
        QCOMPARE(m->groupsOpened(), !teacher);
        QVERIFY(m->buttonVisible());
    }

    // A stored choice no longer listed: nothing is chosen, yet the user may store anew.
    void storedChoiceNoLongerListed_data() {
        QTest::addColumn<bool>("teacher");
        QTest::newRow("teacher gone") << true;
        QTest::newRow("group gone") << false;
    }
    void storedChoiceNoLongerListed() {
        QFETCH(bool, teacher);
        if (teacher)
            app.teacherMode(QStringLiteral("Уволившийся У.У."));
        else
            app.studentMode(mathFaculty, QStringLiteral("МИТ-999"));
        const auto m = open();
        QCOMPARE(m->selectedMode(), teacher ? 1 : 0);
        QCOMPARE(m->selectedTeacher(), -1);
        QCOMPARE(m->selectedGroup(), -1);
        QCOMPARE(m->groupsOpened(), !teacher);
        QVERIFY(m->buttonVisible());
        app.server->clearLog();
        QVERIFY(saves(*m));
        QCOMPARE(writes(*app.server).constLast(), write(teacher ? "teacher" : "group_name", ""));
    }

    // A faculty cleared while its groups are on their way: the late answer opens nothing.
    void lastFacultyChosenSetsTheGroups() {
        const auto m = open();
        app.server->setFault(QStringLiteral("GET"), groupsPath,
                             fault::times(1, fault::delayed(600)));
        m->chooseFaculty(m->faculties()->idOfName(mathFaculty));
        m->chooseFaculty(-1);
        // Outlast the slow answer: this one is sent after it and answered later still.
        app.server->setFault(QStringLiteral("GET"), QStringLiteral("/api/schedule/faculties"),
                             fault::times(1, fault::delayed(800)));
        QVERIFY(await(app.co->api()->getFaculties()));
        QCOMPARE(app.gets(groupsPath), 1);
        QVERIFY(!m->groupsOpened());
        QCOMPARE(m->groups()->count(), 1);
    }

    // A press while saving starts nothing; a failed write stops the save and keeps it busy.
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

        app.server->setFault(QStringLiteral("POST"), setPath,
                             fault::times(1, fault::answer(500, R"({"error": "store down"})")));
        LogCapture log;
        m->save();
        QVERIFY(QTest::qWaitFor([&] { return !log.lines.isEmpty(); }, 10000));
        QCOMPARE(log.lines, QStringList{"API Error: store down (Code: 500)"});
        QVERIFY(m->buttonSaving());
        m->save();
        QVERIFY(await(app.co->api()->getFaculties()));
        QCOMPARE(app.server->count(QStringLiteral("POST"), setPath), 5);
        QCOMPARE(saved.count(), 2);
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

    // The stored faculty is gone: the screen opens without the group picker.
    void storedFacultysGroupsFail() {
        const QString faculty = QStringLiteral("Закрытый факультет");
        app.studentMode(faculty, QStringLiteral("ЗФ-11"));
        LogCapture log;
        const auto m = open();
        QCOMPARE(log.lines, QStringList{"API Error: Факультет не найден (Code: 404)"});
        QCOMPARE(m->selectedFaculty(), m->faculties()->idOfName(faculty));
        QVERIFY(!m->groupsOpened());
        QVERIFY(!m->buttonVisible());
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

    // The card reads "department", not the service's misspelt key; no full name shows the name.
    void teacherCardReadsTheAnswerLeniently() {
        const QString name = QStringLiteral("Петров П.П.");
        const QString photo = QStringLiteral("https://media.example/p.png");
        app.script(teacherPath(name), {{"teacher", QJsonObject{{"name", name},
                                                               {"full_name", ""},
                                                               {"deparment", "Кафедра"},
                                                               {"department", "Кафедра физики"},
                                                               {"photo_url", photo}}}});
        TeacherViewInfoModel card;
        card.setCo(app.co.get());
        show(card, name);
        QVERIFY(QTest::qWaitFor([&] { return !card.isLoading(); }, 10000));
        QCOMPARE(card.displayName(), name);
        QCOMPARE(card.tech().deparment, QStringLiteral("Кафедра физики"));
        QCOMPARE(card.photoUrl(), QUrl(photo));
    }
};

QTEST_GUILESS_MAIN(TestWorkmode)
#include "tst_workmode.moc"
