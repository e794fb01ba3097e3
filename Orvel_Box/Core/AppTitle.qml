import QtQuick
import OrvelBox.Controls

// The logo above the application's name, as the start screens show them.
Column {
    Image {
        anchors.horizontalCenter: parent.horizontalCenter
        width: 100
        height: 100
        source: "qrc:/orvel/Logo.svg"
        sourceSize: Qt.size(200, 200)
        fillMode: Image.PreserveAspectCrop
        Accessible.ignored: true
    }
    Text {
        anchors.horizontalCenter: parent.horizontalCenter
        text: "Orvel Box"
        font.pixelSize: Theme.title2
        font.bold: true
        color: Theme.label
        Accessible.role: Accessible.Heading
        Accessible.name: text
    }
}
