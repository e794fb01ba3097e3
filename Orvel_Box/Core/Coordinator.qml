import QtQuick
import OrvelBox.Controls
import OrvelBox.Core

// The root view: one coordinator for the life of the window, and the screen for its state.
Item {
    id: root
    objectName: "coordinator"

    CoordinatorModel {
        id: model
    }
    readonly property var co: model.co

    Loader {
        id: screen
        anchors.fill: parent
        sourceComponent: {
            switch (root.co.stateName) {
            case "login": return loginScreen
            case "home": return homeScreen
            case "offline": return offlineScreen
            default: return loadingScreen
            }
        }
    }

    Component { id: loadingScreen; GlobalLoading {} }
    Component { id: offlineScreen; Text { objectName: "offlineText"; text: "offline"; horizontalAlignment: Text.AlignHCenter; verticalAlignment: Text.AlignVCenter; color: Theme.label } }
    Component { id: loginScreen; TemporaryPage { objectName: "loginPage"; caption: "Вход (временная страница)"; co: root.co } }
    Component { id: homeScreen; TemporaryPage { objectName: "homePage"; caption: "Главная (временная страница)"; co: root.co } }
}
