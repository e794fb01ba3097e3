import QtQuick
import QtQuick.Controls.Basic
import OrvelBox.Controls
import OrvelBox.Timetable

// One teacher's week over the teacher card: the timetable in teacher mode with its own week
// state. The signed-in user's stored work mode and home timetable stay as they were.
Sheet {
    id: root
    property var co
    property string teacherName
    property string displayName
    property color accentColor: Theme.blue
    readonly property alias model: timetable.model

    Text {
        id: heading
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: 20
        anchors.rightMargin: 52
        text: root.displayName || root.teacherName
        elide: Text.ElideRight
        font.pixelSize: Theme.headline
        font.bold: true
        color: Theme.label
        Accessible.role: Accessible.Heading
        Accessible.name: text
    }
    ScheduleScreen {
        id: timetable
        objectName: "teacherWeek"
        anchors.fill: parent
        anchors.topMargin: 36
        co: root.co
        fixedTeacher: root.teacherName
        accentColor: root.accentColor
        focus: true
    }
}
