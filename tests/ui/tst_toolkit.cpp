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
    // The menu card's gradient is given as hex text.
    void colourFromHex_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("six lower-case digits") << "25252e" << QColor::fromRgb(37, 37, 46, 255);
        QTest::newRow("hash and six digits") << "#474759" << QColor::fromRgb(71, 71, 89, 255);
        QTest::newRow("eight digits, alpha first")
            << "#80FF0000" << QColor::fromRgb(255, 0, 0, 128);
        QTest::newRow("five digits") << "#12345" << QColor::fromRgb(1, 1, 1, 1);
    }
    void colourFromHex() {
        QFETCH(QString, text);
        QFETCH(QColor, expected);
        const QColor c = colorFromHex(text);
        QCOMPARE(c.rgba(), expected.rgba());
        QCOMPARE(c.spec(), QColor::Rgb);
    }

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

    void verticalSizeClass() {
        Toolkit* toolkit = Toolkit::instance();
        const QString before = toolkit->idiom();
        toolkit->setIdiom(QStringLiteral("phone"));
        QCOMPARE(toolkit->verticalSizeClass(800, 390), QStringLiteral("compact"));
        QCOMPARE(toolkit->verticalSizeClass(390, 800), QStringLiteral("regular"));
        toolkit->setIdiom(QStringLiteral("pad"));
        QCOMPARE(toolkit->verticalSizeClass(1100, 700), QStringLiteral("regular"));
        toolkit->setIdiom(before);
    }

    // The eye shows on password fields only; the title takes no room when empty.
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
        auto* box = scene.find<QQuickItem>("fieldBox");
        QVERIFY(entry && eye && label && box);
        QCOMPARE(eye->isVisible(), eyeShown);
        QCOMPARE(entry->property("echoMode").toInt() == 2 /* Password */, masked);
        QCOMPARE(label->isVisible(), !title.isEmpty());
        QTRY_COMPARE(box->y(), title.isEmpty() ? 0.0 : label->height() + 8);
    }

    void eyeTwiceKeepsTextAndMasksAgain() {
        QmlScene scene;
        QQuickItem* field =
            scene.load(QByteArrayLiteral("import OrvelBox.Controls\n"
                                         "LabeledTextField { title: \"Пароль\"; icon: "
                                         "\"key.fill\"; isSecure: true; focus: true\n"
                                         "  onEdited: value => text = value }"));
        QVERIFY(field);
        auto* entry = scene.find<QQuickItem>("entry");
        auto* eye = scene.find<QQuickItem>("eyeButton");
        QVERIFY(entry && eye);
        entry->forceActiveFocus();
        typeText(scene.window(), QStringLiteral("s3cret"));
        QCOMPARE(field->property("text").toString(), QStringLiteral("s3cret"));
        const QPoint eyeCentre =
            eye->mapToScene(QPointF(eye->width() / 2, eye->height() / 2)).toPoint();
        QTest::mouseClick(&scene.window(), Qt::LeftButton, {}, eyeCentre);
        QCOMPARE(entry->property("echoMode").toInt(), 0);
        QCOMPARE(entry->property("text").toString(), QStringLiteral("s3cret"));
        QTest::mouseClick(&scene.window(), Qt::LeftButton, {}, eyeCentre);
        QCOMPARE(entry->property("echoMode").toInt(), 2);
        QCOMPARE(entry->property("text").toString(), QStringLiteral("s3cret"));
        QVERIFY(entry->hasActiveFocus()); // the eye does not take the focus from the entry
        // Typing goes on at the end of the text.
        typeText(scene.window(), QStringLiteral("!"));
        QCOMPARE(field->property("text").toString(), QStringLiteral("s3cret!"));
    }

    void slidingBarFollowsWidth_data() {
        QTest::addColumn<qreal>("width");
        QTest::newRow("zero width") << 0.0;
        QTest::newRow("narrow") << 100.0;
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
            // Left to right only: positions sampled over a while never step back except when a
            // new cycle starts at the far left.
            qreal last = bar->x();
            int restarts = 0;
            for (int i = 0; i < 60; ++i) {
                QTest::qWait(25);
                const qreal x = bar->x();
                QVERIFY(x >= -width * 0.4 - 0.5 && x <= width + 0.5);
                if (x < last) {
                    QVERIFY2(x < last - width * 0.5, "the bar moved backwards");
                    ++restarts;
                }
                last = x;
            }
            QVERIFY(restarts >= 1);
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
