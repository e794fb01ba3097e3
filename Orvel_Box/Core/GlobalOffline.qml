import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import OrvelBox.Controls
import OrvelBox.Core

// The offline state. It has always shown the one word; when the service could not be reached
// it also says so, counts down to the next try and offers to try at once (Enter).
Rectangle {
    id: root
    objectName: "globalOffline"
    property CO co
    readonly property OfflineRetry retry: co ? co.offlineRetry : null
    readonly property bool unreachable: retry !== null && retry.active
    // What shows the account's stored weeks below the notice (the application's timetable in
    // its store-only mode); null: nothing below.
    property alias storedWeek: storedTimetable.sourceComponent

    color: Theme.systemBackground
    focus: true
    // The stored timetable pages with the arrows wherever the focus is; what it leaves (Enter)
    // comes back here.
    Keys.forwardTo: storedTimetable.item ? [storedTimetable.item] : []
    Keys.onReturnPressed: retryNow()
    Keys.onEnterPressed: retryNow()

    function retryNow() {
        if (retry)
            retry.retry()
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        // The notice sits in the middle alone, and on top once a timetable is below it.
        Item { Layout.fillHeight: !storedTimetable.item }

        Column {
            Layout.fillWidth: true
            topPadding: 20
            bottomPadding: 20
            spacing: 8

            Text {
                objectName: "offlineText"
                anchors.horizontalCenter: parent.horizontalCenter
                text: "offline"
                font.pixelSize: Theme.title3
                font.weight: Font.DemiBold
                color: Theme.label
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            Text {
                objectName: "offlineReason"
                visible: root.unreachable
                anchors.horizontalCenter: parent.horizontalCenter
                text: "Нет связи с сервером."
                font.pixelSize: Theme.body
                color: Theme.label
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }
            // The countdown, or the bar while the retry's check is out; one height for both, so
            // nothing below jumps.
            Item {
                visible: root.unreachable
                anchors.horizontalCenter: parent.horizontalCenter
                implicitWidth: Math.max(countdown.implicitWidth, checking.implicitWidth)
                implicitHeight: checking.implicitHeight
                Text {
                    id: countdown
                    objectName: "retryCountdown"
                    anchors.centerIn: parent
                    visible: root.retry !== null && !root.retry.checking
                    text: "Повторная попытка через " + (root.retry ? root.retry.secondsLeft : 0) + " с"
                    font.pixelSize: Theme.subheadline
                    color: Theme.secondaryLabel
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
                SlidingProgress {
                    id: checking
                    objectName: "retryProgress"
                    anchors.centerIn: parent
                    visible: root.retry !== null && root.retry.checking
                }
            }
            Button {
                id: retryButton
                // Qt Quick Controls 6.4 buttons list a press action for screen readers but ignore it.
                function accessiblePressAction() { clicked() }
                objectName: "retryButton"
                visible: root.unreachable
                // Never disabled, so it keeps the keyboard; a press while a check is out is
                // ignored.
                anchors.horizontalCenter: parent.horizontalCenter
                focus: true
                text: "Повторить"
                Accessible.name: text
                topPadding: 10
                bottomPadding: 10
                leftPadding: 25
                rightPadding: 25
                contentItem: Text {
                    text: retryButton.text
                    font.pixelSize: Theme.headline
                    color: Theme.white
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                }
                background: Rectangle {
                    radius: 10
                    color: retryButton.down ? Qt.darker(Theme.blue, 1.15) : Theme.blue
                    opacity: root.retry !== null && root.retry.checking ? 0.5 : 1
                    border.width: retryButton.visualFocus ? 2 : 0
                    border.color: Theme.label
                }
                onClicked: root.retryNow()
            }
        }

        // The stored timetable of this account, browsable without requests; empty (and taking
        // no room) whenever the store holds no week for the account.
        Loader {
            id: storedTimetable
            objectName: "offlineTimetable"
            Layout.fillWidth: true
            Layout.fillHeight: item !== null
            visible: item !== null
        }

        Item { Layout.fillHeight: !storedTimetable.item }
    }
}
