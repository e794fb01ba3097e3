// Toolkit pieces the screens build on: symbols, device idiom, the labelled field and the sliding
// progress bar.
#include "QmlScene.h"
#include "Toolkit.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QRegularExpression>
#include <QTest>

class TestToolkit : public QObject {
    Q_OBJECT

  private slots:
    // The font must turn each ligature of the table into a single glyph: one it lacks would
    // draw as a word.
    void everySymbolDrawsOneGlyph() {
        Toolkit* toolkit = Toolkit::instance();
        QFont font(toolkit->symbolFontFamily());
        font.setPixelSize(24);
        QVERIFY2(QFontInfo(font).family() == toolkit->symbolFontFamily(), "symbol font not loaded");
        const QFontMetricsF metrics(font);
        QVERIFY(toolkit->symbolNames().size() > 30);
        for (const QString& name : toolkit->symbolNames()) {
            const QString ligature = toolkit->symbol(name);
            QVERIFY2(metrics.horizontalAdvance(ligature) <= 30,
                     qPrintable(name + " -> " + ligature));
        }
    }

    void unknownSymbolIsReportedOnce() {
        Toolkit* toolkit = Toolkit::instance();
        QCOMPARE(toolkit->symbol(QString()), QString());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no\\.such\\.symbol"));
        const QString first = toolkit->symbol(QStringLiteral("no.such.symbol"));
        QTest::failOnWarning(QRegularExpression("no\\.such\\.symbol"));
        QCOMPARE(toolkit->symbol(QStringLiteral("no.such.symbol")), first);
        QVERIFY(!first.isEmpty());
    }

    void idiomFromScreenSize_data() {
        QTest::addColumn<QSizeF>("millimetres");
        QTest::addColumn<QString>("idiom");
        QTest::newRow("phone, 6.1 in") << QSizeF(64, 142) << "phone";
        QTest::newRow("just under 7 in") << QSizeF(106, 140) << "phone";
        QTest::newRow("7 in exactly") << QSizeF(106.68, 142.24) << "pad";
        QTest::newRow("tablet") << QSizeF(180, 250) << "pad";
        QTest::newRow("desktop monitor") << QSizeF(600, 340) << "pad";
        QTest::newRow("unknown size") << QSizeF(0, 0) << "pad";
    }
    void idiomFromScreenSize() {
        QFETCH(QSizeF, millimetres);
        QFETCH(QString, idiom);
        QCOMPARE(Toolkit::idiomForScreen(millimetres), idiom);
    }

    // The eye shows on password fields only, and the title only when there is one.
    void fieldMaskAndEye_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("isSecure");
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<bool>("eyeShown");
        QTest::addColumn<bool>("masked");
        QTest::newRow("password, hidden") << "Пароль" << true << true << true << true;
        QTest::newRow("password, shown") << "Пароль" << true << false << true << false;
        QTest::newRow("plain, hidden flag ignored") << "Логин" << false << true << false << false;
        QTest::newRow("plain, no title") << "" << false << false << false << false;
    }
    void fieldMaskAndEye() {
        QFETCH(QString, title);
        QFETCH(bool, isSecure);
        QFETCH(bool, hidden);
        QFETCH(bool, eyeShown);
        QFETCH(bool, masked);
        QmlScene scene;
        QQuickItem* field = scene.load(
            QByteArrayLiteral("import OrvelBox.Controls\nLabeledTextField { icon: \"key.fill\" }"),
            {{"title", title}, {"isSecure", isSecure}, {"isPasswordHidden", hidden}});
        QVERIFY(field);
        auto* entry = scene.find<QQuickItem>("entry");
        auto* eye = scene.find<QQuickItem>("eyeButton");
        auto* label = scene.find<QQuickItem>("fieldTitle");
        QVERIFY(entry && eye && label);
        QCOMPARE(eye->isVisible(), eyeShown);
        QCOMPARE(entry->property("echoMode").toInt() == 2 /* Password */, masked);
        QCOMPARE(label->isVisible(), !title.isEmpty());
    }

    void slidingBarFollowsWidth_data() {
        QTest::addColumn<qreal>("width");
        QTest::newRow("zero width") << 0.0;
        QTest::newRow("wide") << 640.0;
    }
    void slidingBarFollowsWidth() {
        QFETCH(qreal, width);
        QmlScene scene;
        QQuickItem* root =
            scene.load(QByteArrayLiteral("import QtQuick\nimport OrvelBox.Controls\n"
                                         "Item { EndlessSlidingProgressStyle { objectName: "
                                         "\"style\"; width: 300; barColor: \"blue\";"
                                         " trackColor: \"gray\"; barHeight: 20 } }"));
        QVERIFY(root);
        auto* style = scene.find<QQuickItem>("style");
        auto* bar = scene.find<QQuickItem>("slidingBar");
        QVERIFY(style && bar);
        QTRY_VERIFY(bar->x() > -120); // sliding
        style->setWidth(width);
        QCOMPARE(style->height(), 20.0);
        QCOMPARE(bar->width(), width * 0.4);
        QCOMPARE(bar->isVisible(), width > 0);
        if (width > 0) {
            // Cut off at the track's rounded end: with the bar across the left end, the
            // track's corner stays clear while the middle of the end shows the bar.
            style->setProperty("isAnimating", false);
            style->setProperty("phase", 0.2 / 1.4);
            QCOMPARE(bar->x(), -width * 0.2);
            const QImage picture = scene.grab();
            QCOMPARE(pixelsNear(picture.copy(0, 0, 3, 3), QColor("blue")), 0);
            QCOMPARE(pixelsNear(picture.copy(8, 8, 4, 4), QColor("blue")), 16);
        }
        QVERIFY(!scene.grab().isNull());
    }
};

QTEST_MAIN(TestToolkit)
#include "tst_toolkit.moc"
