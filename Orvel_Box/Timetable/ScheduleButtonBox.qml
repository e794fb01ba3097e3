import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Templates as T
import OrvelBox.Controls

// One weekday button: label over date, filled with the accent colour when selected. A tab to
// assistive technology: each one shows its day.
T.TabButton {
    id: root
    property int dayIndex
    property int selectedId
    property string dayDate
    property string dayType
    property color accentColor: Theme.blue
    readonly property bool selected: selectedId === dayIndex
    readonly property color textColor: selected ? Theme.white : Theme.label

    implicitWidth: 60
    implicitHeight: 46
    focusPolicy: Qt.NoFocus
    checked: selected
    Accessible.name: dayType + " " + dayDate

    background: Rectangle {
        radius: 10
        color: root.selected ? root.accentColor : Theme.systemGray5
        Behavior on color { ColorAnimation { duration: 120 } }
    }

    contentItem: Column {
        topPadding: 5
        spacing: 1
        Text {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            text: root.dayType
            font.pixelSize: Theme.caption
            font.bold: true
            color: root.textColor
        }
        Text {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            text: root.dayDate
            font.pixelSize: Theme.caption2
            font.weight: Font.Medium
            color: root.textColor
        }
    }
}
