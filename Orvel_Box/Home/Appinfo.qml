import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import OrvelBox.Controls
import OrvelBox.Core
import OrvelBox.Home

// The about screen: this build, the project's pages and the people who make it.
Item {
    id: root
    property Preferences preferences
    readonly property string navigationTitle: "О Приложении"
    readonly property color accentColor: preferences ? preferences.accentColor : Theme.blue

    AppinfoModel { id: info }

    Flickable {
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
            spacing: 12

            Card {
                glass: true
                contentItem: ColumnLayout {
                    spacing: 6
                    Image {
                        source: "qrc:/orvel/Logo.svg"
                        sourceSize: Qt.size(140, 140)
                        Layout.preferredWidth: 70
                        Layout.preferredHeight: 70
                        Layout.alignment: Qt.AlignHCenter
                        Accessible.ignored: true
                    }
                    Centred {
                        text: "Orvel Box"
                        color: Theme.label
                        font.pixelSize: Theme.title
                        font.bold: true
                        Accessible.role: Accessible.Heading
                        Accessible.name: text
                    }
                    Centred {
                        objectName: "versionLine"
                        text: info.versionLine
                        color: Theme.label
                        font.pixelSize: Theme.caption
                    }
                    Centred {
                        text: "Погрузитесь в мир вкусной студенческой жизни с максимальным удобством"
                        color: Theme.systemGray2
                        font.pixelSize: Theme.caption
                    }
                }
            }

            Repeater {
                model: info.links
                delegate: MenuButton {
                    required property var modelData
                    objectName: "link-" + modelData.url
                    name: modelData.name
                    icon: modelData.icon
                    tint: root.accentColor
                    Layout.alignment: Qt.AlignHCenter
                    onClicked: Toolkit.openUrl(modelData.url)
                }
            }

            Centred {
                text: "Разработчики проекта:"
                color: Theme.label
                font.pixelSize: Theme.headline
                font.weight: Font.DemiBold
                Layout.topMargin: 8
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }

            Repeater {
                model: info.developers
                delegate: Card {
                    id: developer
                    required property var modelData
                    glass: true
                    contentItem: RowLayout {
                        spacing: 14
                        Image {
                            source: developer.modelData.image
                            sourceSize: Qt.size(160, 160)
                            Layout.preferredWidth: 80
                            Layout.preferredHeight: 80
                            Layout.alignment: Qt.AlignTop
                            Accessible.ignored: true
                        }
                        ColumnLayout {
                            spacing: 5
                            Layout.fillWidth: true
                            Text {
                                text: developer.modelData.name
                                color: Theme.label
                                font.pixelSize: Theme.title2
                                font.bold: true
                                wrapMode: Text.Wrap
                                Layout.fillWidth: true
                            }
                            Text {
                                text: developer.modelData.description
                                color: Theme.gray
                                font.pixelSize: Theme.caption
                                wrapMode: Text.Wrap
                                Layout.fillWidth: true
                            }
                        }
                    }
                }
            }

            Centred {
                text: "Неофициальное приложение, разработано студентами, не аффилировано с администрацией ОРВЕЛ"
                color: Theme.secondaryLabel
                font.pixelSize: Theme.caption
                Layout.topMargin: 8
            }
        }
    }

    component Centred: Text {
        wrapMode: Text.Wrap
        horizontalAlignment: Text.AlignHCenter
        Layout.fillWidth: true
        Layout.maximumWidth: Toolkit.isPhone ? Number.POSITIVE_INFINITY : 400
        Layout.alignment: Qt.AlignHCenter
    }
}
