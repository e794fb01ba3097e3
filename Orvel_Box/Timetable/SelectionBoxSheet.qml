import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import OrvelBox.Controls
import OrvelBox.Timetable

// The list of a picker in a sheet, with a search field for teachers. A row, or Enter on the
// current row, chooses; Escape or the close button leave everything as it was. The arrow keys
// move the current row while the search field keeps the focus.
Sheet {
    id: root
    property OptionList options
    property int selectedID: -1
    property bool isTeachers: false
    property color accentColor: Theme.blue
    property string search: ""
    readonly property alias listed: filter

    signal changed(int id)

    function choose(optionId) {
        changed(optionId)
        close()
    }

    // Enter with nothing listed chooses nothing.
    function chooseCurrent() {
        if (list.currentIndex >= 0)
            choose(filter.idAt(list.currentIndex))
    }

    // The chosen row in sight, with its neighbours around it.
    onOpened: list.positionViewAtIndex(list.currentIndex, ListView.Center)

    OptionFilterModel {
        id: filter
        options: root.options
        search: root.search
        selectedID: root.selectedID
    }

    ColumnLayout {
        anchors.fill: parent
        // Without a search field the list starts below the close button.
        anchors.topMargin: root.isTeachers ? 20 : 52
        spacing: 20

        Keys.onUpPressed: list.decrementCurrentIndex()
        Keys.onDownPressed: list.incrementCurrentIndex()
        Keys.onReturnPressed: root.chooseCurrent()
        Keys.onEnterPressed: root.chooseCurrent()

        LabeledTextField {
            id: searchField
            objectName: "searchField"
            visible: root.isTeachers
            focus: root.isTeachers
            title: "Поиск"
            icon: "magnifyingglass"
            text: root.search
            Layout.fillWidth: true
            Layout.leftMargin: 20
            Layout.rightMargin: 52
            onEdited: value => {
                root.search = value
                // A new search starts at its first match, which Enter then chooses.
                list.currentIndex = filter.count > 0 ? 0 : -1
                list.positionViewAtBeginning()
            }
        }

        ListView {
            id: list
            objectName: "optionList"
            focus: !root.isTeachers
            model: filter
            currentIndex: filter.selectedRow
            spacing: 8
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.leftMargin: 20
            Layout.rightMargin: 20
            Layout.bottomMargin: 20
            ScrollBar.vertical: ScrollBar { Accessible.name: "Полоса прокрутки" }

            delegate: AbstractButton {
                id: row
                required property option entry
                readonly property bool chosen: entry.id === root.selectedID

                width: ListView.view.width
                padding: 10
                focusPolicy: Qt.NoFocus
                hoverEnabled: true
                Accessible.name: entry.name

                contentItem: OptionRow {
                    entry: row.entry
                    textColor: row.chosen ? Theme.white : Theme.label
                    symbolColor: row.chosen ? Theme.white : root.accentColor
                }
                background: Rectangle {
                    radius: height / 2
                    color: row.chosen ? root.accentColor : Theme.systemGray5
                    // The row Enter would choose.
                    border.width: row.ListView.isCurrentItem && !row.chosen ? 2 : 0
                    border.color: root.accentColor
                }
                onClicked: root.choose(entry.id)
            }
        }
    }
}
