import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QtQuick.Templates as T

// Pages (Tab items) with a bar of their symbols and titles along the bottom; the selected
// entry is drawn in `tint`.
Item {
    id: root
    default property alias tabs: pages.data
    property color tint: Theme.blue
    property int currentIndex: 0

    StackLayout {
        id: pages
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: bar.top
        currentIndex: root.currentIndex
    }

    Rectangle {
        id: bar
        objectName: "tabBar"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 56
        color: Theme.secondarySystemBackground

        Rectangle {
            anchors.top: parent.top
            width: parent.width
            height: 1
            color: Theme.systemGray4
        }

        RowLayout {
            anchors.fill: parent
            spacing: 0
            Repeater {
                model: pages.children
                // Qt's tab button: a Qt Quick control reports its own accessible role, whatever
                // Accessible.role says.
                T.TabButton {
                    id: entry
                    required property var modelData
                    required property int index
                    readonly property color shade: root.currentIndex === index ? root.tint : Theme.gray
                    // Equal shares of the bar, whatever the titles' lengths.
                    Layout.preferredWidth: 1
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    text: modelData.title
                    checked: root.currentIndex === index
                    Accessible.name: text
                    // Qt offers a tab button only focus over the accessibility bus; a screen
                    // reader has to be able to switch sections too.
                    Accessible.onPressAction: root.currentIndex = index
                    onClicked: root.currentIndex = index
                    contentItem: Column {
                        spacing: 3
                        topPadding: 6
                        Item {
                            width: parent.width
                            height: 22
                            Symbol {
                                anchors.centerIn: parent
                                width: entry.modelData.symbolSize
                                height: entry.modelData.symbolSize
                                name: entry.modelData.symbol
                                color: entry.shade
                            }
                        }
                        Text {
                            width: parent.width
                            horizontalAlignment: Text.AlignHCenter
                            text: entry.modelData.title
                            font.pixelSize: Theme.caption2
                            color: entry.shade
                        }
                    }
                }
            }
        }
    }
}
