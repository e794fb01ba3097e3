import QtQuick
import QtQuick.Controls.Basic
import OrvelBox.Controls
import OrvelBox.Core

// Placeholder for the home screen until it is built: shows that the preferences arrived and
// lets the user sign out.
Rectangle {
    id: root
    property string caption
    property CO co
    property var settings: ({})
    readonly property color accent: settings["settings__accent_color"] !== undefined
                                    ? settings["settings__accent_color"] : Theme.blue
    color: Theme.systemBackground

    Column {
        anchors.centerIn: parent
        spacing: 12
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: root.caption
            color: Theme.label
            font.pixelSize: Theme.title3
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: String(root.settings["settings__theme"]) + " · " + String(root.settings["settings__accent_color_string"])
            color: root.accent
            font.pixelSize: Theme.body
        }
        Button {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "Выйти"
            onClicked: root.co.startLogout()
        }
    }
}
