import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QtQuick.Templates as T
import OrvelBox.Controls

// One of the two large mode tiles, drawn in the accent colour while its mode is the chosen one.
// `symbol` and `mode` are the tile's icon and id: buttons already have an `icon` and QML keeps
// the word `id` for itself. A radio button, so that assistive technology hears a choice of one.
T.RadioButton {
    id: root
    property string symbol
    property string name
    property int selected: 0
    property int mode: 0
    property color accentColor: Theme.blue
    readonly property color tint: selected === mode ? accentColor : Theme.gray

    text: name
    hoverEnabled: true
    Layout.fillWidth: true
    Layout.preferredWidth: 1
    implicitHeight: column.implicitHeight + 40
    checked: selected === mode
    Accessible.name: name

    contentItem: Item {
        ColumnLayout {
            id: column
            anchors.centerIn: parent
            spacing: 8
            Symbol {
                name: root.symbol
                color: root.tint
                Layout.preferredWidth: 50
                Layout.preferredHeight: 30
                Layout.alignment: Qt.AlignHCenter
            }
            Text {
                text: root.name
                color: root.tint
                font.pixelSize: Theme.body
                font.weight: Font.DemiBold
                horizontalAlignment: Text.AlignHCenter
                Layout.alignment: Qt.AlignHCenter
            }
        }
    }

    background: GlassBackground {
        tint: Theme.systemGray6
        interactive: true
        hovered: root.hovered
        pressed: root.pressed
        radius: 16
    }
}
