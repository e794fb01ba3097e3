// The timetable, lesson cards and teacher card as drawn: offscreen windows against the
// stand-in, in light and dark, regular and phone layout. Pictures go to the artefact folder.
#include "CachedAsyncImage.h"
#include "QmlScene.h"
#include "ScheduleScreenModel.h"
#include "SignedIn.h"
#include "SystemColors.h"
#include "Toolkit.h"

#include <QSignalSpy>
#include <QTimeZone>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(OrvelBox_TimetablePlugin)

namespace {
const QString weekPath = QStringLiteral("/api/schedule/week");

// The timetable on a navigation stack, as the home screen holds it; hidden until `showing`,
// so the test can set the clock before the first load.
const QByteArray sceneQml = R"qml(
import QtQuick
import OrvelBox.Controls
import OrvelBox.Timetable
Rectangle {
    id: scene
    property var co
    property string scheme
    property bool showing: false
    color: Theme.systemBackground
    Component.onCompleted: Theme.preferredScheme = scheme
    NavigationStack {
        id: nav
        objectName: "nav"
        anchors.fill: parent
        visible: scene.showing
        initialItem: ScheduleScreen { objectName: "screen"; co: scene.co; navigator: nav }
    }
}
)qml";

struct Teacher {
    QString name, fullName, photo;
};

QJsonObject lesson(qint64 id, const char* day, const char* subject, const char* time,
                   const char* room, const Teacher& t = {}) {
    return {{"id", id},
            {"day", QString::fromUtf8(day)},
            {"subject", QString::fromUtf8(subject)},
            {"time", time},
            {"classroom", QString::fromUtf8(room)},
            {"teacher", t.name},
            {"teacher_full_name", t.fullName},
            {"teacher_photo", t.photo},
            {"faculty_name", "Факультет информационных технологий"},
            {"combined_groups", QJsonArray{"ИТ-21", "ИТ-22"}}};
}
} // namespace

class TestTimetableViews : public QObject {
    Q_OBJECT
    SignedIn app;
    QList<Teacher> teachers;

    // Three real teachers of the demo university that have photos.
    bool fetchTeachers() {
        const auto list = await(app.co->api()->getTeachers(std::nullopt, 30, 0));
        if (!list || !list->ok())
            return false;
        teachers.clear();
        for (const QJsonValue& v : list->value().value(QStringLiteral("teachers")).toArray()) {
            if (v[QStringLiteral("photo_thumb_url")].toString().isEmpty() || teachers.size() == 3)
                continue;
            const auto one = await(app.co->api()->getTeacher(v[QStringLiteral("name")].toString()));
            if (!one || !one->ok())
                return false;
            const QJsonObject t = one->value().value(QStringLiteral("teacher")).toObject();
            teachers.append({t[QStringLiteral("name")].toString(),
                             t[QStringLiteral("full_name")].toString(),
                             t[QStringLiteral("photo_thumb_url")].toString()});
        }
        return teachers.size() == 3;
    }
    // A week with every kind of lesson on Wednesday and a free Thursday.
    QJsonObject week() const {
        const Teacher noPhoto{teachers[0].name, QString(), QStringLiteral("нет фото")};
        return {
            {"schedule",
             QJsonArray{
                 lesson(1, "Понедельник", "Английский язык (ПЗ)", "08:30-09:50", "Б-204",
                        teachers[1]),
                 lesson(2, "Среда", "Высшая математика (Лек)", "08:30-09:50", "А-214", teachers[0]),
                 lesson(3, "Среда", "Программирование (Лаб)", "10:05-11:25", "Б-305", teachers[1]),
                 lesson(4, "Среда", "Физика (ПЗ)", "11:40-13:00", "В-112", teachers[2]),
                 lesson(5, "Среда", "Философия (Зач)", "13:30-14:50", ""),
                 lesson(6, "Среда", "Экономика (Вне)", "15:00-16:20", "А-101", noPhoto),
                 lesson(7, "Среда", "Базы данных (Экз)", "16:30-17:50", "Б-410", teachers[2]),
                 lesson(8, "Пятница", "Сети (Конс)", "10:05-11:25", "Б-305", teachers[1])}}};
    }

    struct Shown {
        std::unique_ptr<QmlScene> scene;
        ScheduleScreenModel* model = nullptr;
    };
    // The screen shown on Wednesday 5 March 2025 in a window of the idiom's size.
    Shown show(const QString& scheme, const QString& idiom) {
        Toolkit::instance()->setIdiom(idiom);
        Shown s;
        s.scene = std::make_unique<QmlScene>(idiom == u"phone" ? QSize(390, 780) : QSize(960, 680));
        QQuickItem* root = s.scene->load(
            sceneQml, {{"co", QVariant::fromValue<QObject*>(app.co.get())}, {"scheme", scheme}});
        if (!root)
            return s;
        auto* screen = s.scene->find<QQuickItem>(QStringLiteral("screen"));
        s.model = qobject_cast<ScheduleScreenModel*>(screen->property("model").value<QObject*>());
        s.model->setClock(
            [] { return QDateTime(QDate(2025, 3, 5), QTime(10, 0), QTimeZone("Europe/Berlin")); });
        QSignalSpy finished(s.model, &ScheduleScreenModel::loadFinished);
        root->setProperty("showing", true);
        screen->forceActiveFocus();
        // Wait for the week, or for the prompt when no work mode is stored.
        if (!finished.wait(10000) || !(finished.last().first().toBool() || s.model->modeRequired()))
            s.model = nullptr;
        return s;
    }
    // Lets pictures arrive and short animations end, then takes the picture.
    static QImage picture(QmlScene& scene, const QString& name) {
        const bool settled = QTest::qWaitFor(
            [&] {
                const auto images = scene.window().contentItem()->findChildren<CachedAsyncImage*>();
                return std::none_of(images.cbegin(), images.cend(),
                                    [](auto* i) { return i->loading(); });
            },
            10000);
        if (!settled)
            qWarning("Some pictures were still loading");
        QTest::qWait(250);
        const QImage image = scene.grab();
        image.save(artifactDir() + QLatin1Char('/') + name + QStringLiteral(".png"));
        return image;
    }

  private slots:
    void initTestCase() {
        qputenv("TZ", "Europe/Berlin");
        tzset();
        QVERIFY(app.start());
        QVERIFY(fetchTeachers());
    }
    void cleanupTestCase() { app.stop(); }
    void init() {
        app.server->clearFaults();
        app.studentMode(standin::Server::facultyNames().first(), QStringLiteral("ИТ-21"));
        app.script(weekPath, week());
    }

    void dayOfLessons_data() {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("idiom");
        for (const char* scheme : {"light", "dark"})
            for (const char* idiom : {"pad", "phone"})
                QTest::addRow("%s %s", scheme, idiom) << scheme << idiom;
    }
    void dayOfLessons() {
        QFETCH(QString, scheme);
        QFETCH(QString, idiom);
        Shown s = show(scheme, idiom);
        QVERIFY(s.model);
        QCOMPARE(s.model->selectedDay(), 2);
        QCOMPARE(s.scene->find<QQuickItem>(QStringLiteral("lessonList"))->property("count").toInt(),
                 6);
        const QImage image =
            picture(*s.scene, QStringLiteral("timetable-%1-%2").arg(scheme, idiom));
        const bool dark = scheme == u"dark";
        // The selected day is filled with the accent colour; cards sit on grey 5.
        QVERIFY(pixelsNear(image, *SystemColors::named(u"blue", dark), 8) > 500);
        QVERIFY(pixelsNear(image, *SystemColors::named(u"systemGray5", dark), 4) >
                image.width() * 60);
        QVERIFY(pixelsNear(image, *SystemColors::named(u"systemBackground", dark), 4) >
                image.width() * 20);
    }

    void freeDayAndKeys() {
        Shown s = show(QStringLiteral("light"), QStringLiteral("pad"));
        QVERIFY(s.model);
        QTest::keyClick(&s.scene->window(), Qt::Key_4);
        QCOMPARE(s.model->selectedDay(), 3);
        QVERIFY(s.scene->find<QQuickItem>(QStringLiteral("restView"))->isVisible());
        picture(*s.scene, QStringLiteral("timetable-free-day"));

        QSignalSpy finished(s.model, &ScheduleScreenModel::loadFinished);
        QTest::keyClick(&s.scene->window(), Qt::Key_Right);
        QCOMPARE(s.model->weekOffset(), 1);
        QVERIFY(finished.wait(10000));
        QTest::keyClick(&s.scene->window(), Qt::Key_Home);
        QCOMPARE(s.model->weekOffset(), 0);
        QCOMPARE(s.model->selectedDay(), 2);
    }

    void teacherWeek() {
        app.teacherMode(teachers[0].name);
        app.script(QStringLiteral("/api/teachers/%1/schedule").arg(teachers[0].name), week());
        Shown s = show(QStringLiteral("light"), QStringLiteral("pad"));
        QVERIFY(s.model);
        QCOMPARE(s.model->mode(), QStringLiteral("teacher"));
        QCOMPARE(s.scene->find<QQuickItem>(QStringLiteral("lessonList"))->property("count").toInt(),
                 6);
        QVERIFY(itemsNamed(s.scene->root(), QStringLiteral("teacherLink")).isEmpty());
        picture(*s.scene, QStringLiteral("timetable-teacher-mode"));
    }

    void workModePrompt() {
        app.server->setStorage(app.login, QStringLiteral("work_mode"), QJsonValue::Undefined);
        standin::Fault noKeys;
        noKeys.status = 200;
        noKeys.body = R"({"keys": [{"key": "settings__theme"}]})";
        app.server->setFault(QStringLiteral("GET"), QStringLiteral("/api/storage/keys"), noKeys);
        Shown s = show(QStringLiteral("dark"), QStringLiteral("phone"));
        QVERIFY(s.model);
        QVERIFY(s.scene->find<QQuickItem>(QStringLiteral("modePrompt"))->isVisible());
        QVERIFY(!s.scene->find<QQuickItem>(QStringLiteral("weekSwitcher"))->isVisible());
        picture(*s.scene, QStringLiteral("timetable-mode-prompt"));
    }

    void teacherLinkOpensTheCard_data() {
        QTest::addColumn<QString>("scheme");
        QTest::newRow("light") << "light";
        QTest::newRow("dark") << "dark";
    }
    void teacherLinkOpensTheCard() {
        QFETCH(QString, scheme);
        Shown s = show(scheme, QStringLiteral("pad"));
        QVERIFY(s.model);
        const auto links = itemsNamed(s.scene->root(), QStringLiteral("teacherLink"));
        QVERIFY(!links.isEmpty());
        auto first = links.cbegin();
        const QPointF centre =
            (*first)->mapToScene(QPointF((*first)->width() / 4, (*first)->height() / 2));
        const int before = app.gets(QStringLiteral("/api/teachers/") + teachers[0].name);
        QTest::mouseClick(&s.scene->window(), Qt::LeftButton, {}, centre.toPoint());
        auto* nav = s.scene->find<QQuickItem>(QStringLiteral("nav"));
        QTRY_COMPARE(nav->property("depth").toInt(), 2);
        auto* card = nav->property("currentItem").value<QQuickItem*>();
        QCOMPARE(card->property("teacherName").toString(), teachers[0].name);
        QTRY_VERIFY(card->findChild<QQuickItem*>(QStringLiteral("teacherPage"))->isVisible());
        QCOMPARE(app.gets(QStringLiteral("/api/teachers/") + teachers[0].name), before + 1);
        picture(*s.scene, QStringLiteral("teacher-card-") + scheme);
    }
};

QTEST_MAIN(TestTimetableViews)
#include "tst_timetableviews.moc"
