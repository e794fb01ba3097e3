import QtQuick
import QtQuick.Layouts
import QtQuick.Shapes
import OrvelBox.Controls
import OrvelBox.Timetable
import OrvelBox.Home

// The signed-in user's card at the top of the menu: avatar, name (with a star for
// administrators) and login name, white on a dark radial gradient. Held sideways on a phone
// the avatar stands beside the names, otherwise above them.
Item {
    id: root
    required property MenuScreenModel profile
    property color tint: Theme.blue
    property bool compact: false

    implicitHeight: layout.implicitHeight + 40 + (compact ? 0 : 40)

    Shape {
        anchors.fill: parent
        ShapePath {
            strokeWidth: -1
            fillGradient: RadialGradient {
                centerX: root.width / 2
                centerY: root.height / 2
                centerRadius: 180
                focalX: centerX
                focalY: centerY
                focalRadius: 0
                GradientStop { position: 0; color: root.profile.gradientCentre }
                GradientStop { position: 1; color: root.profile.gradientEdge }
            }
            startX: 0
            startY: 0
            PathLine { x: root.width; y: 0 }
            PathLine { x: root.width; y: root.height }
            PathLine { x: 0; y: root.height }
            PathLine { x: 0; y: 0 }
        }
    }

    GridLayout {
        id: layout
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 20
        flow: root.compact ? GridLayout.LeftToRight : GridLayout.TopToBottom
        columnSpacing: 10
        rowSpacing: 10

        Item {
            Layout.preferredWidth: 100
            Layout.preferredHeight: 100
            Layout.alignment: root.compact ? Qt.AlignVCenter : Qt.AlignHCenter
            GlassBackground {
                visible: !root.compact
                anchors.fill: parent
                anchors.margins: -4
                radius: width / 2
                tint: Theme.systemGray6
            }
            PersonPhoto {
                objectName: "avatar"
                anchors.fill: parent
                source: root.profile.avatarUrl
                placeholderColor: Qt.rgba(1, 1, 1, 0.2)
            }
        }

        ColumnLayout {
            spacing: 2
            Layout.fillWidth: true
            // Its lines do not stretch, which would otherwise keep the column at their width.
            Layout.maximumWidth: Number.POSITIVE_INFINITY
            Layout.alignment: root.compact ? Qt.AlignVCenter : Qt.AlignHCenter
            RowLayout {
                spacing: 6
                Layout.alignment: root.compact ? Qt.AlignLeft : Qt.AlignHCenter
                Text {
                    objectName: "profileName"
                    text: root.profile.name
                    color: "white"
                    font.pixelSize: Theme.title2
                    font.bold: true
                    elide: Text.ElideRight
                    Layout.maximumWidth: layout.width - (root.compact ? 110 : 0)
                                         - (root.profile.isAdmin ? 26 : 0)
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                }
                Symbol {
                    objectName: "adminStar"
                    visible: root.profile.isAdmin
                    name: "star.fill"
                    color: root.tint
                    Layout.preferredWidth: 20
                    Layout.preferredHeight: 20
                }
            }
            Text {
                objectName: "profileLogin"
                text: root.profile.loginLine
                color: "white"
                opacity: 0.5
                font.pixelSize: Theme.caption
                elide: Text.ElideRight
                Layout.alignment: root.compact ? Qt.AlignLeft : Qt.AlignHCenter
            }
        }
    }
}
