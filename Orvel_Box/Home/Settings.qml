import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QtQuick.Templates as T
import OrvelBox.Controls
import OrvelBox.Core
import OrvelBox.Home

// The settings screen: the colour theme, the accent colour and the two lesson switches. Each
// applies at once to the whole window and is kept in the per-user store.
Item {
    id: root
    property CO co
    // Owner of the preferences, which this screen writes.
    property CoordinatorModel coordinator
    readonly property string navigationTitle: "Настройки"
    readonly property color accentColor: coordinator ? coordinator.preferences.accentColor : Theme.blue
    readonly property alias model: settings
    // What a screen reader calls each swatch; the stored names are for the service.
    readonly property var accentNames: ({
        blue: "Синий", red: "Красный", orange: "Оранжевый", yellow: "Жёлтый",
        green: "Зелёный", mint: "Мятный", teal: "Бирюзовый", cyan: "Голубой",
        indigo: "Индиго", purple: "Фиолетовый", pink: "Розовый", brown: "Коричневый"
    })

    SettingsModel {
        id: settings
        co: root.co
        coordinator: root.coordinator
        active: root.visible
    }

    Flickable {
        anchors.fill: parent
        contentHeight: page.implicitHeight + 40
        boundsBehavior: Flickable.StopAtBounds
        clip: true
        ScrollBar.vertical: ScrollBar { Accessible.name: "Полоса прокрутки" }

        ColumnLayout {
            id: page
            // Opened while the window starts early: a choice would race the preferences the
            // start-up check is reading, so the controls wait for it.
            enabled: !(root.co && root.co.early)
            x: 20
            y: 20
            width: parent.width - 40
            spacing: 8

            Card {
                tint: Theme.systemGray5
                radius: 100
                topPadding: 0
                bottomPadding: 0
                Layout.preferredHeight: 50
                contentItem: RowLayout {
                    spacing: 8
                    Label { text: "Тема" }
                    Item { Layout.fillWidth: true }
                    Row {
                        objectName: "themePicker"
                        spacing: 2
                        Accessible.role: Accessible.Grouping
                        Accessible.name: "Тема"
                        Repeater {
                            model: settings.themeLabels
                            delegate: ThemeChoice {}
                        }
                    }
                }
            }
            Caption { text: "Тема изменяется в приложениях Orvel Box на всех ваших устройствах при перезапуске." }

            Card {
                tint: Theme.systemGray5
                radius: 100
                topPadding: 0
                bottomPadding: 0
                Layout.preferredHeight: 50
                Layout.topMargin: 12
                contentItem: RowLayout {
                    spacing: 0
                    Label { text: "Акцентный цвет" }
                    Flickable {
                        id: swatchScroller
                        objectName: "swatches"
                        Layout.fillWidth: true
                        Layout.leftMargin: 20
                        Layout.preferredHeight: 25
                        contentWidth: swatchRow.implicitWidth
                        flickableDirection: Flickable.HorizontalFlick
                        Accessible.role: Accessible.Grouping
                        Accessible.name: "Акцентный цвет"
                        boundsBehavior: Flickable.StopAtBounds
                        clip: true

                        function scrollTo(x) {
                            contentX = Math.max(0, Math.min(contentWidth - width, x))
                        }
                        function reveal(left, right) {
                            if (left < contentX || right > contentX + width)
                                scrollTo(right - width / 2)
                        }
                        // The marked swatch is in sight when the screen opens.
                        onWidthChanged: {
                            const marked = swatchRepeater.itemAt(settings.markedIndex)
                            if (marked)
                                reveal(marked.x, marked.x + marked.width)
                        }
                        // A mouse wheel turns vertically; here it moves along the row.
                        WheelHandler {
                            onWheel: event => swatchScroller.scrollTo(swatchScroller.contentX
                                                                      - (event.angleDelta.x + event.angleDelta.y) / 4)
                        }
                        Row {
                            id: swatchRow
                            // Flush right while they all fit, like the theme choices above.
                            x: Math.max(0, swatchScroller.width - implicitWidth)
                            spacing: 5
                            Repeater {
                                id: swatchRepeater
                                model: settings.allAccentColors
                                delegate: Swatch {}
                            }
                        }
                    }
                }
            }
            Caption { text: "Выбор акцентного цвета приложения." }

            Card {
                tint: Theme.systemGray5
                radius: 25
                topPadding: 5
                bottomPadding: 5
                Layout.topMargin: 12
                contentItem: ColumnLayout {
                    spacing: 0
                    LessonSwitch {
                        objectName: "currentLessonSwitch"
                        text: "Текущая пара"
                        checked: settings.currentLesson
                        onToggled: settings.currentLesson = checked
                    }
                    Rectangle {
                        Layout.fillWidth: true
                        implicitHeight: 1
                        color: Theme.systemGray4
                    }
                    LessonSwitch {
                        objectName: "nextLessonSwitch"
                        text: "Следующая пара"
                        checked: settings.nextLesson
                        onToggled: settings.nextLesson = checked
                    }
                }
            }
            Caption { text: "Показ на экране расписания и напоминание за 10 минут до начала пары." }
        }
    }

    component Label: Text {
        color: Theme.label
        font.pixelSize: Theme.body
    }

    component Caption: Text {
        color: Theme.secondaryLabel
        font.pixelSize: Theme.caption
        wrapMode: Text.Wrap
        horizontalAlignment: Text.AlignHCenter
        Layout.fillWidth: true
        Layout.maximumWidth: Toolkit.isPhone ? Number.POSITIVE_INFINITY : 400
        Layout.alignment: Qt.AlignHCenter
    }

    // Radio buttons, not plain buttons with a role: a Qt Quick control reports its own
    // accessible role, whatever Accessible.role says.
    component ThemeChoice: T.RadioButton {
        id: choice
        required property int index
        required property string modelData
        readonly property bool chosen: settings.selectedTheme === index
        objectName: "theme" + index
        text: modelData
        checkable: true
        checked: chosen
        implicitWidth: themeText.implicitWidth + 20
        implicitHeight: 30
        Accessible.name: text
        onClicked: settings.selectedTheme = index
        contentItem: Text {
            id: themeText
            text: choice.text
            color: choice.chosen ? Theme.white : root.accentColor
            font.pixelSize: Theme.subheadline
            font.weight: choice.chosen ? Font.DemiBold : Font.Normal
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
        background: Rectangle {
            radius: height / 2
            color: choice.chosen ? root.accentColor : Theme.clear
            border.width: choice.visualFocus ? 2 : 0
            border.color: choice.chosen ? Theme.label : root.accentColor
        }
    }

    // A whole row toggles, so the label is part of the click target.
    component LessonSwitch: T.Switch {
        id: toggle
        // Qt Quick Controls 6.4 buttons list a press action for screen readers but ignore it.
        function accessiblePressAction() { toggle.toggle(); toggle.toggled() }
        Layout.fillWidth: true
        implicitHeight: 40
        Accessible.name: text
        contentItem: Label {
            text: toggle.text
            verticalAlignment: Text.AlignVCenter
            rightPadding: toggle.indicator.width + 10
        }
        indicator: Rectangle {
            x: toggle.width - width
            anchors.verticalCenter: parent.verticalCenter
            implicitWidth: 46
            implicitHeight: 28
            radius: height / 2
            color: toggle.checked ? root.accentColor : Theme.systemGray3
            border.width: toggle.visualFocus ? 2 : 0
            border.color: Theme.label
            Rectangle {
                x: toggle.checked ? parent.width - width - 2 : 2
                anchors.verticalCenter: parent.verticalCenter
                width: 24
                height: 24
                radius: 12
                color: Theme.white
                Behavior on x { NumberAnimation { duration: 120 } }
            }
        }
    }

    component Swatch: T.RadioButton {
        id: swatch
        required property var modelData
        readonly property bool marked: settings.markedAccent === modelData.name
        objectName: "swatch-" + modelData.name
        implicitWidth: 25
        implicitHeight: 25
        checked: marked
        Accessible.name: root.accentNames[modelData.name] || modelData.name
        onClicked: settings.chooseAccent(modelData.name)
        onActiveFocusChanged: if (activeFocus) swatchScroller.reveal(x, x + width)
        background: Rectangle {
            radius: width / 2
            color: swatch.modelData.color
            border.width: swatch.visualFocus ? 2 : 0
            border.color: Theme.label
        }
        contentItem: Item {
            Rectangle {
                anchors.centerIn: parent
                width: 21
                height: 21
                radius: width / 2
                color: Theme.clear
                border.width: swatch.marked ? 2 : 0
                border.color: Theme.white
            }
        }
    }
}
