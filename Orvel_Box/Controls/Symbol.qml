import QtQuick
import OrvelBox.Controls

// A symbol image by its name, drawn from the embedded icon font. Sized like an image: the
// glyph fills the smaller side of the item.
Item {
    id: root
    property string name
    property color color: Theme.label

    implicitWidth: 20
    implicitHeight: 20

    Text {
        anchors.centerIn: parent
        text: Toolkit.symbol(root.name)
        font.family: Toolkit.symbolFontFamily
        font.pixelSize: Math.max(1, Math.min(root.width, root.height))
        color: root.color
        renderType: Text.QtRendering
        Accessible.ignored: true
    }
}
