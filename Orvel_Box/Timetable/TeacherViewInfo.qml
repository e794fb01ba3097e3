import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic
import OrvelBox.Controls
import OrvelBox.Timetable

// A teacher's profile, looked up by the short name a lesson carries.
Item {
    id: root
    property var co
    property string teacherName
    property color accentColor: Theme.blue

    TeacherViewInfoModel {
        id: card
        co: root.co
        teacherName: root.teacherName
        active: root.visible
    }

    // Made when first opened, so the card alone asks for no week. Loaded by address: the
    // sheet holds a timetable, which itself opens teacher cards.
    function openTeacherWeek() {
        if (!teacherWeek.item) {
            teacherWeek.setSource(Qt.resolvedUrl("TeacherWeekSheet.qml"),
                                  { co: root.co, teacherName: root.teacherName,
                                    displayName: card.displayName, accentColor: root.accentColor })
            // A closed popup hands the keyboard to the window; Escape must still lead back.
            teacherWeek.item.closed.connect(() => weekButton.forceActiveFocus())
        }
        teacherWeek.item.open()
    }
    Loader {
        id: teacherWeek
    }

    EndlessSlidingProgressStyle {
        visible: card.isLoading
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: 20
        barColor: root.accentColor
        trackColor: Theme.systemGray4
        barHeight: 6
    }

    Flickable {
        objectName: "teacherPage"
        visible: !card.isLoading
        anchors.fill: parent
        contentHeight: page.implicitHeight + 40
        boundsBehavior: Flickable.StopAtBounds
        clip: true
        ScrollBar.vertical: ScrollBar { Accessible.name: "Полоса прокрутки" }

        ColumnLayout {
            id: page
            x: 20
            y: 20
            width: parent.width - 40
            spacing: 14

            RowLayout {
                spacing: 16
                PersonPhoto {
                    Layout.preferredWidth: 100
                    Layout.preferredHeight: 100
                    placeholderColor: Theme.gray
                    source: card.photoUrl
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 4
                    Text {
                        Layout.fillWidth: true
                        text: card.displayName
                        wrapMode: Text.Wrap
                        font.pixelSize: Theme.title2
                        font.bold: true
                        color: Theme.label
                    }
                    Text {
                        Layout.fillWidth: true
                        text: card.tech.deparment
                        wrapMode: Text.Wrap
                        font.pixelSize: Theme.caption
                        font.bold: true
                        color: Theme.label
                        opacity: 0.5
                    }
                }
            }

            AbstractButton {
                id: weekButton
                // Qt Quick Controls 6.4 buttons list a press action for screen readers but ignore it.
                function accessiblePressAction() { clicked() }
                objectName: "teacherWeekButton"
                text: "Расписание преподавателя"
                Accessible.name: text
                hoverEnabled: true
                focusPolicy: Qt.StrongFocus
                implicitWidth: weekText.implicitWidth + 32
                implicitHeight: 36
                onClicked: root.openTeacherWeek()
                contentItem: Text {
                    id: weekText
                    text: weekButton.text
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                    font.pixelSize: Theme.subheadline
                    font.weight: Font.DemiBold
                    color: Theme.white
                }
                background: GlassBackground {
                    tint: root.accentColor
                    interactive: true
                    hovered: weekButton.hovered
                    pressed: weekButton.pressed
                    radius: height / 2
                    focused: weekButton.visualFocus
                    focusColor: Theme.label
                }
            }

            Text {
                Layout.fillWidth: true
                text: card.tech.description
                wrapMode: Text.Wrap
                font.pixelSize: 14
                color: Theme.label
            }

            Text {
                Layout.fillWidth: true
                text: card.sourceLine
                textFormat: Text.StyledText
                wrapMode: Text.Wrap
                font.pixelSize: Theme.caption
                color: Theme.label
                linkColor: root.accentColor
                opacity: 0.5
                onLinkActivated: link => Toolkit.openUrl(link)
            }
        }
    }
}
