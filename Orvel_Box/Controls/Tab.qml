import QtQuick

// One page of a TabView with its bar entry.
Item {
    property string title
    property string symbol
    property real symbolSize: 20
}
