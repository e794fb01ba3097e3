import QtQuick
import OrvelBox.Controls
import QtQuick.Controls.Basic
import QtQuick.Layouts

// One row of a menu: a symbol and a label on glass. The caller decides what a click does
// and tints the row.
AbstractButton {
    id: root
    property string name
    property string icon
    property color tint: Theme.blue

    text: name
    Layout.fillWidth: true
    Layout.maximumWidth: Toolkit.isPhone ? Number.POSITIVE_INFINITY : 400
    implicitWidth: Toolkit.isPhone ? row.implicitWidth + 2 * padding : 400
    implicitHeight: row.implicitHeight + 2 * padding
    padding: 10
    hoverEnabled: true

    contentItem: RowLayout {
        id: row
        spacing: 5
        Symbol {
            name: root.icon
            color: root.tint
            Layout.preferredWidth: 40
            Layout.preferredHeight: 40
        }
        Text {
            text: root.name
            color: root.tint
            font.pixelSize: Theme.body
            elide: Text.ElideRight
            Layout.fillWidth: true
        }
    }

    background: GlassBackground {
        tint: Theme.systemGray6
        interactive: true
        hovered: root.hovered
        pressed: root.pressed
        radius: height / 2
    }
}
