import QtQuick
import QtQuick.Controls.Basic
import OrvelBox.Controls

// The timetable's one call to action: a rounded glass pill in the accent colour, white text.
AbstractButton {
    id: button
    property color accentColor: Theme.blue
    // Qt Quick Controls 6.4 buttons list a press action for screen readers but ignore it.
    function accessiblePressAction() { clicked() }
    implicitWidth: label.implicitWidth + 48
    implicitHeight: 44
    Accessible.name: text
    hoverEnabled: true
    contentItem: Text {
        id: label
        text: button.text
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        color: Theme.white
        font.pixelSize: Theme.body
        font.weight: Font.DemiBold
    }
    background: GlassBackground {
        tint: button.accentColor
        interactive: true
        hovered: button.hovered
        pressed: button.pressed
        radius: height / 2
        focused: button.visualFocus
        focusColor: Theme.label
    }
}
