import QtQuick

// The waiting indicator of the start screens: the sliding bar with the standard padding around
// it, at most `maximumBarWidth` wide.
Item {
    id: root
    property color barColor: Theme.blue
    property color trackColor: Theme.systemGray4
    property real barHeight: 6
    property real maximumBarWidth: 100
    readonly property real padding: 16

    implicitWidth: maximumBarWidth + 2 * padding
    implicitHeight: barHeight + 2 * padding

    EndlessSlidingProgressStyle {
        x: root.padding
        y: root.padding
        width: Math.max(0, Math.min(root.width - 2 * root.padding, root.maximumBarWidth))
        barColor: root.barColor
        trackColor: root.trackColor
        barHeight: root.barHeight
    }
}
