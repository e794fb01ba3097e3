import QtQuick
import QtQuick.Controls.Basic
import OrvelBox.Controls
import OrvelBox.Core

// The sign-in screen: logo, login and password, the sign-in button (a sliding bar while the
// attempt runs), the refusal line and the agreement notice.
Rectangle {
    id: root
    objectName: "globalLogin"
    property CO co
    readonly property alias model: model

    color: Theme.systemBackground

    GlobalLoginModel {
        id: model
        objectName: "globalLoginModel"
        co: root.co
    }

    Flickable {
        anchors.fill: parent
        contentWidth: width
        contentHeight: Math.max(height, column.implicitHeight)
        boundsBehavior: Flickable.StopAtBounds

        Column {
            id: column
            width: parent.width
            anchors.verticalCenter: parent.verticalCenter
            spacing: 8

            AppTitle {
                anchors.horizontalCenter: parent.horizontalCenter
                spacing: 8
            }

            Column {
                width: parent.width
                padding: 20
                spacing: 8

                LabeledTextField {
                    id: loginField
                    objectName: "loginField"
                    width: parent.width - 2 * parent.padding
                    focus: true
                    title: "Логин"
                    icon: "person.fill"
                    text: model.login
                    isSecure: false
                    KeyNavigation.tab: passwordField
                    onEdited: value => model.login = value
                    onAccepted: model.signIn()
                }
                LabeledTextField {
                    id: passwordField
                    objectName: "passwordField"
                    width: parent.width - 2 * parent.padding
                    title: "Пароль"
                    icon: "key.fill"
                    text: model.password
                    isSecure: true
                    isPasswordHidden: true
                    KeyNavigation.backtab: loginField
                    onEdited: value => model.password = value
                    onAccepted: model.signIn()
                }
            }

            Column {
                anchors.horizontalCenter: parent.horizontalCenter
                bottomPadding: 20
                spacing: 8

                Button {
                    id: signIn
                    // Qt Quick Controls 6.4 buttons list a press action for screen readers but ignore it.
                    function accessiblePressAction() { clicked() }
                    objectName: "signInButton"
                    anchors.horizontalCenter: parent.horizontalCenter
                    visible: !model.loading
                    text: "Войти"
                    Accessible.name: text
                    topPadding: 10
                    bottomPadding: 10
                    leftPadding: 25
                    rightPadding: 25
                    contentItem: Text {
                        text: signIn.text
                        font.pixelSize: Theme.title3
                        color: Theme.white
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                    }
                    background: Rectangle {
                        radius: 10
                        color: signIn.down ? Qt.darker(Theme.blue, 1.15) : Theme.blue
                        border.width: signIn.visualFocus ? 2 : 0
                        border.color: Theme.label
                    }
                    onClicked: model.signIn()
                }

                SlidingProgress {
                    objectName: "signInProgress"
                    visible: model.loading
                    anchors.horizontalCenter: parent.horizontalCenter
                }

                Text {
                    id: errorLine
                    objectName: "errorLine"
                    visible: model.isError
                    anchors.horizontalCenter: parent.horizontalCenter
                    leftPadding: 20
                    rightPadding: 20
                    text: "Неверный логин или пароль"
                    font.pixelSize: Theme.caption
                    color: Theme.red
                    Accessible.role: Accessible.AlertMessage
                    Accessible.name: text
                }
                AccessibleAlert {
                    objectName: "errorAlert"
                    target: errorLine
                    active: model.isError
                }
            }

            Text {
                objectName: "agreementNotice"
                width: parent.width
                leftPadding: 20
                rightPadding: 20
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                textFormat: Text.StyledText
                text: model.notice
                font.pixelSize: Theme.caption
                color: Theme.label
                linkColor: Theme.blue
                onLinkActivated: link => model.openLink(link)

                HoverHandler {
                    cursorShape: parent.hoveredLink.length > 0 ? Qt.PointingHandCursor : Qt.ArrowCursor
                }

                // Qt offers the links inside an accessible text without a way to follow them:
                // the text stays out of the tree and this stands in for it, each link on its own.
                Item {
                    anchors.fill: parent
                    Accessible.role: Accessible.StaticText
                    Accessible.name: root.model.noticeText
                    Repeater {
                        model: root.model.noticeLinks
                        Item {
                            required property var modelData
                            objectName: "noticeLink"
                            anchors.fill: parent
                            Accessible.role: Accessible.Link
                            Accessible.name: modelData.text
                            // A link already lists a press action; Qt calls this function for it.
                            function accessiblePressAction() { root.model.openLink(modelData.url) }
                        }
                    }
                }
            }
        }
    }
}
