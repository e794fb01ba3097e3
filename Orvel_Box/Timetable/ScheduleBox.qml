import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic
import OrvelBox.Controls
import OrvelBox.Timetable

// One lesson: title, room and kind, the teacher (student mode) or the faculty and the other
// groups (teacher mode) on the left; start over end time on the right.
Rectangle {
    id: root
    property var item
    property string mode: "student"
    property int weekOffset
    property int selectedDay
    property var co
    property color accentColor: Theme.blue
    // The teacher link was used; the screen opens the teacher card.
    signal teacherRequested(string teacherName)

    ScheduleBoxModel {
        id: card
        item: root.item
        mode: root.mode
    }

    implicitHeight: row.implicitHeight + 40
    radius: 30
    color: Theme.systemGray5

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.margins: 20
        spacing: 12

        ColumnLayout {
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignTop
            spacing: 6

            Text {
                Layout.fillWidth: true
                text: card.title
                wrapMode: Text.Wrap
                font.pixelSize: Theme.body
                font.bold: true
                color: Theme.label
            }

            RowLayout {
                Layout.fillWidth: true
                spacing: 0
                Text {
                    visible: root.item.classroom !== ""
                    // Two blanks part the room from the kind.
                    rightPadding: kindMetrics.advanceWidth
                    text: root.item.classroom
                    font.pixelSize: Theme.caption
                    color: Theme.gray
                }
                Text {
                    Layout.fillWidth: true
                    text: card.kindLabel
                    elide: Text.ElideRight
                    maximumLineCount: 1
                    font.pixelSize: Theme.caption
                    color: Theme[card.kindColor]
                }
                TextMetrics {
                    id: kindMetrics
                    font.pixelSize: Theme.caption
                    text: "  "
                }
            }

            // Made only when shown, so a card without the row loads no photo.
            Loader {
                active: card.showsTeacher
                visible: active
                Layout.fillWidth: true
                Layout.topMargin: 4
                sourceComponent: AbstractButton {
                    objectName: "teacherLink"
                    focusPolicy: Qt.NoFocus
                    Accessible.name: card.teacherName
                    onClicked: root.teacherRequested(root.item.teacher)
                    contentItem: RowLayout {
                        spacing: 8
                        PersonPhoto {
                            Layout.preferredWidth: 30
                            Layout.preferredHeight: 30
                            source: card.teacherPhoto
                        }
                        Text {
                            Layout.fillWidth: true
                            text: card.teacherName
                            wrapMode: Text.Wrap
                            maximumLineCount: 2
                            elide: Text.ElideRight
                            font.pixelSize: 14
                            color: Theme.label
                        }
                    }
                }
            }

            Text {
                visible: !card.studentMode
                Layout.fillWidth: true
                text: root.item.faculty_name
                wrapMode: Text.Wrap
                font.pixelSize: Theme.caption
                color: Theme.label
            }
            Repeater {
                model: card.studentMode ? [] : root.item.combined_with
                Text {
                    required property string modelData
                    Layout.fillWidth: true
                    text: modelData
                    wrapMode: Text.Wrap
                    font.pixelSize: Theme.caption2
                    color: Theme.label
                }
            }
        }

        ColumnLayout {
            Layout.alignment: Qt.AlignTop | Qt.AlignRight
            spacing: 2
            Text {
                Layout.alignment: Qt.AlignRight
                text: card.startTime
                font.pixelSize: Theme.title2
                font.bold: true
                color: Theme.label
            }
            Text {
                Layout.alignment: Qt.AlignRight
                text: card.endTime
                font.pixelSize: Theme.body
                color: Theme.label
                opacity: 0.5
            }
        }
    }
}
