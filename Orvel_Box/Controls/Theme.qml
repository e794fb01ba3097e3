pragma Singleton
import QtQuick
import OrvelBox.Controls

// The named system colours and font sizes every screen draws with. The colours come from the
// one SystemColors table; `preferredScheme` ("light", "dark" or empty for the system's) picks the
// variant.
QtObject {
    property string preferredScheme: ""
    readonly property bool dark: preferredScheme === "dark"
                                 || (preferredScheme !== "light" && Toolkit.systemDark)

    readonly property color blue: SystemColors.color("blue", dark)
    readonly property color red: SystemColors.color("red", dark)
    readonly property color orange: SystemColors.color("orange", dark)
    readonly property color yellow: SystemColors.color("yellow", dark)
    readonly property color green: SystemColors.color("green", dark)
    readonly property color mint: SystemColors.color("mint", dark)
    readonly property color teal: SystemColors.color("teal", dark)
    readonly property color cyan: SystemColors.color("cyan", dark)
    readonly property color indigo: SystemColors.color("indigo", dark)
    readonly property color purple: SystemColors.color("purple", dark)
    readonly property color pink: SystemColors.color("pink", dark)
    readonly property color brown: SystemColors.color("brown", dark)
    readonly property color gray: SystemColors.color("gray", dark)
    readonly property color systemGray2: SystemColors.color("systemGray2", dark)
    readonly property color systemGray3: SystemColors.color("systemGray3", dark)
    readonly property color systemGray4: SystemColors.color("systemGray4", dark)
    readonly property color systemGray5: SystemColors.color("systemGray5", dark)
    readonly property color systemGray6: SystemColors.color("systemGray6", dark)
    readonly property color systemBackground: SystemColors.color("systemBackground", dark)
    readonly property color secondarySystemBackground: SystemColors.color("secondarySystemBackground", dark)
    readonly property color label: SystemColors.color("label", dark)
    readonly property color secondaryLabel: SystemColors.color("secondaryLabel", dark)
    readonly property color white: SystemColors.color("white", dark)
    readonly property color black: SystemColors.color("black", dark)
    readonly property color clear: SystemColors.color("clear", dark)

    // Point sizes of the named text styles, drawn as pixels.
    readonly property int largeTitle: 34
    readonly property int title: 28
    readonly property int title2: 22
    readonly property int title3: 20
    readonly property int headline: 17
    readonly property int body: 17
    readonly property int callout: 16
    readonly property int subheadline: 15
    readonly property int footnote: 13
    readonly property int caption: 12
    readonly property int caption2: 11
}
