import QtQuick
import OrvelBox.Controls

// Shown while the start-up check and the settings bootstrap run.
Rectangle {
    objectName: "globalLoading"
    color: Theme.systemBackground

    Column {
        anchors.centerIn: parent
        spacing: 20

        Image {
            anchors.horizontalCenter: parent.horizontalCenter
            width: 100
            height: 100
            source: "qrc:/orvel/Logo.svg"
            sourceSize: Qt.size(200, 200)
            fillMode: Image.PreserveAspectCrop
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "Orvel Box"
            font.pixelSize: Theme.title2
            font.bold: true
            color: Theme.label
        }
        EndlessSlidingProgressStyle {
            anchors.horizontalCenter: parent.horizontalCenter
            width: 100
            barColor: Theme.blue
            trackColor: Theme.systemGray4
            barHeight: 6
        }
    }
}
