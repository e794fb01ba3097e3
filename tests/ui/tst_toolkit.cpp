// Toolkit pieces the screens build on: colours from text, symbols, device idiom, the labelled
// field and the sliding progress bar.
#include "QmlScene.h"
#include "SystemColors.h"
#include "Toolkit.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QRegularExpression>
#include <QTest>

class TestToolkit : public QObject {
    Q_OBJECT

  private slots:
    // Each ligature of the table must be one glyph of the font (one it lacks draws as a word),
    // and an unknown name is warned of once.
    void symbols() {
        Toolkit* toolkit = Toolkit::instance();
        // Under a name of its own: a system copy of the font must not be drawn instead.
        QCOMPARE(toolkit->symbolFontFamily(), QStringLiteral("OrvelBox Icons"));
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
        QCOMPARE(toolkit->symbol(QString()), QString());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no\\.such\\.symbol"));
        const QString first = toolkit->symbol(QStringLiteral("no.such.symbol"));
        QTest::failOnWarning(QRegularExpression("no\\.such\\.symbol"));
        QCOMPARE(toolkit->symbol(QStringLiteral("no.such.symbol")), first);
        QVERIFY(!first.isEmpty());
    }

    // The menu card's gradient is given as hex text; what cannot be read is a faint colour.
    void colourFromHex_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("expected");
        const QColor faint = QColor::fromRgb(1, 1, 1, 1);
        QTest::newRow("hash and six digits") << "#FF8800" << QColor::fromRgb(255, 136, 0, 255);
        QTest::newRow("three digits double up") << "#A0f" << QColor::fromRgb(170, 0, 255, 255);
        QTest::newRow("eight digits, alpha first")
            << "#80FF0000" << QColor::fromRgb(255, 0, 0, 128);
        QTest::newRow("empty") << "" << faint;
        QTest::newRow("five digits") << "#12345" << faint;
        QTest::newRow("six letters of junk") << "zzzzzz" << QColor::fromRgb(0, 0, 0, 255);
        QTest::newRow("punctuation around") << "(#ff8800);" << QColor::fromRgb(255, 136, 0, 255);
    }
    void colourFromHex() {
        QFETCH(QString, text);
        QFETCH(QColor, expected);
        QCOMPARE(colorFromHex(text).rgba(), expected.rgba());
    }

    void idiomFromScreenSize_data() {
        QTest::addColumn<QSizeF>("millimetres");
        QTest::addColumn<QString>("idiom");
        QTest::newRow("just under 7 in") << QSizeF(106, 140) << "phone";
        QTest::newRow("7 in exactly") << QSizeF(106.68, 142.24) << "pad";
        QTest::newRow("unknown size") << QSizeF(0, 0) << "pad";
    }
    void idiomFromScreenSize() {
        QFETCH(QSizeF, millimetres);
        QFETCH(QString, idiom);
        QCOMPARE(Toolkit::idiomForScreen(millimetres), idiom);
    }

    void slidingBarFollowsWidth() {
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
        style->setWidth(640);
        QCOMPARE(style->height(), 20.0);
        QCOMPARE(bar->width(), 256.0);
        // Cut off at the track's rounded end: with the bar across the left end, the track's
        // corner stays clear while the middle of the end shows the bar.
        style->setProperty("isAnimating", false);
        style->setProperty("phase", 0.2 / 1.4);
        QCOMPARE(bar->x(), -128.0);
        const QImage picture = scene.window().grabWindow();
        QCOMPARE(pixelsNear(picture.copy(0, 0, 3, 3), QColor("blue")), 0);
        QCOMPARE(pixelsNear(picture.copy(8, 8, 4, 4), QColor("blue")), 16);
        style->setWidth(0);
        QCOMPARE(bar->width(), 0.0);
        QVERIFY(!bar->isVisible());
        QVERIFY(!scene.window().grabWindow().isNull());
    }
};

QTEST_MAIN(TestToolkit)
#include "tst_toolkit.moc"
