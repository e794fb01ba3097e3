import QtQuick
import QtQuick.Window
import OrvelBox.Controls

Window {
    id: window
    width: 1100
    height: 760
    minimumWidth: 360
    minimumHeight: 480
    visible: true
    title: "Orvel Box"
    color: Theme.systemBackground

    Coordinator {
        anchors.fill: parent
        focus: true
    }
}
