// The real platform web view behind WebView: it loads the page it is given, and again when
// the address changes. Pixels are not checked (the engine draws nothing offscreen).
#include "QmlScene.h"
#include "StandinServer.h"
#include "Toolkit.h"

#include <QGuiApplication>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTest>

class TestWebView : public QObject {
    Q_OBJECT
  private slots:
    void loadsEachAddress() {
        // Chromium's own allocator and sandbox do not run under AddressSanitizer.
        if (Toolkit::instance()->webViewStandIn())
            QSKIP("The web engine is replaced by its stand-in in this run");
        standin::Server server;
        QVERIFY(server.listen());
        QmlScene scene(QSize(600, 400));
        QQuickItem* view = scene.load("import OrvelBox.Controls\nWebView {}",
                                      {{"url", QUrl(server.baseUrl() + "/privacy")}});
        QVERIFY(view);
        QObject* inner = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((inner = view->property("view").value<QObject*>()), 10000);
        // 2: loaded (the error text of a successful load is left-over and not looked at).
        QTRY_COMPARE_WITH_TIMEOUT(inner->property("loadingStatus").toInt(), 2, 30000);
        QCOMPARE(server.count("GET", "/privacy"), 1);

        view->setProperty("url", QUrl(server.baseUrl() + "/user-agreement"));
        QTRY_COMPARE_WITH_TIMEOUT(server.count("GET", "/user-agreement"), 1, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(inner->property("loadingStatus").toInt(), 2, 30000);
        QCOMPARE(inner->property("url").toUrl(), QUrl(server.baseUrl() + "/user-agreement"));
    }
};

int main(int argc, char* argv[]) {
    // As in the application: context sharing is settled before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    QGuiApplication app(argc, argv);
    TestWebView test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_webview.moc"
