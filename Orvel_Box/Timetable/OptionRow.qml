import QtQuick
import QtQuick.Layouts
import OrvelBox.Controls
import OrvelBox.Timetable

// An option as both picker pieces draw it: a 30 × 30 picture or symbol, then the name.
RowLayout {
    id: root
    // Given whole, so that the picture-or-symbol decision never sees half of a new option.
    property option entry
    property color textColor: Theme.label
    property color symbolColor: Theme.label

    spacing: 10

    Loader {
        Layout.preferredWidth: 30
        Layout.preferredHeight: 30
        sourceComponent: root.entry.iconIsImage ? picture : symbol
    }

    Text {
        objectName: "optionName"
        text: root.entry.name
        color: root.textColor
        font.pixelSize: Theme.body
        elide: Text.ElideRight
        Layout.fillWidth: true
    }

    Component {
        id: symbol
        Symbol {
            objectName: "optionSymbol"
            name: root.entry.icon
            color: root.symbolColor
        }
    }

    Component {
        id: picture
        Rectangle {
            objectName: "optionPicture"
            readonly property bool ready: photo.ready
            radius: width / 2
            // The grey disc with a person stays until the picture is there, and for good when
            // the address does not load.
            color: photo.ready ? Theme.clear : Theme.gray

            Symbol {
                anchors.centerIn: parent
                width: 15
                height: 15
                visible: !photo.ready
                name: "person"
                color: Theme.white
            }
            CachedAsyncImage {
                id: photo
                anchors.fill: parent
                radius: width / 2
                url: root.entry.icon
            }
        }
    }
}
