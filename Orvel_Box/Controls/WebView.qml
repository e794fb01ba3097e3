import QtQuick
import OrvelBox.Controls

// Shows one page. The platform web view is heavy, so it is created only when this item is;
// each new `url` starts a new load.
Item {
    id: root
    property url url
    // The item doing the work (platform view or its test stand-in), for status and address.
    readonly property alias view: loader.item

    Loader {
        id: loader
        anchors.fill: parent
        source: Toolkit.webViewStandIn ? "WebViewStandIn.qml" : "PlatformWebView.qml"
        onLoaded: item.load(root.url)
    }
    onUrlChanged: if (loader.item) loader.item.load(url)
}
