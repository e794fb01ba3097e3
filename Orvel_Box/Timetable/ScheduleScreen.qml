import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic
import OrvelBox.Controls
import OrvelBox.Timetable

// The week timetable of the user's group or teacher. Reloads each time it is shown. The home
// screen calls tick() once a second so the dates follow the clock, and gives a navigation
// stack to open the teacher card and the work-mode screen on.
FocusScope {
    id: root
    property var co
    property color accentColor: Theme.blue
    // A NavigationStack; without one, teacherCardRequested and workModeRequested are emitted
    // instead.
    property var navigator: null
    // The signed-in user's preferences, handed to the work-mode screen.
    property var preferences: null
    // A LessonReminder that is handed each current week as it loads.
    property var reminder: null
    // Set: this teacher's week, whatever the stored work mode says.
    property string fixedTeacher: ""
    // No work mode is stored yet: the home screen may offer the work-mode screen.
    readonly property bool modeRequired: screen.modeRequired
    readonly property alias model: screen
    // Shows stored weeks only and asks the service nothing (the offline screen sets it).
    property alias storeOnly: screen.storeOnly

    signal teacherCardRequested(string teacherName)
    signal workModeRequested()

    function tick() { screen.tick(); nowNext.tick(); weekView.tick() }
    function reload() { screen.reloadWeek() }
    function openTeacher(name) {
        if (navigator)
            navigator.push(teacherCard, { co: root.co, teacherName: name, accentColor: root.accentColor })
        else
            teacherCardRequested(name)
    }
    function openWorkMode() {
        if (navigator)
            navigator.push(workmodePage, { co: root.co, preferences: root.preferences })
        else
            workModeRequested()
    }

    focus: true
    Keys.onPressed: event => event.accepted = weekView.handleKey(event.key) || screen.handleKey(event.key)

    ScheduleScreenModel {
        id: screen
        co: root.co
        active: root.visible
        fixedTeacher: root.fixedTeacher
    }
    WeekViewModel {
        id: weekView
        screen: root.model
        wide: !Toolkit.isPhone && root.width >= 900
    }
    NowNextModel {
        id: nowNext
        screen: root.model
        reminder: root.reminder
        showCurrent: root.preferences ? root.preferences.currentLesson : true
        showNext: root.preferences ? root.preferences.nextLesson : true
    }

    Component {
        id: teacherCard
        TeacherViewInfo {}
    }
    // The timetable loads again whenever it is shown, so a saved choice needs no signal.
    Component {
        id: workmodePage
        Workmode {}
    }

    readonly property int margin: Toolkit.isPhone ? 16 : 20

    Column {
        objectName: "modePrompt"
        visible: screen.screenState === "modeRequired"
        anchors.centerIn: parent
        width: Math.min(parent.width - 2 * root.margin, 460)
        spacing: 10
        Text {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            text: "Режим работы"
            font.pixelSize: Theme.title
            font.bold: true
            color: Theme.label
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
        Text {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            text: "Для продолжения работы требуется выбрать режим работы в меню приложения."
            font.pixelSize: Theme.body
            color: Theme.label
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        AccentButton {
            id: modeButton
            objectName: "modeButton"
            anchors.horizontalCenter: parent.horizontalCenter
            // The prompt is all the screen offers, so the keyboard starts here.
            focus: visible
            text: "Выбрать"
            accentColor: root.accentColor
            onClicked: root.openWorkMode()
        }
    }

    ColumnLayout {
        visible: !screen.modeRequired
        anchors.fill: parent
        anchors.margins: root.margin
        spacing: 12

        RowLayout {
            spacing: 5
            Text {
                text: "Расписание"
                font.pixelSize: Theme.title
                font.bold: true
                color: Theme.label
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            Rectangle {
                objectName: "weekSwitcher"
                Layout.leftMargin: 5
                implicitWidth: switcher.implicitWidth + 12
                implicitHeight: switcher.implicitHeight + 8
                radius: 10
                color: Theme.systemGray5
                Row {
                    id: switcher
                    anchors.centerIn: parent
                    spacing: 4
                    AbstractButton {
                        objectName: "previousWeek"
                        // Qt Quick Controls 6.4 buttons list a press action for screen readers but ignore it.
                        function accessiblePressAction() { clicked() }
                        anchors.verticalCenter: parent.verticalCenter
                        implicitWidth: 20
                        implicitHeight: 20
                        focusPolicy: Qt.NoFocus
                        Accessible.name: "Предыдущая неделя"
                        contentItem: Symbol {
                            name: "chevron.left"
                            color: screen.canGoBack ? root.accentColor : Theme.gray
                        }
                        onClicked: screen.previousWeek()
                    }
                    Column {
                        anchors.verticalCenter: parent.verticalCenter
                        Text {
                            anchors.horizontalCenter: parent.horizontalCenter
                            text: screen.weekFirstDate
                            font.pixelSize: Theme.caption
                            font.bold: true
                            color: Theme.label
                        }
                        Text {
                            anchors.horizontalCenter: parent.horizontalCenter
                            text: screen.weekLastDate
                            font.pixelSize: Theme.caption
                            font.bold: true
                            color: Theme.label
                        }
                    }
                    AbstractButton {
                        objectName: "nextWeek"
                        // Qt Quick Controls 6.4 buttons list a press action for screen readers but ignore it.
                        function accessiblePressAction() { clicked() }
                        anchors.verticalCenter: parent.verticalCenter
                        implicitWidth: 20
                        implicitHeight: 20
                        focusPolicy: Qt.NoFocus
                        Accessible.name: "Следующая неделя"
                        contentItem: Symbol {
                            name: "chevron.right"
                            color: screen.canGoForward ? root.accentColor : Theme.gray
                        }
                        onClicked: screen.nextWeek()
                    }
                }
            }
            Item { Layout.fillWidth: true }
            WeekTools {
                week: weekView
                screen: root.model
                accentColor: root.accentColor
            }
        }

        Text {
            objectName: "freshness"
            Layout.fillWidth: true
            Layout.topMargin: -6
            text: screen.freshness
            elide: Text.ElideRight
            font.pixelSize: Theme.caption
            color: Theme.label
            opacity: 0.6
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            Accessible.ignored: text === ""
        }

        RowLayout {
            visible: !weekView.showsWeek
            spacing: Toolkit.isPhone ? 6 : 8
            Repeater {
                model: screen.dayLabels
                ScheduleButtonBox {
                    required property int index
                    required property string modelData
                    objectName: "day" + index
                    Layout.fillWidth: Toolkit.isPhone
                    dayIndex: index
                    selectedId: screen.selectedDay
                    dayType: modelData
                    dayDate: screen.dayDates[index]
                    accentColor: root.accentColor
                    onClicked: screen.selectedDay = index
                }
            }
        }

        NowNextBanner {
            objectName: "nowNextBanner"
            Layout.fillWidth: true
            model: nowNext
            accentColor: root.accentColor
        }

        Loader {
            active: weekView.showsWeek
            visible: active
            Layout.fillWidth: true
            Layout.fillHeight: true
            sourceComponent: WeekColumns {
                week: weekView
                screen: root.model
                co: root.co
                accentColor: root.accentColor
                onTeacherRequested: name => root.openTeacher(name)
            }
        }

        Item {
            visible: !weekView.showsWeek
            Layout.fillWidth: true
            Layout.fillHeight: true

            EndlessSlidingProgressStyle {
                objectName: "weekProgress"
                visible: screen.screenState === "loading"
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.top: parent.top
                anchors.topMargin: 8
                barColor: root.accentColor
                trackColor: Theme.systemGray4
                barHeight: 6
            }

            Column {
                objectName: "failedView"
                visible: screen.screenState === "failed" || screen.screenState === "notStored"
                anchors.centerIn: parent
                width: Math.min(parent.width, 460)
                spacing: 12
                Text {
                    width: parent.width
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.Wrap
                    text: screen.screenState === "failed" ? "Не удалось загрузить расписание"
                                                          : "Эта неделя не сохранена"
                    font.pixelSize: Theme.title2
                    font.weight: Font.Medium
                    color: Theme.label
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
                // Enter and R do the same from anywhere on the screen.
                AccentButton {
                    objectName: "retryButton"
                    visible: screen.screenState === "failed"
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: "Повторить"
                    accentColor: root.accentColor
                    onClicked: screen.reloadWeek()
                }
            }

            RestDay {
                objectName: "restView"
                visible: screen.screenState === "rest"
                anchors.centerIn: parent
                date: screen.dayDates[screen.selectedDay]
            }

            ListView {
                objectName: "lessonList"
                visible: screen.screenState === "lessons"
                anchors.fill: parent
                clip: true
                spacing: 10
                boundsBehavior: Flickable.StopAtBounds
                model: screen.dayLessons
                ScrollBar.vertical: ScrollBar { Accessible.name: "Полоса прокрутки" }
                delegate: ScheduleBox {
                    required property var record
                    width: ListView.view.width
                    item: record
                    mode: screen.mode
                    weekOffset: screen.weekOffset
                    selectedDay: screen.selectedDay
                    co: root.co
                    accentColor: root.accentColor
                    onTeacherRequested: name => root.openTeacher(name)
                }
            }
        }
    }
}
