// Timetable figures: decoding a large week answer into lesson records, the local week store's
// reads and writes, paging one week on the drawn screen (key press to the new week's first
// frame) against the in-process stand-in, and the same with every answer held back 200 ms and
// the weeks already stored.
#include "BenchSupport.h"
#include "CO.h"
#include "Schedule.h"
#include "ScheduleScreenModel.h"
#include "Toolkit.h"
#include "WeekCalendar.h"
#include "WeekStore.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>
#include <cstdio>

Q_IMPORT_QML_PLUGIN(OrvelBox_ControlsPlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_CorePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_TimetablePlugin)

namespace {
using bench::stats;

void print(const char* what, const bench::Stats& s) {
    std::printf("  %-32s min %8.1f us   median %8.1f us   p95 %8.1f us\n", what, s.min, s.median,
                s.p95);
}

// A week answer of `n` lessons with every key the service sends, in its wire form.
QByteArray weekAnswer(int n) {
    QJsonArray lessons;
    for (int i = 0; i < n; ++i)
        lessons.append(QJsonObject{
            {"classroom", QStringLiteral("Б-%1").arg(100 + i % 300)},
            {"combined_main_groups", QJsonArray{"ИТ-21"}},
            {"combined_with", QJsonArray{"ИТ-22", "ИТ-23"}},
            {"date", "05.03.2025"},
            {"dateTs", 1741132800 + i},
            {"day", WeekCalendar::dayName(i % 6)},
            {"faculty_id", 3},
            {"faculty_name", "Факультет информационных технологий"},
            {"group_id", 12},
            {"group_name", "ИТ-21"},
            {"hash", QStringLiteral("%1").arg(i * 7919, 8, 16, QLatin1Char('0'))},
            {"id", 100000 + i},
            {"is_combined", i % 3 == 0},
            {"lessonType", "lecture"},
            {"number", 1 + i % 6},
            {"source", "sync"},
            {"subject", QStringLiteral("Дисциплина номер %1 (Лек)").arg(i)},
            {"teacher", "Иванов И.И."},
            {"teacher_full_name", "Иванов Иван Иванович"},
            {"teacher_photo", "http://127.0.0.1/media/teachers/1_thumb.png"},
            {"time", "08:30-09:50"},
            {"timeupdate", 1740873600},
            {"timeLESSON_start", 510},
            {"timeLESSON_end", 590},
        });
    return QJsonDocument(QJsonObject{{"schedule", lessons}}).toJson(QJsonDocument::Compact);
}

void decodeBench(int runs) {
    const QByteArray bytes = weekAnswer(500);
    std::vector<double> whole, records;
    qsizetype sink = 0;
    for (int i = 0; i < runs + 20; ++i) {
        QElapsedTimer t;
        t.start();
        const QJsonObject answer = QJsonDocument::fromJson(bytes).object();
        const qint64 parsed = t.nsecsElapsed();
        const QList<Schedule> lessons =
            schedulesFromAnswer(answer, QStringLiteral("combined_with"));
        const auto counts = WeekCalendar::countByDay(lessons);
        const qint64 done = t.nsecsElapsed();
        sink += lessons.size() + counts[0];
        if (i >= 20) {
            whole.push_back(done / 1e3);
            records.push_back((done - parsed) / 1e3);
        }
    }
    std::printf("decoding a 500-lesson week (%lld bytes of JSON), %d runs (goal < 1000 us):\n",
                qlonglong(bytes.size()), runs);
    print("answer object to records+counts", stats(records));
    print("JSON text to records+counts", stats(whole));
    if (sink < 0)
        std::printf("\n");
}

// One read and one write of a 40-lesson week, on the interface thread as the screen does them.
void storeBench(int runs) {
    QTemporaryDir dir;
    WeekStore store(dir.filePath(QStringLiteral("weeks.sqlite")));
    const QJsonObject answer = QJsonDocument::fromJson(weekAnswer(40)).object();
    const WeekStore::Subject subject{QStringLiteral("student"), QStringLiteral("ФИТ\nИТ-21")};
    const QDate monday(2025, 3, 3);
    std::vector<double> writes, reads;
    qsizetype sink = 0;
    for (int i = 0; i < runs + 20; ++i) {
        const QDate week = monday.addDays(-7 * (i % 32));
        QElapsedTimer t;
        t.start();
        store.putWeek(QStringLiteral("id:1"), subject, week, answer, QDateTime::currentDateTime());
        const double w = t.nsecsElapsed() / 1e3;
        t.restart();
        const auto read = store.week(QStringLiteral("id:1"), subject, week);
        sink += schedulesFromAnswer(read->answer, QStringLiteral("combined_with")).size();
        if (i >= 20) {
            writes.push_back(w);
            reads.push_back(t.nsecsElapsed() / 1e3);
        }
    }
    std::printf("week store, a 40-lesson week, %d runs (goal: well under a 16 ms frame):\n", runs);
    print("write (with pruning)", stats(writes));
    print("read + decode to records", stats(reads));
    if (sink < 0)
        std::printf("\n");
}

const QByteArray sceneQml = R"qml(
import QtQuick
import OrvelBox.Controls
import OrvelBox.Timetable
Rectangle {
    property var co
    color: Theme.systemBackground
    ScheduleScreen { objectName: "screen"; anchors.fill: parent; co: parent.co }
}
)qml";

// `latencyMs` > 0: every answer is held back that long, and the two weeks paged between are
// stored first, so a press is measured to the stored week's first frame.
int pagingBench(int pages, int latencyMs) {
    bench::TeacherSession session;
    if (!session.start(QStringLiteral("bench")))
        return 1;
    QTemporaryDir storeDir;
    WeekStore::setSharedPath(storeDir.filePath(QStringLiteral("weeks.sqlite")));
    standin::Fault late;
    late.delayMs = latencyMs;
    if (latencyMs > 0)
        for (const char* path : {"/api/users/me", "/api/storage/keys", "/api/storage/get"})
            session.server.setFault(QStringLiteral("*"), QString::fromLatin1(path), late);
    session.server.setFault(
        QStringLiteral("*"),
        QStringLiteral("/api/teachers/%1/schedule").arg(standin::Server::demoTeacherName()), late);
    CO co(session.server.baseUrl(), session.tokens);

    QQmlEngine engine;
    QQuickWindow window;
    window.resize(960, 680);
    const std::unique_ptr<QObject> object =
        bench::showScene(engine, window, sceneQml, {{"co", QVariant::fromValue<QObject*>(&co)}});
    if (!object)
        return 1;
    auto* screen = object->findChild<QQuickItem*>(QStringLiteral("screen"));
    auto* model = qobject_cast<ScheduleScreenModel*>(screen->property("model").value<QObject*>());
    screen->forceActiveFocus();
    QSignalSpy loaded(model, &ScheduleScreenModel::loadFinished);
    if (!loaded.wait(10000))
        return 1;
    const bool stored = latencyMs > 0;
    if (stored) { // both weeks into the store
        for (Qt::Key key : {Qt::Key_Left, Qt::Key_Right}) {
            QTest::keyClick(&window, key);
            if (!loaded.wait(10000))
                return 1;
        }
    }

    // Alternate between this week and the previous one; each page is a full reload.
    std::vector<double> toLoaded, toFrame;
    for (int i = 0; i < pages + 5; ++i) {
        const Qt::Key key = model->weekOffset() == 0 ? Qt::Key_Left : Qt::Key_Right;
        QSignalSpy frame(&window, &QQuickWindow::frameSwapped);
        QElapsedTimer t;
        t.start();
        QTest::keyClick(&window, key);
        if (stored ? model->screenState() == u"loading" : !loaded.wait(10000))
            return 1;
        const double l = t.nsecsElapsed() / 1e3;
        if (!stored)
            frame.clear();
        if (!frame.wait(5000))
            return 1;
        if (i >= 5) {
            toLoaded.push_back(l);
            toFrame.push_back(t.nsecsElapsed() / 1e3);
        }
        if (stored) // the user reads the week a moment; its answer comes meanwhile
            QTest::qWait(latencyMs * 5);
    }
    if (stored) {
        std::printf("paging to a stored week, answers held back %d ms, %d pages (goal <= 16 ms):\n",
                    latencyMs, pages);
        print("key press to stored week drawn", stats(toFrame));
        return 0;
    }
    std::printf(
        "paging one week on screen (teacher mode, %d pages, 5 requests each on loopback):\n",
        pages);
    print("key press to week loaded", stats(toLoaded));
    print("key press to new week drawn", stats(toFrame));
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    // Rendering on this thread: the first frame after the week arrives is the one that shows it.
    qputenv("QSG_RENDER_LOOP", "basic");
    QGuiApplication app(argc, argv);
    decodeBench(argc > 1 ? QByteArray(argv[1]).toInt() : 300);
    storeBench(argc > 1 ? QByteArray(argv[1]).toInt() : 300);
    const int pages = argc > 2 ? QByteArray(argv[2]).toInt() : 40;
    return pagingBench(pages, 0) || pagingBench(pages, 200);
}
