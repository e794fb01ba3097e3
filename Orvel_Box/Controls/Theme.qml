pragma Singleton
import QtQuick

// The named system colours and font sizes every screen draws with.
QtObject {
    property bool dark: false

    readonly property color blue: dark ? "#0a84ff" : "#007aff"
    readonly property color red: dark ? "#ff453a" : "#ff3b30"
    readonly property color systemGray4: dark ? "#3a3a3c" : "#d1d1d6"
    readonly property color label: dark ? "#ffffff" : "#000000"
    readonly property color systemBackground: dark ? "#000000" : "#ffffff"

    readonly property int title2: 22
    readonly property int title3: 20
    readonly property int caption: 12
}
