import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import OrvelBox.Controls

// A panel of the side screens: the whole width on a phone, at most `maximumWidth` elsewhere,
// centred in its column. `glass` draws it as the toolkit's glass instead of a flat fill.
Control {
    id: root
    property color tint: Theme.systemGray6
    property real radius: 30
    property bool glass: false
    property real maximumWidth: 400
    property color focusColor: Theme.blue

    padding: 20
    Layout.fillWidth: true
    Layout.maximumWidth: Toolkit.isPhone ? Number.POSITIVE_INFINITY : maximumWidth
    Layout.alignment: Qt.AlignHCenter

    background: Item {
        Rectangle {
            anchors.fill: parent
            visible: !root.glass
            radius: Math.min(root.radius, height / 2)
            color: root.tint
            border.width: root.visualFocus ? 2 : 0
            border.color: root.focusColor
        }
        GlassBackground {
            anchors.fill: parent
            visible: root.glass
            radius: Math.min(root.radius, height / 2)
            tint: root.tint
        }
    }
}
