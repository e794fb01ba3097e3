import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import OrvelBox.Controls
import OrvelBox.Core
import OrvelBox.Home

// The account's signed-in devices: this device, every session the service knows (each can be
// ended from its menu, its button or the Delete key, once confirmed), and signing out of the
// application.
Item {
    id: root
    property CO co
    property Preferences preferences
    readonly property string navigationTitle: "Устройства"
    readonly property color accentColor: preferences ? preferences.accentColor : Theme.blue
    readonly property alias model: devices
    readonly property alias confirmation: confirmation
    readonly property alias revokeConfirmation: revokeConfirmation

    DevicescreenModel {
        id: devices
        co: root.co
        active: root.visible
        onSignOutRequested: confirmation.open()
        onRevokeRequested: (id, deviceName) => {
            revokeConfirmation.sessionId = id
            revokeConfirmation.message = "Устройство «" + deviceName + "» будет отключено от аккаунта."
            revokeConfirmation.open()
        }
    }

    Flickable {
        anchors.fill: parent
        contentHeight: page.implicitHeight + 40
        boundsBehavior: Flickable.StopAtBounds
        clip: true
        ScrollBar.vertical: ScrollBar { Accessible.name: "Полоса прокрутки" }

        ColumnLayout {
            id: page
            width: Toolkit.isPhone ? parent.width - 40 : Math.min(parent.width - 40, 470)
            x: (parent.width - width) / 2
            y: 20
            spacing: 12

            Waiting { objectName: "myDeviceLoading"; visible: devices.myDeviceLoading }
            Card {
                objectName: "myDeviceCard"
                visible: !devices.myDeviceLoading
                maximumWidth: 470
                contentItem: RowLayout {
                    spacing: 16
                    DeviceTile {
                        size: 80
                        radius: 20
                        symbolSize: 50
                        icon: devices.myDevice.icon
                    }
                    ColumnLayout {
                        spacing: 2
                        Layout.fillWidth: true
                        Caption { text: "Это устройство" }
                        Text {
                            text: devices.myDevice.device_name
                            color: Theme.label
                            font.pixelSize: Theme.title
                            font.bold: true
                            elide: Text.ElideRight
                            Layout.fillWidth: true
                        }
                        Caption { text: "IP: " + devices.myDevice.ip }
                    }
                }
            }

            Waiting { objectName: "allDevicesLoading"; visible: devices.allDevicesLoading }
            Repeater {
                // The list is empty whenever it is loading, so it needs no hiding.
                model: devices.allDevices
                delegate: SessionCard {}
            }

            AbstractButton {
                id: signOut
                // Qt Quick Controls 6.4 buttons list a press action for screen readers but ignore it.
                function accessiblePressAction() { clicked() }
                objectName: "signOutButton"
                text: "Выйти из аккаунта"
                Accessible.name: text
                hoverEnabled: true
                Layout.fillWidth: true
                Layout.topMargin: 8
                implicitHeight: 50
                onClicked: confirmation.open()
                contentItem: Text {
                    text: signOut.text
                    color: Theme.white
                    font.pixelSize: Theme.body
                    font.weight: Font.DemiBold
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                }
                background: GlassBackground {
                    tint: Theme.red
                    interactive: true
                    hovered: signOut.hovered
                    pressed: signOut.pressed
                    focused: signOut.visualFocus
                    focusColor: Theme.label
                    radius: height / 2
                }
            }
        }
    }

    ConfirmationDialog {
        id: confirmation
        objectName: "signOutConfirmation"
        title: "Orvel Box"
        message: "Вы действительно хотите выйти из аккаунта?"
        confirmText: "Выйти"
        cancelText: "Отмена"
        onConfirmed: devices.signOut()
    }

    ConfirmationDialog {
        id: revokeConfirmation
        property var sessionId
        objectName: "revokeConfirmation"
        title: "Завершить сеанс?"
        confirmText: "Завершить"
        cancelText: "Отмена"
        onConfirmed: devices.revoke(sessionId)
    }

    component Waiting: EndlessSlidingProgressStyle {
        barColor: root.accentColor
        trackColor: Theme.systemGray4
        barHeight: 6
        Layout.fillWidth: true
        Layout.topMargin: 8
        Layout.bottomMargin: 8
    }

    component Caption: Text {
        color: Theme.secondaryLabel
        font.pixelSize: Theme.caption
        elide: Text.ElideRight
        Layout.fillWidth: true
    }

    component DeviceTile: Rectangle {
        property real size
        property real symbolSize
        property string icon
        color: root.accentColor
        Layout.preferredWidth: size
        Layout.preferredHeight: size
        Symbol {
            anchors.centerIn: parent
            width: parent.symbolSize
            height: parent.symbolSize
            name: parent.icon
            color: Theme.white
        }
    }

    component SessionCard: Card {
        id: card
        required property var record
        objectName: "session-" + record.id
        maximumWidth: 470
        focusPolicy: Qt.TabFocus
        focusColor: root.accentColor
        Accessible.role: Accessible.ListItem
        Accessible.name: record.device_name
        Keys.onDeletePressed: devices.askRevoke(record.id)

        contentItem: RowLayout {
            spacing: 12
            DeviceTile {
                size: 40
                radius: 10
                symbolSize: 20
                icon: card.record.icon
            }
            ColumnLayout {
                spacing: 2
                Layout.fillWidth: true
                Text {
                    text: card.record.device_name
                    color: Theme.label
                    font.pixelSize: Theme.title3
                    font.weight: Font.DemiBold
                    elide: Text.ElideRight
                    Layout.fillWidth: true
                }
                Caption { text: "IP: " + card.record.ip }
            }
            AbstractButton {
                id: revokeButton
                // Qt Quick Controls 6.4 buttons list a press action for screen readers but ignore it.
                function accessiblePressAction() { clicked() }
                objectName: "revokeButton"
                text: "Выйти"
                hoverEnabled: true
                focusPolicy: Qt.NoFocus
                implicitWidth: 36
                implicitHeight: 36
                Accessible.name: text
                ToolTip.visible: hovered
                ToolTip.text: text
                ToolTip.delay: 600
                onClicked: devices.askRevoke(card.record.id)
                contentItem: Symbol {
                    name: "rectangle.portrait.and.arrow.right"
                    color: Theme.red
                }
                background: Rectangle {
                    radius: height / 2
                    color: revokeButton.hovered ? Theme.systemGray5 : Theme.clear
                }
            }
        }

        ContextMenu {
            ContextMenuItem {
                objectName: "revokeItem"
                text: "Выйти"
                symbol: "rectangle.portrait.and.arrow.right"
                destructive: true
                onTriggered: devices.askRevoke(card.record.id)
            }
        }
    }
}
