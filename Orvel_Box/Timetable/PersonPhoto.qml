import QtQuick
import OrvelBox.Controls
import OrvelBox.Timetable

// A person's photo in a circle: the white "person" symbol on a grey disc until the picture
// has arrived (and for good when it cannot be loaded).
Item {
    id: root
    property url source
    property color placeholderColor: Theme.systemGray3

    implicitWidth: 30
    implicitHeight: 30

    Rectangle {
        anchors.fill: parent
        radius: width / 2
        color: root.placeholderColor
        visible: !photo.ready

        Symbol {
            anchors.centerIn: parent
            width: parent.width * 0.62
            height: width
            name: "person"
            color: Theme.white
        }
    }

    CachedAsyncImage {
        id: photo
        anchors.fill: parent
        radius: width / 2
        url: root.source
    }
}
