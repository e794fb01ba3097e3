import QtQuick
import QtQuick.Controls.Basic
import OrvelBox.Controls
import OrvelBox.Timetable
import OrvelBox.Home

// The university news: one card per item, newest first. A card opens the item's page in a
// sheet. Every showing refreshes the list; the waiting view appears only until the first list.
FocusScope {
    id: root
    property var co
    property color accentColor: Theme.blue
    readonly property alias model: news
    readonly property alias sheet: sheet
    readonly property real margin: Toolkit.isPhone ? 16 : 20

    NewsScreenModel {
        id: news
        co: root.co
        phone: Toolkit.isPhone
        active: root.visible
    }

    Column {
        objectName: "newsLoading"
        visible: news.isLoading
        anchors.centerIn: parent
        spacing: 10
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "Загрузка новостей"
            font.pixelSize: Theme.body
            color: Theme.label
        }
        SlidingProgress {
            anchors.horizontalCenter: parent.horizontalCenter
            barColor: root.accentColor
            trackColor: Theme.systemGray4
            barHeight: 6
        }
    }

    ListView {
        id: list
        objectName: "newsList"
        // The cards keep a readable width in a wide window.
        readonly property real columnWidth: Math.min(width - 2 * root.margin, 600)
        readonly property real columnX: (width - columnWidth) / 2

        visible: !news.isLoading
        anchors.fill: parent
        focus: true
        clip: true
        spacing: 16
        boundsBehavior: Flickable.StopAtBounds
        keyNavigationEnabled: true
        model: news.all_news
        // Rows arrive into the same model rather than as a new one, so the view does not pick
        // a current card by itself: keyboard reading starts at the first card.
        onCountChanged: if (currentIndex < 0 && count > 0) currentIndex = 0
        ScrollBar.vertical: ScrollBar { Accessible.name: "Полоса прокрутки" }

        header: Item {
            width: list.width
            height: heading.implicitHeight + 2 * root.margin
            Text {
                id: heading
                x: list.columnX
                y: root.margin
                width: list.columnWidth
                text: "Новости"
                font.pixelSize: Theme.largeTitle
                font.bold: true
                color: Theme.label
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
        }
        footer: Item { height: root.margin }

        delegate: AbstractButton {
            id: card
            required property var record
            required property int index

            x: list.columnX
            width: list.columnWidth
            padding: 14
            focusPolicy: Qt.StrongFocus
            Accessible.name: record.title
            onClicked: {
                news.select(index)
                sheet.open()
            }
            Keys.onReturnPressed: clicked()
            Keys.onEnterPressed: clicked()

            background: GlassBackground {
                tint: Theme.systemGray5
                radius: 30
                interactive: true
                hovered: card.hovered
                pressed: card.pressed
                focused: card.visualFocus
                focusColor: root.accentColor
            }

            contentItem: Column {
                spacing: 6

                Item {
                    width: parent.width
                    height: Math.round(width * 9 / 16)
                    GlassBackground {
                        anchors.fill: parent
                        radius: 10
                    }
                    SlidingProgress {
                        objectName: "picturePlaceholder"
                        visible: !picture.ready
                        anchors.centerIn: parent
                        barColor: root.accentColor
                        trackColor: Theme.systemGray4
                        barHeight: 6
                    }
                    CachedAsyncImage {
                        id: picture
                        objectName: "newsPicture"
                        anchors.fill: parent
                        radius: 10
                        url: card.record.previewUrl
                    }
                }
                Item { width: 1; height: 2 }
                Text {
                    width: parent.width
                    text: card.record.title
                    wrapMode: Text.Wrap
                    font.pixelSize: Theme.title2
                    font.bold: true
                    color: Theme.label
                }
                Text {
                    width: parent.width
                    text: card.record.author
                    elide: Text.ElideRight
                    font.pixelSize: Theme.caption
                    font.bold: true
                    color: Theme.label
                }
                Text {
                    width: parent.width
                    text: card.record.date
                    font.pixelSize: Theme.caption
                    color: Theme.label
                }
            }
        }
    }

    // The item's page. The web view is heavy, so it exists only while the sheet is open.
    Sheet {
        id: sheet
        objectName: "newsSheet"
        // The web view while the sheet is open, otherwise null.
        readonly property alias page: pageLoader.item
        onClosed: news.dismiss()

        // Once the page has the keyboard, Escape goes to it rather than to the sheet.
        Shortcut {
            sequence: StandardKey.Cancel
            enabled: sheet.opened
            onActivated: sheet.close()
        }

        Rectangle {
            id: bar
            objectName: "newsSheetBar"
            anchors.left: parent.left
            anchors.right: parent.right
            height: 54
            radius: 16
            color: Theme.black
            // Square lower corners where the page begins.
            Rectangle {
                anchors.bottom: parent.bottom
                width: parent.width
                height: parent.radius
                color: parent.color
            }
            Text {
                anchors.centerIn: parent
                width: parent.width - 2 * 56
                horizontalAlignment: Text.AlignHCenter
                elide: Text.ElideRight
                text: news.selectedNews.title
                font.pixelSize: Theme.headline
                font.weight: Font.DemiBold
                color: Theme.white
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
        }
        Loader {
            id: pageLoader
            anchors.top: bar.bottom
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            active: sheet.visible
            sourceComponent: WebView { url: news.selectedPage }
        }
    }
}
