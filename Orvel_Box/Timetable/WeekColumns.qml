import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic
import OrvelBox.Controls
import OrvelBox.Timetable

// The week view of a wide window: Monday to Saturday side by side, each day's lessons as
// compact cards in answer order. A card opens the lesson's full card in a sheet, where the
// teacher link leads on to the teacher card as it does in the day view.
Item {
    id: root
    property WeekViewModel week
    property ScheduleScreenModel screen
    property var co
    property color accentColor: Theme.blue
    signal teacherRequested(string teacherName)

    EndlessSlidingProgressStyle {
        visible: root.screen.isSheduleLoading
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.topMargin: 54
        barColor: root.accentColor
        trackColor: Theme.systemGray4
        barHeight: 6
    }

    RowLayout {
        anchors.fill: parent
        spacing: 8
        Repeater {
            model: root.screen.dayLabels
            ColumnLayout {
                id: column
                required property int index
                required property string modelData
                readonly property var lessons: root.week.columns[index] || []
                readonly property bool today: root.week.todayColumn === index
                objectName: "weekColumn" + index
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.preferredWidth: 1
                spacing: 8

                Rectangle {
                    objectName: "weekColumnHeader"
                    Layout.fillWidth: true
                    implicitHeight: 46
                    radius: 10
                    color: column.today ? root.accentColor : Theme.systemGray5
                    Accessible.role: Accessible.Heading
                    Accessible.name: column.modelData + " " + root.screen.dayDates[column.index]
                                     + (column.today ? ", сегодня" : "")
                    Column {
                        anchors.centerIn: parent
                        spacing: 1
                        Repeater {
                            model: [column.modelData, root.screen.dayDates[column.index]]
                            Text {
                                required property string modelData
                                required property int index
                                anchors.horizontalCenter: parent.horizontalCenter
                                text: modelData
                                font.pixelSize: index === 0 ? Theme.caption : Theme.caption2
                                font.bold: index === 0
                                color: column.today ? Theme.white : Theme.label
                            }
                        }
                    }
                }

                Text {
                    objectName: "weekColumnRest"
                    visible: !root.screen.isSheduleLoading && column.lessons.length === 0
                    Layout.alignment: Qt.AlignHCenter
                    Layout.topMargin: 12
                    text: "Нет пар"
                    font.pixelSize: Theme.subheadline
                    font.weight: Font.Medium
                    color: Theme.label
                    opacity: 0.5
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }

                ListView {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    clip: true
                    spacing: 6
                    boundsBehavior: Flickable.StopAtBounds
                    model: column.lessons
                    delegate: AbstractButton {
                        id: cardButton
                        // Qt Quick Controls 6.4 buttons list a press action for screen readers but ignore it.
                        function accessiblePressAction() { clicked() }
                        required property var modelData
                        required property int index
                        readonly property bool running: root.week.runningDay === column.index
                                                        && root.week.runningIndex === index
                        objectName: "compactLesson"
                        width: ListView.view.width
                        implicitHeight: cardText.implicitHeight + 16
                        hoverEnabled: true
                        Accessible.name: [card.title.trim(), card.startTime + "–" + card.endTime,
                                          card.kindLabel, modelData.classroom, cardText.people]
                                         .filter(t => t.length > 0).join(", ")
                                         + (running ? ", идёт сейчас" : "")
                        onClicked: {
                            details.lesson = modelData
                            details.open()
                        }
                        ScheduleBoxModel {
                            id: card
                            item: cardButton.modelData
                            mode: root.screen.mode
                        }
                        background: Rectangle {
                            radius: 12
                            color: cardButton.hovered ? Theme.systemGray4 : Theme.systemGray5
                            border.width: cardButton.running || cardButton.visualFocus ? 2 : 0
                            border.color: cardButton.visualFocus ? Theme.label : root.accentColor
                            Rectangle {
                                x: 6
                                y: 8
                                width: 4
                                height: parent.height - 16
                                radius: 2
                                color: Theme[card.kindColor]
                            }
                        }
                        contentItem: Column {
                            id: cardText
                            readonly property string people: card.studentMode
                                ? card.teacherName : cardButton.modelData.combined_with.join(", ")
                            leftPadding: 16
                            rightPadding: 6
                            topPadding: 8
                            spacing: 2
                            Text {
                                width: parent.width - 22
                                text: card.startTime + "–" + card.endTime
                                      + (cardButton.running ? " · сейчас" : "")
                                font.pixelSize: Theme.caption
                                font.bold: true
                                color: cardButton.running ? root.accentColor : Theme.label
                            }
                            Text {
                                width: parent.width - 22
                                text: card.title.trim()
                                wrapMode: Text.Wrap
                                maximumLineCount: 3
                                elide: Text.ElideRight
                                font.pixelSize: Theme.footnote
                                font.weight: Font.DemiBold
                                color: Theme.label
                            }
                            Text {
                                width: parent.width - 22
                                text: [cardButton.modelData.classroom, card.kindLabel]
                                      .filter(t => t.length > 0).join(" · ")
                                elide: Text.ElideRight
                                font.pixelSize: Theme.caption2
                                color: Theme[card.kindColor]
                            }
                            Text {
                                visible: text.length > 0
                                width: parent.width - 22
                                text: cardText.people
                                wrapMode: Text.Wrap
                                maximumLineCount: 2
                                elide: Text.ElideRight
                                font.pixelSize: Theme.caption2
                                color: Theme.secondaryLabel
                            }
                        }
                    }
                }
            }
        }
    }

    Sheet {
        id: details
        objectName: "lessonDetails"
        property var lesson
        height: Math.min(parent ? parent.height - 40 : 0, detailsCard.implicitHeight + 64)
        Loader {
            id: detailsCard
            active: details.lesson !== undefined
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.margins: 16
            anchors.topMargin: 48
            sourceComponent: ScheduleBox {
                item: details.lesson
                mode: root.screen.mode
                weekOffset: root.screen.weekOffset
                co: root.co
                accentColor: root.accentColor
                onTeacherRequested: name => {
                    details.close()
                    root.teacherRequested(name)
                }
            }
        }
    }
}
