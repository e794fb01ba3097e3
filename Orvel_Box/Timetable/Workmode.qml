import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import OrvelBox.Controls
import OrvelBox.Timetable

// The work-mode screen: the student group or the teacher whose timetable the application
// shows. Loads the stored choice when it is made; `saved` tells the opener that the timetable
// has to load again.
Item {
    id: root
    property var co
    // The signed-in user's preferences (the root view's), for the accent colour.
    property var preferences: null
    readonly property string navigationTitle: "Режим работы"
    readonly property color accentColor: preferences ? preferences.accentColor : Theme.blue
    readonly property alias model: workmode

    signal saved()

    WorkmodeModel {
        id: workmode
        co: root.co
        onSaved: root.saved()
    }
    Component.onCompleted: workmode.load()

    Flickable {
        anchors.fill: parent
        anchors.bottomMargin: saveButton.visible ? saveButton.height + 40 : 0
        contentHeight: page.implicitHeight + 40
        boundsBehavior: Flickable.StopAtBounds
        clip: true
        ScrollBar.vertical: ScrollBar { Accessible.name: "Полоса прокрутки" }

        ColumnLayout {
            id: page
            x: 20
            y: 20
            width: parent.width - 40
            spacing: 12

            RowLayout {
                spacing: 12
                Layout.fillWidth: true
                Layout.bottomMargin: 8
                BigModeBox {
                    objectName: "studentTile"
                    symbol: "person"
                    name: "Студент"
                    mode: 0
                    selected: workmode.selectedMode
                    accentColor: root.accentColor
                    onClicked: workmode.chooseMode(mode)
                }
                BigModeBox {
                    objectName: "teacherTile"
                    symbol: "inset.filled.rectangle.and.person.filled"
                    name: "Преподаватель"
                    mode: 1
                    selected: workmode.selectedMode
                    accentColor: root.accentColor
                    onClicked: workmode.chooseMode(mode)
                }
            }

            EndlessSlidingProgressStyle {
                objectName: "loadingBar"
                visible: workmode.isLoading
                barColor: root.accentColor
                trackColor: Theme.systemGray4
                barHeight: 6
                Layout.fillWidth: true
            }

            Prompt {
                visible: !workmode.isLoading && workmode.selectedMode === 1
                text: "Выберите преподавателя:"
            }
            SelectionBox {
                objectName: "teacherPicker"
                title: "Выберите преподавателя"
                visible: !workmode.isLoading && workmode.selectedMode === 1
                options: workmode.teachers
                selectedID: workmode.selectedTeacher
                isTeachers: true
                accentColor: root.accentColor
                onChanged: chosen => workmode.chooseTeacher(chosen)
            }

            Prompt {
                visible: !workmode.isLoading && workmode.selectedMode === 0
                text: "Выберите факультет:"
            }
            SelectionBox {
                objectName: "facultyPicker"
                title: "Выберите факультет"
                visible: !workmode.isLoading && workmode.selectedMode === 0
                options: workmode.faculties
                selectedID: workmode.selectedFaculty
                accentColor: root.accentColor
                onChanged: chosen => workmode.chooseFaculty(chosen)
            }
            Prompt {
                visible: groupPicker.visible
                text: "Выберите группу:"
            }
            SelectionBox {
                id: groupPicker
                objectName: "groupPicker"
                title: "Выберите группу"
                visible: !workmode.isLoading && workmode.selectedMode === 0 && workmode.groupsOpened
                options: workmode.groups
                selectedID: workmode.selectedGroup
                accentColor: root.accentColor
                onChanged: chosen => workmode.chooseGroup(chosen)
            }
        }
    }

    component Prompt: Text {
        Accessible.role: Accessible.Heading
        Accessible.name: text
        color: Theme.label
        font.pixelSize: Theme.headline
        font.weight: Font.DemiBold
        Layout.fillWidth: true
        Layout.topMargin: 8
    }

    AbstractButton {
        id: saveButton
        // Qt Quick Controls 6.4 buttons list a press action for screen readers but ignore it.
        function accessiblePressAction() { clicked() }
        objectName: "saveButton"
        visible: workmode.buttonVisible
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 20
        implicitHeight: 52
        text: "Сохранить"
        Accessible.name: text
        hoverEnabled: true
        onClicked: workmode.save()

        contentItem: Item {
            Text {
                anchors.centerIn: parent
                visible: !workmode.buttonSaving
                text: saveButton.text
                color: Theme.white
                font.pixelSize: Theme.body
                font.weight: Font.DemiBold
            }
            EndlessSlidingProgressStyle {
                objectName: "savingBar"
                visible: workmode.buttonSaving
                anchors.centerIn: parent
                width: Math.min(parent.width - 40, 160)
                barColor: Theme.white
                trackColor: Qt.rgba(1, 1, 1, 0.3)
                barHeight: 6
            }
        }
        background: GlassBackground {
            tint: root.accentColor
            interactive: true
            hovered: saveButton.hovered
            pressed: saveButton.pressed
            radius: height / 2
        }
    }
}
