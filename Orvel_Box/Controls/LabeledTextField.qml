import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// A labelled entry with a leading symbol. `isSecure` makes it a password entry with a
// show/hide button; switching keeps the typed text. The caller owns the text: bind `text`
// and write back on `edited`.
FocusScope {
    id: root
    property string title
    property string icon
    property string text
    property bool isSecure: false
    property bool isPasswordHidden: true

    // The user changed the text (typing, pasting); `value` is the new text.
    signal edited(string value)
    // Enter or Return in the entry.
    signal accepted()

    readonly property bool filled: text.length > 0

    implicitWidth: column.implicitWidth
    implicitHeight: column.implicitHeight

    ColumnLayout {
        id: column
        // Extra height given to the field stays below it, never between label and box.
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        spacing: 8

        Text {
            objectName: "fieldTitle"
            visible: root.title.length > 0
            text: root.title
            font.pixelSize: Theme.subheadline
            font.weight: Font.Medium
            color: Theme.secondaryLabel
            Layout.fillWidth: true
        }

        Rectangle {
            id: box
            objectName: "fieldBox"
            Layout.fillWidth: true
            implicitWidth: row.implicitWidth + 24
            implicitHeight: row.implicitHeight + 24
            radius: 12
            color: Theme.systemGray5
            border.width: 2
            border.color: root.filled ? Qt.rgba(Theme.blue.r, Theme.blue.g, Theme.blue.b, 0.3) : Theme.clear
            Behavior on border.color { ColorAnimation { duration: 200; easing.type: Easing.InOutQuad } }

            RowLayout {
                id: row
                anchors.fill: parent
                anchors.margins: 12
                spacing: 12

                Symbol {
                    name: root.icon
                    color: root.filled ? Theme.blue : Theme.gray
                    Layout.preferredWidth: 20
                    Layout.preferredHeight: 20
                    Behavior on color { ColorAnimation { duration: 200; easing.type: Easing.InOutQuad } }
                }

                TextField {
                    id: entry
                    objectName: "entry"
                    focus: true
                    Layout.fillWidth: true
                    padding: 0
                    background: null
                    // Qt withholds the accessible name of a password entry; our accessibility
                    // hook takes the label from this unseen placeholder instead.
                    placeholderText: root.isSecure ? root.title : ""
                    placeholderTextColor: Theme.clear
                    text: root.text
                    color: Theme.label
                    selectionColor: Theme.blue
                    selectedTextColor: Theme.white
                    font.pixelSize: Theme.body
                    echoMode: root.isSecure && root.isPasswordHidden ? TextInput.Password : TextInput.Normal
                    inputMethodHints: Qt.ImhNoPredictiveText | Qt.ImhNoAutoUppercase
                                      | (echoMode === TextInput.Password ? Qt.ImhSensitiveData : Qt.ImhNone)
                    Accessible.name: root.title
                    // Marks the entry secret for good, whether the password is shown or not.
                    Accessible.passwordEdit: root.isSecure
                    onTextEdited: root.edited(text)
                    onAccepted: root.accepted()
                }

                AbstractButton {
                    id: eye
                    // Qt Quick Controls 6.4 buttons list a press action for screen readers but ignore it.
                    function accessiblePressAction() { clicked() }
                    objectName: "eyeButton"
                    visible: root.isSecure
                    focusPolicy: Qt.NoFocus
                    implicitWidth: 22
                    implicitHeight: 20
                    Accessible.name: root.isPasswordHidden ? "Показать пароль" : "Скрыть пароль"
                    contentItem: Symbol {
                        name: root.isPasswordHidden ? "eye.slash" : "eye"
                        color: Theme.gray
                    }
                    onClicked: root.isPasswordHidden = !root.isPasswordHidden
                }
            }
        }
    }
}
