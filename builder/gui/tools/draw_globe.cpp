// draw_globe.cpp -- draws the window's icon, a globe with an orbiting ring, as a 48x48 PNG.
//
// The picture in builder/gui/icons/globe.png was made with this program; run it again after a
// change to the drawing: build the target tarnwick_draw_globe and pass it the output path.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QLinearGradient>

#include <cmath>
#include <cstdio>

namespace {

constexpr int kSize = 48;
constexpr double kPi = 3.14159265358979323846;

// The ring is an ellipse tilted by kTilt degrees around the globe's centre.
constexpr double kTilt = -24.0;
const QPointF kCentre(24.0, 24.5);
constexpr double kGlobeRadius = 15.5;
constexpr double kRingRx = 22.5;
constexpr double kRingRy = 6.5;

QPainterPath ringHalf(bool front)
{
    // The front half is the lower one in the ring's own frame (it passes before the globe).
    QPainterPath path;
    const double from = front ? 0.0 : 180.0;
    path.arcMoveTo(QRectF(-kRingRx, -kRingRy, 2 * kRingRx, 2 * kRingRy), from);
    path.arcTo(QRectF(-kRingRx, -kRingRy, 2 * kRingRx, 2 * kRingRy), from, -180.0);
    return path;
}

void drawRing(QPainter& p, bool front)
{
    p.save();
    p.translate(kCentre);
    p.rotate(kTilt);
    QLinearGradient gold(-kRingRx, 0, kRingRx, 0);
    gold.setColorAt(0.0, QColor(150, 95, 10));
    gold.setColorAt(0.5, QColor(255, 214, 90));
    gold.setColorAt(1.0, QColor(170, 110, 15));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(60, 35, 0, 150), 3.6, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(ringHalf(front));
    p.setPen(QPen(QBrush(gold), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(ringHalf(front));
    if (front) {
        // A small moon riding on the ring, in front of the globe.
        const double a = 62.0 * kPi / 180.0;
        const QPointF moon(kRingRx * std::cos(a), kRingRy * std::sin(a));
        QRadialGradient shine(moon + QPointF(-0.8, -0.8), 2.6);
        shine.setColorAt(0.0, QColor(255, 255, 255));
        shine.setColorAt(1.0, QColor(200, 205, 215));
        p.setPen(QPen(QColor(70, 70, 80), 0.8));
        p.setBrush(shine);
        p.drawEllipse(moon, 2.4, 2.4);
    }
    p.restore();
}

void drawGlobe(QPainter& p)
{
    const QRectF disc(kCentre.x() - kGlobeRadius, kCentre.y() - kGlobeRadius, 2 * kGlobeRadius,
                      2 * kGlobeRadius);
    QRadialGradient sea(kCentre + QPointF(-5, -6), kGlobeRadius * 1.5);
    sea.setColorAt(0.0, QColor(120, 200, 255));
    sea.setColorAt(0.55, QColor(30, 110, 210));
    sea.setColorAt(1.0, QColor(5, 35, 100));
    p.setPen(Qt::NoPen);
    p.setBrush(sea);
    p.drawEllipse(disc);

    // Land masses, clipped to the disc.
    QPainterPath clip;
    clip.addEllipse(disc);
    p.save();
    p.setClipPath(clip);
    p.setBrush(QColor(60, 160, 70));
    QPainterPath land;
    land.moveTo(14, 14);
    land.cubicTo(18, 10, 25, 11, 26, 15);
    land.cubicTo(27, 19, 22, 21, 23, 25);
    land.cubicTo(24, 29, 19, 31, 17, 27);
    land.cubicTo(15, 24, 10, 22, 14, 14);
    land.moveTo(29, 24);
    land.cubicTo(33, 21, 39, 23, 38, 28);
    land.cubicTo(37, 33, 33, 37, 30, 35);
    land.cubicTo(28, 33, 31, 30, 29, 24);
    land.moveTo(30, 11);
    land.cubicTo(33, 10, 36, 12, 35, 15);
    land.cubicTo(33, 16, 31, 14, 30, 11);
    p.drawPath(land);

    // Meridians and parallels.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 70), 0.7));
    for (double w : {0.35, 0.72})
        p.drawEllipse(kCentre, kGlobeRadius * w, kGlobeRadius);
    p.drawLine(QPointF(kCentre.x(), kCentre.y() - kGlobeRadius), QPointF(kCentre.x(), kCentre.y() + kGlobeRadius));
    for (double h : {-0.5, 0.0, 0.5}) {
        const double y = kCentre.y() + h * kGlobeRadius;
        const double half = kGlobeRadius * std::sqrt(1.0 - h * h);
        p.drawLine(QPointF(kCentre.x() - half, y), QPointF(kCentre.x() + half, y));
    }
    p.restore();

    // Rim and highlight.
    p.setPen(QPen(QColor(0, 25, 70), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(disc);
    QRadialGradient gloss(kCentre + QPointF(-6, -7), 7.0);
    gloss.setColorAt(0.0, QColor(255, 255, 255, 150));
    gloss.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(gloss);
    p.drawEllipse(kCentre + QPointF(-6, -7), 7.0, 7.0);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s output.png\n", argv[0]);
        return 2;
    }
    QGuiApplication app(argc, argv);
    QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        drawRing(p, false);
        drawGlobe(p);
        drawRing(p, true);
    }
    if (!image.convertToFormat(QImage::Format_ARGB32).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
