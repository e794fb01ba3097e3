import QtQuick
import OrvelBox.Controls

// Stand-in for a screen that has not been built yet; it says so plainly.
Rectangle {
    property string caption
    property var co
    color: Theme.systemBackground
    Text {
        anchors.centerIn: parent
        text: parent.caption
        color: Theme.label
        font.pixelSize: Theme.title3
    }
}
