import QtQuick
import QtQuick.Window

Window {
    id: window
    width: 1100
    height: 760
    minimumWidth: 360
    minimumHeight: 480
    visible: true
    title: "Orvel Box"

    Coordinator {
        anchors.fill: parent
    }
}
