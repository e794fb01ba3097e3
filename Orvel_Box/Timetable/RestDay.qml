import QtQuick
import OrvelBox.Controls

// A day without lessons: its date, "Нет пар" and "Отдыхайте", each line centred. Plain Qt
// Quick, so that a start's first frame draws it as the timetable does.
Column {
    property string date
    spacing: 4
    Text {
        anchors.horizontalCenter: parent.horizontalCenter
        text: parent.date
        font.pixelSize: Theme.largeTitle
        font.bold: true
        color: Theme.label
    }
    Text {
        anchors.horizontalCenter: parent.horizontalCenter
        text: "Нет пар"
        font.pixelSize: Theme.title2
        font.weight: Font.Medium
        color: Theme.label
    }
    Text {
        anchors.horizontalCenter: parent.horizontalCenter
        text: "Отдыхайте"
        font.pixelSize: Theme.body
        font.weight: Font.Medium
        color: Theme.label
        opacity: 0.5
    }
}
