import QtQuick
import QtQuick.Controls.Basic

// A menu opened on the item it fills by a right click or a long press. Holds ContextMenuItem
// entries.
Item {
    id: root
    default property alias items: menu.contentData
    anchors.fill: parent

    function open() { menu.popup() }

    TapHandler {
        acceptedButtons: Qt.RightButton
        onTapped: menu.popup()
    }
    TapHandler {
        acceptedDevices: PointerDevice.TouchScreen | PointerDevice.Stylus
        onLongPressed: menu.popup()
    }

    Menu {
        id: menu
        objectName: "contextMenu"
        padding: 6
        background: Rectangle {
            implicitWidth: 220
            radius: 12
            color: Theme.secondarySystemBackground
            border.width: 1
            border.color: Theme.systemGray4
        }
    }
}
