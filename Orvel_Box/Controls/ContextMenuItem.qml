import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// One entry of a ContextMenu; destructive entries are red.
MenuItem {
    id: root
    property string symbol
    property bool destructive: false

    implicitHeight: 36
    Accessible.name: text
    contentItem: RowLayout {
        spacing: 10
        Text {
            text: root.text
            color: root.destructive ? Theme.red : Theme.label
            font.pixelSize: Theme.body
            Layout.fillWidth: true
        }
        Symbol {
            visible: root.symbol.length > 0
            name: root.symbol
            color: root.destructive ? Theme.red : Theme.label
            Layout.preferredWidth: 18
            Layout.preferredHeight: 18
        }
    }
    background: Rectangle {
        radius: 8
        color: root.highlighted ? Theme.systemGray5 : Theme.clear
    }
}
