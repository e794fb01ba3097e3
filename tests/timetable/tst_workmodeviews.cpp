// The work-mode screen's pickers driven by keyboard in an offscreen window against the stand-in.
#include "Preferences.h"
#include "QmlScene.h"
#include "SignedIn.h"
#include "WorkmodeModel.h"

#include <QSignalSpy>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(OrvelBox_TimetablePlugin)

namespace {
const QByteArray sceneQml = R"qml(
import QtQuick
import OrvelBox.Controls
import OrvelBox.Timetable
Rectangle {
    id: scene
    property var co
    property var preferences
    color: Theme.systemBackground
    NavigationStack {
        anchors.fill: parent
        initialItem: Workmode { objectName: "workmode"; co: scene.co; preferences: scene.preferences }
    }
}
)qml";
} // namespace

class TestWorkmodeViews : public QObject {
    Q_OBJECT
    SignedIn app;
    std::unique_ptr<QmlScene> scene;
    std::unique_ptr<Preferences> preferences;

    QQuickItem* workmode() const { return scene->find<QQuickItem>(QStringLiteral("workmode")); }
    WorkmodeModel* model() const { return workmode()->property("model").value<WorkmodeModel*>(); }
    QObject* sheetOf(QQuickItem* field) const { return field->property("sheet").value<QObject*>(); }
    OptionFilterModel* listed(QObject* sheet) const {
        return sheet->property("listed").value<OptionFilterModel*>();
    }

    bool show() {
        scene.reset();
        preferences = std::make_unique<Preferences>(app.co.get());
        scene = std::make_unique<QmlScene>(QSize(820, 700));
        if (!scene->load(sceneQml, {{"co", QVariant::fromValue(app.co.get())},
                                    {"preferences", QVariant::fromValue(preferences.get())}}))
            return false;
        return QTest::qWaitFor([&] { return !model()->isLoading(); }, 10000);
    }
    void click(QQuickItem* item, QPointF at = {-1, -1}) {
        if (at.x() < 0)
            at = {item->width() / 2, item->height() / 2};
        QTest::mouseClick(&scene->window(), Qt::LeftButton, {}, item->mapToScene(at).toPoint());
    }
    QObject* openSheet(QQuickItem* field) {
        click(field);
        QObject* sheet = nullptr;
        const bool opened = QTest::qWaitFor(
            [&] { return (sheet = sheetOf(field)) && sheet->property("opened").toBool(); }, 5000);
        return opened ? sheet : nullptr;
    }

  private slots:
    void init() { QVERIFY(app.start()); }
    void cleanup() {
        scene.reset();
        app.stop();
    }

    // Arrows move, Enter chooses the current row; Escape leaves everything as it was.
    void keyboardChoosesAndEscapeCancels() {
        QVERIFY(show());
        QQuickItem* teacherTile = scene->find<QQuickItem>(QStringLiteral("teacherTile"));
        click(teacherTile, {teacherTile->width() / 2, 10});
        QCOMPARE(model()->selectedMode(), 1);
        QQuickItem* field = scene->find<QQuickItem>(QStringLiteral("teacherPicker"));
        QSignalSpy changed(field, SIGNAL(changed(int)));

        QObject* sheet = openSheet(field);
        QVERIFY(sheet);
        // The search field has the focus at once: typing filters without a click.
        QQuickItem* entry =
            itemsNamed(scene->window().contentItem(), QStringLiteral("entry")).value(0);
        QVERIFY(entry && entry->hasActiveFocus());
        typeText(scene->window(), QStringLiteral("ИВАНОВ"));
        OptionFilterModel* rows = listed(sheet);
        QVERIFY(rows->count() >= 2);
        const int second = rows->idAt(1);
        QTest::keyClick(&scene->window(), Qt::Key_Down);
        QTest::keyClick(&scene->window(), Qt::Key_Return);
        QVERIFY(QTest::qWaitFor([&] { return !sheetOf(field); }, 5000));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(model()->selectedTeacher(), second);

        // A new sheet starts with an empty search, on the chosen row.
        sheet = openSheet(field);
        QVERIFY(sheet);
        QCOMPARE(sheet->property("search").toString(), QString());
        QCOMPARE(listed(sheet)->count(), model()->teachers()->count());
        typeText(scene->window(), QStringLiteral("щщщ"));
        QCOMPARE(listed(sheet)->count(), 0);
        QTest::keyClick(&scene->window(), Qt::Key_Return);
        QVERIFY(sheet->property("opened").toBool());
        QCOMPARE(changed.count(), 1);
        QTest::keyClick(&scene->window(), Qt::Key_Escape);
        QVERIFY(QTest::qWaitFor([&] { return !sheetOf(field); }, 5000));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(model()->selectedTeacher(), second);
    }
};

QTEST_MAIN(TestWorkmodeViews)
#include "tst_workmodeviews.moc"
