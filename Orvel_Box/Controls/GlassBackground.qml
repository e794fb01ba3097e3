import QtQuick

// A translucent, softly lit panel standing in for the platform's glass material. `interactive`
// brightens it under the pointer and while pressed; `focused` rings it for keyboard users.
Rectangle {
    id: root
    property color tint: Theme.systemGray6
    property bool interactive: false
    property bool hovered: false
    property bool pressed: false
    property bool focused: false
    property color focusColor: Theme.blue

    radius: 16
    color: Qt.rgba(tint.r, tint.g, tint.b, Theme.dark ? 0.72 : 0.82)
    border.width: focused ? 2 : 1
    border.color: focused ? focusColor : Theme.dark ? Qt.rgba(1, 1, 1, 0.10) : Qt.rgba(1, 1, 1, 0.65)

    Rectangle {
        // The sheen along the top edge.
        anchors.fill: parent
        anchors.margins: 1
        radius: Math.max(0, root.radius - 1)
        gradient: Gradient {
            GradientStop { position: 0.0; color: Qt.rgba(1, 1, 1, Theme.dark ? 0.08 : 0.35) }
            GradientStop { position: 0.5; color: Qt.rgba(1, 1, 1, 0) }
        }
    }
    Rectangle {
        anchors.fill: parent
        radius: root.radius
        color: Theme.label
        opacity: !root.interactive ? 0 : root.pressed ? 0.10 : root.hovered ? 0.05 : 0
        Behavior on opacity { NumberAnimation { duration: 120 } }
    }
}
