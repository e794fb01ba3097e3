import QtQuick
import QtQuick.Layouts
import OrvelBox.Controls
import OrvelBox.Timetable

// The lesson running now and the next one today, side by side (stacked on a phone). Hidden
// when there is neither.
Rectangle {
    id: root
    required property NowNextModel model
    property color accentColor: Theme.blue

    visible: Object.keys(model.current).length > 0 || Object.keys(model.next).length > 0
    implicitHeight: cells.implicitHeight + 24
    radius: 20
    color: Qt.rgba(accentColor.r, accentColor.g, accentColor.b, Theme.dark ? 0.22 : 0.12)
    border.width: 1
    border.color: Qt.rgba(accentColor.r, accentColor.g, accentColor.b, 0.45)

    GridLayout {
        id: cells
        anchors.fill: parent
        anchors.margins: 12
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        columns: Toolkit.isPhone ? 1 : 2
        columnSpacing: 20
        rowSpacing: 8
        Cell { objectName: "nowLesson"; heading: "Сейчас"; line: root.model.current }
        Cell { objectName: "nextLesson"; heading: "Далее"; line: root.model.next }
    }

    component Cell: ColumnLayout {
        id: cell
        property string heading
        property var line
        visible: Object.keys(line).length > 0
        Layout.fillWidth: true
        Layout.preferredWidth: 1
        Layout.alignment: Qt.AlignTop
        spacing: 2
        Accessible.role: Accessible.StaticText
        Accessible.name: visible ? [heading, line.subject, line.room, line.when]
                                   .filter(part => part !== "").join(", ") : ""
        Text {
            text: cell.heading
            font.pixelSize: Theme.caption
            font.bold: true
            font.capitalization: Font.AllUppercase
            color: root.accentColor
        }
        Text {
            Layout.fillWidth: true
            text: cell.line.subject ?? ""
            elide: Text.ElideRight
            font.pixelSize: Theme.callout
            font.bold: true
            color: Theme.label
        }
        Text {
            Layout.fillWidth: true
            text: [cell.line.room ?? "", cell.line.when ?? ""].filter(part => part !== "").join(" · ")
            elide: Text.ElideRight
            font.pixelSize: Theme.footnote
            color: Theme.secondaryLabel
        }
    }
}
