import QtQuick

// Drawn in place of the platform web view under test: records every load it is asked for.
Rectangle {
    property url url
    property int loadCount: 0
    readonly property int loadProgress: 100
    readonly property int loadingStatus: 2
    color: Theme.systemGray6

    function load(address) {
        url = address
        loadCount += 1
    }

    Text {
        anchors.centerIn: parent
        text: parent.url
        color: Theme.secondaryLabel
    }
}
