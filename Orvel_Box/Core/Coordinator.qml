import QtQuick
import OrvelBox.Controls
import OrvelBox.Core

// The root view: one coordinator for the life of the window, and the screen its state calls
// for. The settings map lives in the model and is handed to the home screen.
FocusScope {
    id: root
    objectName: "coordinator"

    readonly property alias model: model
    readonly property var co: model.co

    CoordinatorModel {
        id: model
    }

    Loader {
        id: screen
        objectName: "screenLoader"
        anchors.fill: parent
        focus: true
        sourceComponent: ({
            loading: loadingScreen,
            login: loginScreen,
            home: homeScreen,
            offline: offlineScreen
        })[model.screen]
    }

    Component { id: loadingScreen; GlobalLoading {} }
    Component { id: loginScreen; GlobalLogin { co: root.co } }
    Component {
        id: offlineScreen
        Rectangle {
            color: Theme.systemBackground
            Text {
                objectName: "offlineText"
                anchors.centerIn: parent
                text: "offline"
                color: Theme.label
            }
        }
    }
    Component {
        id: homeScreen
        TemporaryPage {
            objectName: "homePage"
            caption: "Главная (временная страница)"
            co: root.co
            settings: model.settings
        }
    }
}
