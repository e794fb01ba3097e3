import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import OrvelBox.Controls
import OrvelBox.Core
import OrvelBox.Timetable
import OrvelBox.Home

// The menu section of the home screen: the profile card and the rows that lead to the side
// screens, pushed on `navigation`.
Item {
    id: root
    property CO co
    // The account record of GET "/api/users/me" and whether it is still on its way; both come
    // from the home screen.
    property var meInfo: ({})
    property bool meInfoLoading: true
    // Owner of the preferences: read for the accent colour, handed to the settings screen.
    property CoordinatorModel coordinator
    // The navigation stack the side screens are pushed on.
    property var navigation: StackView.view
    readonly property Preferences preferences: coordinator ? coordinator.preferences : null
    readonly property color accentColor: preferences ? preferences.accentColor : Theme.blue
    readonly property alias model: menu

    // The work-mode screen stored a new choice: the timetable has to load again.
    signal workModeSaved()

    MenuScreenModel {
        id: menu
        co: root.co
        meInfo: root.meInfo
    }

    SlidingProgress {
        objectName: "menuLoading"
        visible: root.meInfoLoading
        anchors.centerIn: parent
        barColor: root.accentColor
    }

    ColumnLayout {
        visible: !root.meInfoLoading
        anchors.fill: parent
        spacing: 0

        ProfileCard {
            objectName: "profileCard"
            profile: menu
            tint: root.accentColor
            compact: Toolkit.verticalSizeClass(root.width, root.height) === "compact"
            Layout.fillWidth: true
        }

        Flickable {
            Layout.fillWidth: true
            Layout.fillHeight: true
            contentHeight: rows.implicitHeight + 40
            boundsBehavior: Flickable.StopAtBounds
            clip: true
            ScrollBar.vertical: ScrollBar { Accessible.name: "Полоса прокрутки" }

            ColumnLayout {
                id: rows
                x: 20
                y: 20
                width: parent.width - 40
                spacing: 10

                MenuRow {
                    objectName: "workModeRow"
                    name: "Режим работы"
                    icon: "person.and.background.dotted"
                    onClicked: root.navigation.push(workmodePage, { co: root.co, preferences: root.preferences })
                }
                MenuRow {
                    objectName: "devicesRow"
                    name: "Устройства"
                    icon: "iphone.gen3.motion"
                    onClicked: root.navigation.push(devicesPage, { co: root.co, preferences: root.preferences })
                }
                MenuRow {
                    objectName: "feedbackRow"
                    name: "Обратная связь"
                    icon: "exclamationmark.bubble"
                    onClicked: Toolkit.openUrl(menu.feedbackUrl)
                }
                MenuRow {
                    objectName: "settingsRow"
                    name: "Настройки"
                    icon: "gear"
                    onClicked: root.navigation.push(settingsPage, { co: root.co, coordinator: root.coordinator })
                }
                MenuRow {
                    objectName: "aboutRow"
                    name: "О приложении"
                    icon: "info.circle"
                    onClicked: root.navigation.push(aboutPage, { preferences: root.preferences })
                }
            }
        }
    }

    component MenuRow: MenuButton {
        tint: root.accentColor
        Layout.alignment: Qt.AlignHCenter
    }

    Component { id: workmodePage; Workmode { onSaved: root.workModeSaved() } }
    Component { id: devicesPage; Devicescreen {} }
    Component { id: settingsPage; Settings {} }
    Component { id: aboutPage; Appinfo {} }
}
