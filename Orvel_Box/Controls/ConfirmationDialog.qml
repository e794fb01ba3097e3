import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Templates as T
import QtQuick.Layouts

// Asks before something that cannot be undone. `confirmed` fires only for the action button;
// Escape, a click beside the card and the cancel button just close it.
Popup {
    id: root
    property string title
    property string message
    property string confirmText
    property bool destructive: true
    property string cancelText: "Отмена"
    signal confirmed()

    parent: T.Overlay.overlay
    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
    width: parent ? Math.min(parent.width - 40, 340) : 0
    x: parent ? (parent.width - width) / 2 : 0
    y: parent ? (parent.height - height) / 2 : 0
    padding: 20

    T.Overlay.modal: Rectangle { color: Qt.rgba(0, 0, 0, 0.35) }
    background: Rectangle { radius: 16; color: Theme.secondarySystemBackground }

    contentItem: ColumnLayout {
        spacing: 12
        Text {
            visible: root.title.length > 0
            text: root.title
            font.pixelSize: Theme.headline
            font.weight: Font.DemiBold
            color: Theme.label
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            Layout.fillWidth: true
            Accessible.role: Accessible.Heading
        }
        Text {
            visible: root.message.length > 0
            text: root.message
            font.pixelSize: Theme.footnote
            color: Theme.secondaryLabel
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            Layout.fillWidth: true
        }
        DialogButton {
            objectName: "confirmButton"
            text: root.confirmText
            textColor: root.destructive ? Theme.red : Theme.blue
            onClicked: {
                root.close()
                root.confirmed()
            }
        }
        DialogButton {
            objectName: "cancelButton"
            text: root.cancelText
            textColor: Theme.blue
            focus: true
            onClicked: root.close()
        }
    }

    component DialogButton: AbstractButton {
        id: button
        property color textColor
        Layout.fillWidth: true
        implicitHeight: 44
        Accessible.name: text
        contentItem: Text {
            text: button.text
            color: button.textColor
            font.pixelSize: Theme.body
            font.weight: Font.DemiBold
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
        background: Rectangle {
            radius: 12
            color: button.pressed ? Theme.systemGray4 : Theme.systemGray5
            border.width: button.visualFocus ? 2 : 0
            border.color: Theme.blue
        }
    }
}
