import QtQuick
import QtQuick.Controls.Basic

// A stack of screens with a slim bar: a back button once something is pushed and the current
// screen's `navigationTitle`, inline. Screens push with push(component, properties).
Item {
    id: root
    property alias initialItem: stack.initialItem
    property color tint: Theme.blue
    readonly property alias depth: stack.depth
    readonly property alias currentItem: stack.currentItem
    readonly property string currentTitle: stack.currentItem && stack.currentItem.navigationTitle !== undefined
                                           ? stack.currentItem.navigationTitle : ""

    function push(item, properties) { return stack.push(item, properties || {}) }
    function pop() { return stack.depth > 1 ? stack.pop() : null }

    Rectangle {
        id: bar
        objectName: "navigationBar"
        anchors.left: parent.left
        anchors.right: parent.right
        height: visible ? 44 : 0
        visible: stack.depth > 1 || root.currentTitle.length > 0
        color: Theme.systemBackground

        AbstractButton {
            id: back
            // Qt Quick Controls 6.4 buttons list a press action for screen readers but ignore it.
            function accessiblePressAction() { clicked() }
            objectName: "backButton"
            visible: stack.depth > 1
            anchors.left: parent.left
            anchors.leftMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            implicitWidth: 36
            implicitHeight: 36
            Accessible.name: "Назад"
            contentItem: Symbol { name: "chevron.left"; color: root.tint }
            onClicked: root.pop()
        }
        Text {
            anchors.centerIn: parent
            width: parent.width - 2 * (back.width + 16)
            horizontalAlignment: Text.AlignHCenter
            elide: Text.ElideRight
            text: root.currentTitle
            font.pixelSize: Theme.headline
            font.weight: Font.DemiBold
            color: Theme.label
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
    }

    StackView {
        id: stack
        anchors.top: bar.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        clip: true
        Keys.onEscapePressed: event => event.accepted = root.pop() !== null

        // Plain animations rather than the style's animators: they also finish in windows that
        // draw no frames (offscreen tests), and the page below keeps a little parallax.
        pushEnter: Transition { Slide { from: stack.width; to: 0 } }
        pushExit: Transition { Slide { from: 0; to: -stack.width * 0.3 } }
        popEnter: Transition { Slide { from: -stack.width * 0.3; to: 0 } }
        popExit: Transition { Slide { from: 0; to: stack.width } }
        replaceEnter: Transition { Slide { from: stack.width; to: 0 } }
        replaceExit: Transition { Slide { from: 0; to: -stack.width * 0.3 } }
    }

    component Slide: NumberAnimation {
        property: "x"
        duration: 250
        easing.type: Easing.OutCubic
    }
}
