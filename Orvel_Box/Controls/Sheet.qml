import QtQuick
import OrvelBox.Controls
import QtQuick.Controls.Basic
import QtQuick.Templates as T

// A modal card over the window. Escape, a click beside it or its close button dismiss it; on
// a phone it covers nearly the whole window and slides up from the bottom.
Popup {
    id: root
    default property alias content: body.data
    property bool showsCloseButton: true

    parent: T.Overlay.overlay
    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
    padding: 0
    width: parent ? (Toolkit.isPhone ? parent.width : Math.min(parent.width - 40, 640)) : 0
    height: parent ? (Toolkit.isPhone ? parent.height - 20 : Math.min(parent.height - 40, 720)) : 0
    x: parent ? (parent.width - width) / 2 : 0
    y: parent ? (Toolkit.isPhone ? parent.height - height : (parent.height - height) / 2) : 0

    T.Overlay.modal: Rectangle { color: Qt.rgba(0, 0, 0, 0.35) }

    background: Rectangle {
        radius: 16
        color: Theme.systemBackground
        border.width: Theme.dark ? 1 : 0
        border.color: Theme.systemGray5
    }

    contentItem: Item {
        Item {
            id: body
            anchors.fill: parent
        }
        AbstractButton {
            objectName: "sheetClose"
            // Qt Quick Controls 6.4 buttons list a press action for screen readers but ignore it.
            function accessiblePressAction() { clicked() }
            visible: root.showsCloseButton
            anchors.top: parent.top
            anchors.right: parent.right
            anchors.margins: 12
            implicitWidth: 30
            implicitHeight: 30
            focusPolicy: Qt.NoFocus
            Accessible.name: "Закрыть"
            background: Rectangle { radius: 15; color: Theme.systemGray5 }
            contentItem: Symbol { name: "xmark"; color: Theme.gray; anchors.margins: 7 }
            onClicked: root.close()
        }
    }

    enter: Transition {
        NumberAnimation { property: "opacity"; from: 0; to: 1; duration: 180; easing.type: Easing.InOutQuad }
        NumberAnimation { property: "scale"; from: 0.97; to: 1; duration: 180; easing.type: Easing.InOutQuad }
    }
    exit: Transition {
        NumberAnimation { property: "opacity"; from: 1; to: 0; duration: 140; easing.type: Easing.InOutQuad }
    }
}
