import QtQuick
import OrvelBox.Controls
import OrvelBox.Core
import OrvelBox.Timetable

// The kept week as home draws it, in plain Qt Quick, for the frames while home itself is made:
// home needs the controls style and its layouts, and takes three times as long as an empty
// window to draw. The texts come from the same models as home's; only the placing is done here,
// with the same sizes, so that home replaces this without a visible change. Nothing here takes
// input or asks the service anything.
Item {
    id: root
    objectName: "firstFrame"
    property CO co
    property Preferences preferences
    readonly property color accentColor: preferences ? preferences.accentColor : Theme.blue
    // Drawn only where it looks as home will: the day view beside the capsule bar.
    readonly property bool usable: !Toolkit.isPhone && !weekView.showsWeek
                                   && (screen.screenState === "lessons"
                                       || screen.screenState === "rest")
    readonly property int margin: 20
    readonly property alias model: screen

    // Layouts put their items at whole pixels, rounding up; where home has a layout, so does
    // this, or the text would be drawn a pixel apart.
    function placed(position) { return Math.ceil(position) }

    ScheduleScreenModel {
        id: screen
        co: root.co
    }
    WeekViewModel {
        id: weekView
        screen: screen
        wide: root.width >= 900
    }
    NowNextModel {
        id: nowNext
        screen: screen
        showCurrent: root.preferences ? root.preferences.currentLesson : true
        showNext: root.preferences ? root.preferences.nextLesson : true
    }
    // Not through `active`: the screen would load the week once the start-up check lets the
    // user in, and home's own timetable does that.
    Component.onCompleted: screen.reloadWeek()

    Rectangle {
        anchors.fill: parent
        color: Theme.systemBackground
    }

    Item {
        id: section
        width: parent.width
        height: parent.height - bar.height - 20

        Item {
            id: header
            x: root.margin
            y: root.margin
            width: parent.width - 2 * root.margin
            height: Math.max(title.height, switcher.height, tools.height)

            Text {
                id: title
                y: root.placed((header.height - height) / 2)
                text: "Расписание"
                font.pixelSize: Theme.title
                font.bold: true
                color: Theme.label
            }
            Rectangle {
                id: switcher
                x: root.placed(title.width + 10)
                y: root.placed((header.height - height) / 2)
                width: root.placed(dates.width + 12)
                height: root.placed(dates.height + 8)
                radius: 10
                color: Theme.systemGray5
                Row {
                    id: dates
                    anchors.centerIn: parent
                    spacing: 4
                    Symbol {
                        anchors.verticalCenter: parent.verticalCenter
                        name: "chevron.left"
                        color: screen.canGoBack ? root.accentColor : Theme.gray
                    }
                    Column {
                        anchors.verticalCenter: parent.verticalCenter
                        Repeater {
                            model: [screen.weekFirstDate, screen.weekLastDate]
                            Text {
                                required property string modelData
                                anchors.horizontalCenter: parent.horizontalCenter
                                text: modelData
                                font.pixelSize: Theme.caption
                                font.bold: true
                                color: Theme.label
                            }
                        }
                    }
                    Symbol {
                        anchors.verticalCenter: parent.verticalCenter
                        name: "chevron.right"
                        color: screen.canGoForward ? root.accentColor : Theme.gray
                    }
                }
            }
            Item {
                id: tools
                x: root.placed(header.width - width)
                y: root.placed((header.height - height) / 2)
                width: exportButton.x + exportButton.width
                height: Math.max(viewSwitch.height, exportButton.height)
                Rectangle {
                    id: viewSwitch
                    visible: weekView.wide
                    y: root.placed((tools.height - height) / 2)
                    width: root.placed(choices.width + 8)
                    height: root.placed(choices.height + 8)
                    radius: 10
                    color: Theme.systemGray5
                    Row {
                        id: choices
                        anchors.centerIn: parent
                        spacing: 2
                        Repeater {
                            model: ["День", "Неделя"]
                            Rectangle {
                                id: choice
                                required property string modelData
                                required property int index
                                width: choiceLabel.implicitWidth + 24
                                height: 28
                                radius: 8
                                color: index === 0 ? root.accentColor : Theme.clear
                                Text {
                                    id: choiceLabel
                                    anchors.fill: parent
                                    horizontalAlignment: Text.AlignHCenter
                                    verticalAlignment: Text.AlignVCenter
                                    text: choice.modelData
                                    font.pixelSize: Theme.footnote
                                    font.weight: Font.DemiBold
                                    color: choice.index === 0 ? Theme.white : Theme.label
                                }
                            }
                        }
                    }
                }
                // Disabled while the week loads, as home's is then.
                Rectangle {
                    id: exportButton
                    x: viewSwitch.visible ? root.placed(viewSwitch.width + 8) : 0
                    y: root.placed((tools.height - height) / 2)
                    width: root.placed(exportRow.width + 20)
                    height: 32
                    radius: 10
                    color: Theme.systemGray5
                    Row {
                        id: exportRow
                        height: parent.height
                        spacing: 6
                        leftPadding: 10
                        Symbol {
                            anchors.verticalCenter: parent.verticalCenter
                            name: "calendar.badge.plus"
                            color: Theme.gray
                        }
                        Text {
                            anchors.verticalCenter: parent.verticalCenter
                            text: "Экспорт в календарь"
                            font.pixelSize: Theme.footnote
                            font.weight: Font.DemiBold
                            color: Theme.gray
                        }
                    }
                }
            }
        }

        Column {
            id: body
            x: root.margin
            // The freshness line sits 6 closer to the header than the rest are spaced.
            y: header.y + header.height + 6
            width: header.width
            spacing: 12

            Text {
                width: parent.width
                text: screen.freshness
                elide: Text.ElideRight
                font.pixelSize: Theme.caption
                color: Theme.label
                opacity: 0.6
            }

            Row {
                spacing: 8
                Repeater {
                    model: screen.dayLabels
                    Rectangle {
                        id: day
                        required property int index
                        required property string modelData
                        readonly property bool selected: screen.selectedDay === index
                        objectName: "firstFrameDay" + index
                        width: 60
                        height: 46
                        radius: 10
                        color: selected ? root.accentColor : Theme.systemGray5
                        Column {
                            width: parent.width
                            topPadding: 5
                            spacing: 1
                            Text {
                                width: parent.width
                                horizontalAlignment: Text.AlignHCenter
                                text: day.modelData
                                font.pixelSize: Theme.caption
                                font.bold: true
                                color: day.selected ? Theme.white : Theme.label
                            }
                            Text {
                                width: parent.width
                                horizontalAlignment: Text.AlignHCenter
                                text: screen.dayDates[day.index]
                                font.pixelSize: Theme.caption2
                                font.weight: Font.Medium
                                color: day.selected ? Theme.white : Theme.label
                            }
                        }
                    }
                }
            }

            // Made only when it shows: even a hidden text loads its font.
            Loader {
                active: Object.keys(nowNext.current).length > 0
                        || Object.keys(nowNext.next).length > 0
                width: parent.width
                sourceComponent: Banner {}
            }
        }

        Item {
            id: area
            x: root.margin
            y: body.y + body.height + 12
            width: body.width
            height: parent.height - root.margin - y

            Loader {
                active: screen.screenState === "rest"
                anchors.centerIn: parent
                sourceComponent: RestDay {
                    date: screen.dayDates[screen.selectedDay]
                }
            }

            Column {
                objectName: "firstFrameLessons"
                width: parent.width
                height: parent.height
                clip: true
                spacing: 10
                Repeater {
                    // Made only when the day has lessons, like the rest view above.
                    model: screen.screenState === "lessons" ? screen.dayLessons : null
                    Lesson {}
                }
            }
        }
    }

    Rectangle {
        id: bar
        x: (parent.width - width) / 2
        y: parent.height - height - 10
        width: sections.width + 10
        height: sections.height + 10
        radius: height / 2
        color: Theme.secondarySystemBackground
        Row {
            id: sections
            anchors.centerIn: parent
            Repeater {
                model: [["Расписание", "calendar.day.timeline.right"], ["Новости", "newspaper"],
                        ["Меню", "person.fill"]]
                Rectangle {
                    id: sectionButton
                    required property var modelData
                    required property int index
                    width: 100
                    height: sectionContent.height + 20
                    radius: height / 2
                    color: index === 0 ? root.accentColor : Theme.systemBackground
                    Column {
                        id: sectionContent
                        x: 10
                        y: 10
                        width: 80
                        spacing: 2
                        Symbol {
                            anchors.horizontalCenter: parent.horizontalCenter
                            width: 40
                            height: 20
                            name: sectionButton.modelData[1]
                            color: sectionButton.index === 0 ? Theme.white : Theme.label
                        }
                        Text {
                            anchors.horizontalCenter: parent.horizontalCenter
                            text: sectionButton.modelData[0]
                            font.pixelSize: Theme.caption
                            color: sectionButton.index === 0 ? Theme.white : Theme.label
                        }
                    }
                }
            }
        }
    }

    component Banner: Rectangle {
        id: banner
        readonly property bool hasCurrent: Object.keys(nowNext.current).length > 0
        readonly property bool hasNext: Object.keys(nowNext.next).length > 0
        readonly property real cellWidth: hasCurrent && hasNext ? (width - 52) / 2
                                                                 : width - 32
        height: Math.max(now.height, next.height) + 24
        radius: 20
        color: Qt.rgba(root.accentColor.r, root.accentColor.g, root.accentColor.b,
                       Theme.dark ? 0.22 : 0.12)
        border.width: 1
        border.color: Qt.rgba(root.accentColor.r, root.accentColor.g, root.accentColor.b,
                              0.45)
        BannerCell {
            id: now
            x: 16
            width: banner.cellWidth
            heading: "Сейчас"
            line: nowNext.current
        }
        BannerCell {
            id: next
            x: banner.hasCurrent ? root.placed(36 + banner.cellWidth) : 16
            width: banner.cellWidth
            heading: "Далее"
            line: nowNext.next
        }
    }

    component BannerCell: Column {
        id: cell
        property string heading
        property var line
        visible: Object.keys(line).length > 0
        y: 12
        spacing: 2
        Text {
            text: cell.heading
            font.pixelSize: Theme.caption
            font.bold: true
            font.capitalization: Font.AllUppercase
            color: root.accentColor
        }
        Text {
            width: parent.width
            text: cell.line.subject ?? ""
            elide: Text.ElideRight
            font.pixelSize: Theme.callout
            font.bold: true
            color: Theme.label
        }
        Text {
            width: parent.width
            text: [cell.line.room ?? "", cell.line.when ?? ""].filter(part => part !== "").join(" · ")
            elide: Text.ElideRight
            font.pixelSize: Theme.footnote
            color: Theme.secondaryLabel
        }
    }

    component Lesson: Rectangle {
        id: lesson
        required property var record
        width: area.width
        height: Math.max(left.height, right.height) + 40
        radius: 30
        color: Theme.systemGray5

        ScheduleBoxModel {
            id: card
            item: lesson.record
            mode: screen.mode
        }

        Column {
            id: left
            x: 20
            y: 20
            width: lesson.width - 52 - right.width
            spacing: 6
            Text {
                width: parent.width
                text: card.title
                wrapMode: Text.Wrap
                font.pixelSize: Theme.body
                font.bold: true
                color: Theme.label
            }
            Item {
                width: parent.width
                height: Math.max(room.height, kind.height)
                Text {
                    id: room
                    visible: lesson.record.classroom !== ""
                    rightPadding: blanks.advanceWidth
                    text: lesson.record.classroom
                    font.pixelSize: Theme.caption
                    color: Theme.gray
                }
                Text {
                    id: kind
                    x: room.visible ? root.placed(room.width) : 0
                    width: parent.width - x
                    text: card.kindLabel
                    elide: Text.ElideRight
                    maximumLineCount: 1
                    font.pixelSize: Theme.caption
                    color: Theme[card.kindColor]
                }
                TextMetrics {
                    id: blanks
                    font.pixelSize: Theme.caption
                    text: "  "
                }
            }
            Item {
                visible: card.showsTeacher
                width: parent.width
                height: Math.max(30, teacher.height) + 4
                // Its placeholder: home shows the photo once read, as it does for every card.
                PersonPhoto {
                    y: 4 + (parent.height - 4 - height) / 2
                    width: 30
                    height: 30
                }
                Text {
                    id: teacher
                    x: 38
                    y: 4 + (parent.height - 4 - height) / 2
                    width: parent.width - 38
                    text: card.teacherName
                    wrapMode: Text.Wrap
                    maximumLineCount: 2
                    elide: Text.ElideRight
                    font.pixelSize: 14
                    color: Theme.label
                }
            }
            Text {
                visible: !card.studentMode
                width: parent.width
                text: lesson.record.faculty_name
                wrapMode: Text.Wrap
                font.pixelSize: Theme.caption
                color: Theme.label
            }
            Repeater {
                model: card.studentMode ? [] : lesson.record.combined_with
                Text {
                    required property string modelData
                    width: left.width
                    text: modelData
                    wrapMode: Text.Wrap
                    font.pixelSize: Theme.caption2
                    color: Theme.label
                }
            }
        }

        Column {
            id: right
            x: lesson.width - 20 - width
            y: 20
            spacing: 2
            Text {
                anchors.right: parent.right
                text: card.startTime
                font.pixelSize: Theme.title2
                font.bold: true
                color: Theme.label
            }
            Text {
                anchors.right: parent.right
                text: card.endTime
                font.pixelSize: Theme.body
                color: Theme.label
                opacity: 0.5
            }
        }
    }
}
