import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QtQuick.Templates as T
import QtQml.Models
import OrvelBox.Controls
import OrvelBox.Core
import OrvelBox.Timetable
import OrvelBox.Home

// The signed-in application: the timetable, the news and the menu. On a phone they are tabs;
// on every other device the chosen section stands above a capsule bar, whatever the window's
// size. The user's colour scheme and accent colour apply to everything while this screen
// lives. Once a second the timetable re-reads the clock; nothing else is redone.
FocusScope {
    id: root
    property CO co
    // Owner of the preferences: read here, handed to the menu, which edits them.
    property CoordinatorModel coordinator
    readonly property alias model: home
    readonly property alias navigator: nav

    // Display order; the symbol sizes are those of the tab bar.
    readonly property var sections: [
        { title: "Расписание", symbol: "calendar.day.timeline.right", tabSymbolSize: 15 },
        { title: "Новости", symbol: "newspaper", tabSymbolSize: 15 },
        { title: "Меню", symbol: "person.fill", tabSymbolSize: 20 }
    ]
    readonly property list<Component> screens: [timetableSection, newsSection, menuSection]

    // Ctrl+1, Ctrl+2 and Ctrl+3 while no side screen is pushed.
    function showSection(index) {
        if (layout.item)
            layout.item.show(index)
    }

    GlobalHomeModel {
        id: home
        co: root.co
        preferences: root.coordinator ? root.coordinator.preferences : null
        fallbackAccent: Theme.blue
        active: frame.visible
    }

    // Lives as long as the signed-in screen, so reminders come whichever section is shown.
    LessonReminder {
        id: lessonReminder
        enabled: root.coordinator ? root.coordinator.preferences.nextLesson : false
    }

    Binding {
        target: Theme
        property: "preferredScheme"
        value: home.preferredScheme
    }
    // Whoever signs in next starts from the system's scheme, not this user's.
    Component.onDestruction: Theme.preferredScheme = ""

    Rectangle {
        anchors.fill: parent
        color: Theme.systemBackground
    }

    NavigationStack {
        id: nav
        objectName: "homeNavigation"
        anchors.fill: parent
        focus: true
        tint: home.accentColor
        initialItem: FocusScope {
            id: frame
            // The stack hands no focus to its screens: the shown section takes the keyboard
            // whenever the frame is on top.
            onVisibleChanged: if (visible) forceActiveFocus()
            Component.onCompleted: forceActiveFocus()
            Loader {
                id: layout
                objectName: "homeLayout"
                anchors.fill: parent
                focus: true
                sourceComponent: Toolkit.isPhone ? tabLayout : regularLayout
            }
        }
    }

    Instantiator {
        model: root.sections.length
        delegate: Shortcut {
            required property int index
            sequence: "Ctrl+" + (index + 1)
            enabled: nav.depth === 1
            onActivated: root.showSection(index)
        }
    }

    // Each layout is a focus scope of its own, so the keyboard reaches the shown section.
    Component {
        id: regularLayout
        FocusScope {
            focus: true
            function show(index) { home.selectedUI = index }

            ColumnLayout {
                anchors.fill: parent
                spacing: 0

                Loader {
                    objectName: "sectionLoader"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    focus: true
                    sourceComponent: root.screens[home.selectedUI]
                }

                Rectangle {
                    objectName: "sectionBar"
                    Layout.alignment: Qt.AlignHCenter
                    Layout.margins: 10
                    implicitWidth: buttons.implicitWidth + 10
                    implicitHeight: buttons.implicitHeight + 10
                    radius: height / 2
                    color: Theme.secondarySystemBackground

                    Row {
                        id: buttons
                        anchors.centerIn: parent
                        Repeater {
                            model: root.sections
                            SectionButton {}
                        }
                    }
                }
            }
        }
    }

    Component {
        id: tabLayout
        FocusScope {
            focus: true
            function show(index) { tabs.currentIndex = index }

            TabView {
                id: tabs
                objectName: "tabView"
                anchors.fill: parent
                tint: home.accentColor
                SectionTab { section: 0 }
                SectionTab { section: 1 }
                SectionTab { section: 2 }
            }
        }
    }

    // A tab whose screen is made when the tab is first shown and kept from then on.
    component SectionTab: Tab {
        id: tab
        required property int section
        title: root.sections[section].title
        symbol: root.sections[section].symbol
        symbolSize: root.sections[section].tabSymbolSize
        Loader {
            anchors.fill: parent
            active: false
            focus: visible
            sourceComponent: root.screens[tab.section]
            onVisibleChanged: if (visible) active = true
            Component.onCompleted: if (visible) active = true
        }
    }

    // One button of the capsule bar; a tab to assistive technology.
    component SectionButton: T.TabButton {
        id: button
        required property var modelData
        required property int index
        readonly property bool selected: home.selectedUI === index
        readonly property color shade: selected ? Theme.white : Theme.label

        width: 100
        implicitHeight: implicitContentHeight + topPadding + bottomPadding
        padding: 10
        focusPolicy: Qt.NoFocus
        text: modelData.title
        checked: selected
        Accessible.name: text
        // Qt offers a tab button only focus over the accessibility bus.
        Accessible.onPressAction: home.selectedUI = index
        onClicked: home.selectedUI = index

        background: Rectangle {
            radius: height / 2
            color: button.selected ? home.accentColor : Theme.systemBackground
        }
        contentItem: Column {
            spacing: 2
            Symbol {
                anchors.horizontalCenter: parent.horizontalCenter
                width: 40
                height: 20
                name: button.modelData.symbol
                color: button.shade
            }
            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: button.modelData.title
                font.pixelSize: Theme.caption
                color: button.shade
            }
        }
    }

    Component {
        id: timetableSection
        ScheduleScreen {
            id: timetable
            objectName: "timetableSection"
            focus: true
            co: root.co
            accentColor: home.accentColor
            navigator: nav
            preferences: root.coordinator ? root.coordinator.preferences : null
            reminder: lessonReminder
            Connections {
                target: home
                function onTicked() { timetable.tick() }
            }
        }
    }
    Component {
        id: newsSection
        NewsScreen {
            objectName: "newsSection"
            focus: true
            co: root.co
            accentColor: home.accentColor
        }
    }
    Component {
        id: menuSection
        MenuScreen {
            objectName: "menuSection"
            focus: true
            co: root.co
            meInfo: home.meInformation
            meInfoLoading: home.meInformationLoading
            coordinator: root.coordinator
            navigation: nav
        }
    }
}
