import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import OrvelBox.Controls
import OrvelBox.Timetable

// A picker field: shows the chosen option and opens the list in a sheet when pressed. The
// owner keeps the choice: it binds `selectedID` and stores the id that `changed` hands it.
AbstractButton {
    id: root
    // Qt Quick Controls 6.4 buttons list a press action for screen readers but ignore it.
    function accessiblePressAction() { clicked() }
    property OptionList options
    property int selectedID: -1
    // The teacher picker: a search field above the list.
    property bool isTeachers: false
    property color accentColor: Theme.blue
    // The prompt shown above the field; a screen reader says it before the chosen option, and
    // alone while nothing is chosen.
    property string title
    property bool isModalOpened: false
    readonly property alias sheet: sheetLoader.item

    // A choice made in the sheet, also when it is the option already chosen.
    signal changed(int id)

    OptionFilterModel {
        id: chosen
        options: root.options
        selectedID: root.selectedID
    }

    Layout.fillWidth: true
    implicitWidth: 300
    implicitHeight: 30 + topPadding + bottomPadding
    padding: 10
    hoverEnabled: true
    Accessible.name: chosen.hasCurrent ? title + ": " + chosen.current.name : title

    // No option carries the id (the list was replaced): the field stays empty until a choice.
    contentItem: OptionRow {
        visible: chosen.hasCurrent
        entry: chosen.current
        symbolColor: root.accentColor
    }

    background: GlassBackground {
        tint: Theme.systemGray6
        interactive: true
        hovered: root.hovered
        pressed: root.pressed
        radius: height / 2
    }

    onClicked: isModalOpened = true

    // Made afresh for every opening, so the search starts empty each time.
    Loader {
        id: sheetLoader
        active: root.isModalOpened
        sourceComponent: SelectionBoxSheet {
            options: root.options
            selectedID: root.selectedID
            isTeachers: root.isTeachers
            accentColor: root.accentColor
            onChanged: chosen => root.changed(chosen)
            onClosed: root.isModalOpened = false
            Component.onCompleted: open()
        }
    }
}
