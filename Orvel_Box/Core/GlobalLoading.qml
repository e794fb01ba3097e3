import QtQuick
import OrvelBox.Controls

// Shown while the start-up check and the settings bootstrap run.
Rectangle {
    objectName: "globalLoading"
    color: Theme.systemBackground

    Column {
        anchors.centerIn: parent
        spacing: 20

        AppTitle {
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 20
        }
        SlidingProgress {
            anchors.horizontalCenter: parent.horizontalCenter
        }
    }
}
