import QtQuick
import QtQuick.Layouts
import OrvelBox.Controls

// One row of a menu: a symbol and a label on glass. The caller decides what a click does
// and tints the row. (Not an AbstractButton: its `icon` would clash with ours.)
Item {
    id: root
    property string name
    property string icon
    property color tint: Theme.blue
    signal clicked()

    Layout.fillWidth: true
    Layout.maximumWidth: Toolkit.isPhone ? Number.POSITIVE_INFINITY : 400
    implicitWidth: Toolkit.isPhone ? row.implicitWidth + 20 : 400
    implicitHeight: row.implicitHeight + 20
    activeFocusOnTab: true

    Accessible.role: Accessible.Button
    Accessible.name: name
    // A button already offers a press action; a handler would list it a second time, while Qt
    // calls this function for it.
    function accessiblePressAction() { root.clicked() }
    Keys.onSpacePressed: root.clicked()
    Keys.onReturnPressed: root.clicked()

    GlassBackground {
        anchors.fill: parent
        tint: Theme.systemGray6
        interactive: true
        hovered: hover.hovered
        pressed: tap.pressed
        focused: root.activeFocus
        focusColor: root.tint
        radius: height / 2
    }

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.margins: 10
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

    HoverHandler { id: hover }
    TapHandler {
        id: tap
        onTapped: root.clicked()
    }
}
