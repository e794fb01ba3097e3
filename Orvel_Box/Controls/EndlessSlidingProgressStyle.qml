import QtQuick

// Indeterminate progress: a bar of 40 % of the track slides from beyond the left end to beyond
// the right end, over and over, never reversing. Users pass both colours and the height.
Item {
    id: root
    required property color barColor
    required property color trackColor
    required property real barHeight
    property bool isAnimating: false
    // How far through the current slide the bar is, 0 to 1. The bar's position is derived from
    // it, so a resize moves the bar at once instead of at the next cycle.
    property real phase: 0

    implicitHeight: barHeight
    height: barHeight
    clip: true

    Rectangle {
        id: track
        anchors.fill: parent
        radius: Math.min(height / 2, 100)
        color: root.trackColor
        visible: root.width > 0
    }

    // The bar's place, partly beyond the track's ends while it slides in and out. Only the
    // stretch over the track is drawn, rounded like the track: the clip above is rectangular
    // and would leave the bar's square cut standing out of the track's rounded ends.
    Item {
        id: bar
        objectName: "slidingBar"
        width: root.width * 0.4
        height: root.barHeight
        visible: root.width > 0
        x: -width + root.phase * (root.width + width)

        Rectangle {
            x: Math.max(0, -bar.x)
            width: Math.max(0, Math.min(bar.width, root.width - bar.x) - x)
            height: parent.height
            radius: Math.min(height / 2, 100)
            color: root.barColor
        }
    }

    // A running animation makes the window draw a frame at every vsync, so a bar that is
    // hidden (a loaded screen keeps its waiting view, invisible) must not run.
    NumberAnimation on phase {
        running: root.isAnimating && root.width > 0 && root.visible
        loops: Animation.Infinite
        from: 0
        to: 1
        duration: 1000
        easing.type: Easing.InOutQuad
    }

    Component.onCompleted: isAnimating = true
}
