import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic
import QtQuick.Templates as T
import OrvelBox.Controls
import OrvelBox.Timetable

// The right end of the timetable header: the "День" / "Неделя" switch of a wide window and
// the calendar export, whose outcome shows for a few seconds at the bottom of the window.
RowLayout {
    id: root
    objectName: "weekTools"
    property WeekViewModel week
    property ScheduleScreenModel screen
    property color accentColor: Theme.blue
    readonly property alias exporter: exporter
    readonly property alias saveDialog: dialog.item
    property bool exportStored: false

    function exportWeeks(stored) {
        exportStored = stored
        dialog.active = true
        dialog.item.selectedFile = exporter.proposedFile
        dialog.item.open()
    }

    spacing: 8

    CalendarExport {
        id: exporter
        screen: root.screen
        onMessageChanged: notice.open()
    }

    Rectangle {
        objectName: "viewSwitch"
        visible: root.week.wide
        implicitWidth: choices.implicitWidth + 8
        implicitHeight: choices.implicitHeight + 8
        radius: 10
        color: Theme.systemGray5
        Row {
            id: choices
            anchors.centerIn: parent
            spacing: 2
            Repeater {
                model: ["День", "Неделя"]
                AbstractButton {
                    id: choice
                    // Qt Quick Controls 6.4 buttons list a press action for screen readers but ignore it.
                    function accessiblePressAction() { clicked() }
                    required property string modelData
                    required property int index
                    objectName: index === 0 ? "dayChoice" : "weekChoice"
                    text: modelData
                    checkable: true
                    checked: root.week.weekChosen === (index === 1)
                    focusPolicy: Qt.StrongFocus
                    hoverEnabled: true
                    Accessible.role: Accessible.RadioButton
                    Accessible.name: text + (index === 0 ? " (D)" : " (W)")
                    Accessible.checked: checked
                    onClicked: root.week.weekChosen = index === 1
                    implicitWidth: label.implicitWidth + 24
                    implicitHeight: 28
                    contentItem: Text {
                        id: label
                        text: choice.text
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                        font.pixelSize: Theme.footnote
                        font.weight: Font.DemiBold
                        color: choice.checked ? Theme.white : Theme.label
                    }
                    background: Rectangle {
                        radius: 8
                        color: choice.checked ? root.accentColor
                                              : choice.hovered ? Theme.systemGray4 : Theme.clear
                        border.width: choice.visualFocus ? 2 : 0
                        border.color: Theme.label
                    }
                }
            }
        }
    }

    AbstractButton {
        id: exportButton
        // Qt Quick Controls 6.4 buttons list a press action for screen readers but ignore it.
        function accessiblePressAction() { clicked() }
        objectName: "exportCalendar"
        text: "Экспорт в календарь"
        enabled: !root.screen.isSheduleLoading
        focusPolicy: Qt.StrongFocus
        hoverEnabled: true
        Accessible.name: text
        implicitWidth: exportRow.implicitWidth + 20
        implicitHeight: 32
        onClicked: exporter.canExportStored ? choicesMenu.open() : root.exportWeeks(false)
        contentItem: Row {
            id: exportRow
            spacing: 6
            leftPadding: 10
            Symbol {
                anchors.verticalCenter: parent.verticalCenter
                name: "calendar.badge.plus"
                color: exportButton.enabled ? root.accentColor : Theme.gray
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: exportButton.text
                font.pixelSize: Theme.footnote
                font.weight: Font.DemiBold
                color: exportButton.enabled ? root.accentColor : Theme.gray
            }
        }
        background: Rectangle {
            radius: 10
            color: exportButton.hovered ? Theme.systemGray4 : Theme.systemGray5
            border.width: exportButton.visualFocus ? 2 : 0
            border.color: Theme.label
        }
        ContextMenu {
            id: choicesMenu
            ContextMenuItem {
                text: "Показанная неделя"
                onTriggered: root.exportWeeks(false)
            }
            ContextMenuItem {
                text: "Все сохранённые недели"
                onTriggered: root.exportWeeks(true)
            }
        }
    }

    Loader {
        id: dialog
        visible: false // not laid out in the row
        active: false
        source: Qt.resolvedUrl("ExportFileDialog.qml")
        onLoaded: item.currentFolder = Qt.binding(() => exporter.proposedFolder)
        Connections {
            target: dialog.item
            function onAccepted() { exporter.save(dialog.item.selectedFile, root.exportStored) }
        }
    }

    Popup {
        id: notice
        parent: T.Overlay.overlay
        x: parent ? (parent.width - width) / 2 : 0
        // Above the section bar of the home screen.
        y: parent ? parent.height - height - 96 : 0
        padding: 12
        closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
        onOpened: hideTimer.restart()
        background: Rectangle {
            radius: 12
            color: Theme.secondarySystemBackground
            border.width: 1
            border.color: Theme.systemGray4
        }
        contentItem: Text {
            id: noticeText
            objectName: "exportNotice"
            text: exporter.message
            font.pixelSize: Theme.subheadline
            color: Theme.label
            Accessible.role: Accessible.AlertMessage
            Accessible.name: text
        }
        AccessibleAlert {
            target: noticeText
            active: notice.visible
        }
        Timer {
            id: hideTimer
            interval: 4000
            onTriggered: notice.close()
        }
    }
}
