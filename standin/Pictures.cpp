#include "Pictures.h"

#include <QBuffer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace standin::pictures {
namespace {

QByteArray png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Small fixed-output generator; the pictures must not change between runs.
quint32 step(quint64& state) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return quint32(state >> 33);
}

} // namespace

QByteArray portrait(quint64 seed, int size) {
    quint64 s = seed;
    static const QColor skins[] = {
        {241, 204, 177}, {224, 172, 135}, {198, 141, 101}, {160, 110, 80}};
    static const QColor hairs[] = {
        {40, 30, 25}, {95, 60, 35}, {180, 140, 90}, {120, 120, 125}, {20, 20, 20}};
    const QColor background = QColor::fromHsv(int(step(s) % 360), 60, 225);
    const QColor clothes = QColor::fromHsv(int(step(s) % 360), 120, 110);
    const QColor skin = skins[step(s) % 4];
    const QColor hair = hairs[step(s) % 5];
    const bool longHair = step(s) % 2;

    QImage image(size, size, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 100.0, size / 100.0);
    QLinearGradient sky(0, 0, 0, 100);
    sky.setColorAt(0, background.lighter(110));
    sky.setColorAt(1, background.darker(115));
    p.fillRect(QRectF(0, 0, 100, 100), sky);
    p.setPen(Qt::NoPen);
    if (longHair) {
        p.setBrush(hair);
        p.drawRoundedRect(QRectF(28, 24, 44, 52), 18, 18);
    }
    p.setBrush(clothes);
    p.drawEllipse(QRectF(14, 72, 72, 60));
    p.setBrush(skin.darker(108));
    p.drawRect(QRectF(43, 58, 14, 16));
    p.setBrush(skin);
    p.drawEllipse(QRectF(32, 24, 36, 42));
    p.setBrush(hair);
    QPainterPath cap;
    cap.moveTo(31, 42);
    cap.cubicTo(30, 14, 70, 14, 69, 42);
    cap.cubicTo(62, 30, 40, 30, 31, 42);
    p.drawPath(cap);
    p.setBrush(QColor(60, 50, 45));
    p.drawEllipse(QRectF(41, 43, 4, 4));
    p.drawEllipse(QRectF(55, 43, 4, 4));
    p.end();
    return png(image);
}

QByteArray scene(quint64 seed, int width, int height) {
    quint64 s = seed;
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(width / 160.0, height / 90.0);
    const int hue = int(step(s) % 360);
    QLinearGradient sky(0, 0, 0, 90);
    sky.setColorAt(0, QColor::fromHsv(hue, 90, 235));
    sky.setColorAt(1, QColor::fromHsv((hue + 40) % 360, 50, 250));
    p.fillRect(QRectF(0, 0, 160, 90), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 236, 170));
    p.drawEllipse(QPointF(20 + step(s) % 120, 18 + step(s) % 12), 9, 9);

    qreal x = -5;
    while (x < 160) {
        const qreal w = 16 + step(s) % 22;
        const qreal h = 25 + step(s) % 45;
        const QColor wall =
            QColor::fromHsv((hue + 180) % 360, 30 + step(s) % 40, 90 + step(s) % 60);
        p.setBrush(wall);
        p.drawRect(QRectF(x, 78 - h, w, h));
        p.setBrush(QColor(255, 240, 190, 200));
        for (qreal wy = 82 - h; wy < 72; wy += 7)
            for (qreal wx = x + 3; wx < x + w - 4; wx += 6)
                if (step(s) % 3)
                    p.drawRect(QRectF(wx, wy, 3, 3.5));
        x += w + 2;
    }
    p.setBrush(QColor::fromHsv(100, 90, 120));
    p.drawRect(QRectF(0, 78, 160, 12));
    p.end();
    return png(image);
}

} // namespace standin::pictures
