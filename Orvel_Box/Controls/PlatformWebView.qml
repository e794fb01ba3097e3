import QtQuick
import QtWebView

// The platform web view behind WebView; loaded on demand only.
WebView {
    // The outcome of the last load: 0 started, 1 stopped, 2 succeeded, 3 failed.
    property int loadingStatus: -1

    function load(address) {
        // Asked for the page it already shows: that still means "load it again".
        if (String(url) === String(address))
            reload()
        else
            url = address
    }

    onLoadingChanged: request => loadingStatus = request.status
}
