import QtQuick
import OrvelBox.Controls
import OrvelBox.Core

// The root view: one coordinator for the life of the window, and the screen its state calls
// for. The preferences live in the model and are handed to the home screen.
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
    Component {
        id: loginScreen
        // By address too: the sign-in form and the controls style it uses are compiled after
        // the first frame, which only needs the loading screen.
        Loader {
            objectName: "loginPage"
            focus: true
            // Not given the focus itself: its login field takes it.
            Component.onCompleted: setSource(Qt.resolvedUrl("LoginPage.qml"),
                                             { co: root.co })
        }
    }
    Component {
        id: offlineScreen
        Loader {
            objectName: "offlinePage"
            focus: true
            Component.onCompleted: setSource(Qt.resolvedUrl("OfflinePage.qml"),
                                             { co: root.co, focus: true })
        }
    }
    Component {
        id: homeScreen
        // Loaded by address, not named here: the home screen's module (and the timetable's
        // under it) is compiled once someone is signed in rather than before the first frame.
        Loader {
            id: home
            objectName: "homePage"
            focus: true
            // After the first frame is on screen, or soon when none is drawn (a hidden window).
            property bool waitingForFrame: false

            function make() {
                if (status !== Loader.Null)
                    return
                waitingForFrame = false
                setSource(Qt.resolvedUrl("HomePage.qml"), { co: root.co, coordinator: model, focus: true })
            }

            Component.onCompleted: {
                // The user's scheme before anything of home is made: each item is then made in
                // its final colours, rather than made in the system's and animated over.
                Theme.preferredScheme = model.preferences.scheme
                if (root.co.early) {
                    firstFrame.setSource(Qt.resolvedUrl("FirstFrame.qml"),
                                         { co: root.co, preferences: model.preferences })
                    waitingForFrame = firstFrame.item !== null && firstFrame.item.usable
                }
                if (!waitingForFrame) {
                    firstFrame.source = ""
                    make()
                }
            }
            Component.onDestruction: firstFrame.source = ""
            // Home draws its own first frame before the kept week is handed to it on the next
            // turn; the kept week stays on top until then.
            onLoaded: Qt.callLater(() => firstFrame.source = "")

            Connections {
                target: home.waitingForFrame ? root.Window.window : null
                function onFrameSwapped() { Qt.callLater(home.make) }
            }
            Timer {
                running: home.waitingForFrame
                interval: 250
                onTriggered: home.make()
            }
        }
    }

    // While home is made on a window that starts early: the kept week drawn in plain Qt Quick.
    Loader {
        id: firstFrame
        anchors.fill: parent
        z: 1
    }
}
