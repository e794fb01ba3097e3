import QtQuick
import QtWebView

// The platform web view behind WebView; loaded on demand only.
WebView {
    function load(address) {
        // Asked for the page it already shows: that still means "load it again".
        if (String(url) === String(address))
            reload()
        else
            url = address
    }
}
