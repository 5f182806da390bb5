#include "logo_art.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdint>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kOrbitTilt = -18.0; // degrees
constexpr double kOrbitWidth = 1.45; // x radius
constexpr double kOrbitHeight = 0.42;

QFont ArtFont(int pixelSize, int weight) {
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Sans Serif")});
    font.setPixelSize(pixelSize);
    font.setWeight(static_cast<QFont::Weight>(weight));
    return font;
}

// Orbit half in front of the globe (lower half of the tilted ellipse) or behind it.
void PaintOrbitHalf(QPainter& p, QPointF centre, double radius, bool front) {
    p.save();
    p.translate(centre);
    p.rotate(kOrbitTilt);
    const QRectF orbit(-radius * kOrbitWidth, -radius * kOrbitHeight, 2 * radius * kOrbitWidth,
                       2 * radius * kOrbitHeight);
    QPen pen(QColor(242, 193, 78), std::max(1.5, radius / 45.0));
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    // Qt angles: 0 at three o'clock, counter-clockwise, in 1/16 degree.
    p.drawArc(orbit, front ? 180 * 16 : 0, 180 * 16);
    p.restore();
}

void PaintGlobe(QPainter& p, QPointF centre, double radius) {
    QRadialGradient sea(centre - QPointF(radius * 0.35, radius * 0.4), radius * 1.4);
    sea.setColorAt(0.0, QColor(96, 178, 232));
    sea.setColorAt(0.55, QColor(31, 104, 170));
    sea.setColorAt(1.0, QColor(9, 42, 84));
    p.setPen(Qt::NoPen);
    p.setBrush(sea);
    p.drawEllipse(centre, radius, radius);

    QPainterPath disc;
    disc.addEllipse(centre, radius, radius);
    p.save();
    p.setClipPath(disc);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(200, 235, 255, 90), std::max(1.0, radius / 110.0)));
    // Parallels seen slightly from above, meridians as narrowing ellipses.
    for (int i = -2; i <= 2; ++i) {
        const double lat = i * 30.0 * kPi / 180.0;
        const double y = centre.y() - radius * std::sin(lat);
        const double half = radius * std::cos(lat);
        p.drawEllipse(QPointF(centre.x(), y), half, half * 0.16);
    }
    for (int i = 0; i < 6; ++i) {
        const double lon = (i * 30.0 + 10.0) * kPi / 180.0;
        p.drawEllipse(centre, radius * std::abs(std::cos(lon)), radius);
    }
    // Night side shading for some depth.
    QLinearGradient shade(centre - QPointF(radius, radius), centre + QPointF(radius, radius));
    shade.setColorAt(0.45, QColor(0, 0, 0, 0));
    shade.setColorAt(1.0, QColor(0, 8, 24, 150));
    p.fillPath(disc, shade);
    p.restore();

    p.setPen(QPen(QColor(160, 215, 255, 140), std::max(1.0, radius / 80.0)));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, radius, radius);
}

void PaintSatellite(QPainter& p, QPointF at, double size, double angle) {
    p.save();
    p.translate(at);
    p.rotate(angle);
    const QColor panel(70, 130, 200);
    const QColor frame(225, 235, 245);
    p.setPen(QPen(frame, std::max(1.0, size / 14.0)));
    p.drawLine(QPointF(-size * 1.6, 0), QPointF(size * 1.6, 0));
    p.setBrush(panel);
    p.drawRect(QRectF(-size * 2.4, -size * 0.45, size * 1.4, size * 0.9));
    p.drawRect(QRectF(size * 1.0, -size * 0.45, size * 1.4, size * 0.9));
    p.setBrush(QColor(230, 200, 120));
    p.drawRoundedRect(QRectF(-size * 0.55, -size * 0.55, size * 1.1, size * 1.1), size * 0.2,
                      size * 0.2);
    p.restore();
}

QPointF OrbitPoint(QPointF centre, double radius, double degrees) {
    const double a = degrees * kPi / 180.0;
    const double x = radius * kOrbitWidth * std::cos(a);
    const double y = -radius * kOrbitHeight * std::sin(a);
    const double tilt = kOrbitTilt * kPi / 180.0;
    return centre + QPointF(x * std::cos(tilt) - y * std::sin(tilt),
                            x * std::sin(tilt) + y * std::cos(tilt));
}

} // namespace

void PaintLogoEmblem(QPainter& painter, QPointF centre, double radius) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    PaintOrbitHalf(painter, centre, radius, false);
    PaintGlobe(painter, centre, radius);
    PaintOrbitHalf(painter, centre, radius, true);

    const QPointF satellite = OrbitPoint(centre, radius, 35.0);
    // Signal rings from the satellite down to the globe.
    const QPointF toGlobe = centre - satellite;
    const double reach = std::hypot(toGlobe.x(), toGlobe.y());
    const double heading = std::atan2(toGlobe.y(), toGlobe.x()) * 180.0 / kPi;
    painter.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 3; ++i) {
        const double r = reach * 0.12 * i;
        painter.setPen(QPen(QColor(255, 236, 170, 235 - 45 * i), std::max(1.2, radius / 50.0)));
        painter.drawArc(QRectF(satellite.x() - r, satellite.y() - r, 2 * r, 2 * r),
                        static_cast<int>((-heading - 25.0) * 16), 50 * 16);
    }
    PaintSatellite(painter, satellite, radius / 11.0, kOrbitTilt + 30.0);
    painter.restore();
}

QImage MakeLogoSplashArt() {
    QImage image(640, 427, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient sky(0, 0, 0, image.height());
    sky.setColorAt(0.0, QColor(7, 18, 40));
    sky.setColorAt(1.0, QColor(16, 52, 84));
    p.fillRect(image.rect(), sky);
    QRadialGradient glow(QPointF(180, 216), 230);
    glow.setColorAt(0.0, QColor(60, 140, 200, 110));
    glow.setColorAt(1.0, QColor(60, 140, 200, 0));
    p.fillRect(image.rect(), glow);

    // Fixed pseudo-random stars, so every build draws the same sky.
    std::uint32_t seed = 20240611u;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 140; ++i) {
        const double x = next() % 640;
        const double y = next() % 427;
        const int alpha = 60 + static_cast<int>(next() % 160);
        const double r = (next() % 10) < 8 ? 0.8 : 1.4;
        p.setBrush(QColor(230, 240, 255, alpha));
        p.drawEllipse(QPointF(x, y), r, r);
    }

    PaintLogoEmblem(p, QPointF(180, 216), 108);

    p.setPen(QColor(250, 252, 255));
    p.setFont(ArtFont(62, QFont::Bold));
    p.drawText(QRectF(352, 120, 280, 80), Qt::AlignLeft | Qt::AlignBottom,
               QStringLiteral("Skyvane"));
    p.setPen(QColor(242, 193, 78));
    p.fillRect(QRectF(356, 206, 250, 2), QColor(242, 193, 78));
    p.setPen(QColor(150, 205, 245));
    p.setFont(ArtFont(26, QFont::DemiBold));
    p.drawText(QPointF(356, 244), QStringLiteral("GPS_Quillmar"));
    p.setPen(QColor(185, 205, 225));
    p.setFont(ArtFont(15, QFont::Normal));
    p.drawText(QPointF(357, 272), QStringLiteral("GPS receiver utility  \u00b7  Version 1.93"));
    p.setPen(QColor(120, 145, 170));
    p.setFont(ArtFont(12, QFont::Normal));
    p.drawText(QRectF(0, 392, 624, 24), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Zentu Technology Co., LTD"));
    p.end();
    return image;
}

QImage MakeProgramIconArt() {
    QImage image(449, 219, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient sky(0, 0, 0, image.height());
    sky.setColorAt(0.0, QColor(10, 28, 58));
    sky.setColorAt(1.0, QColor(22, 70, 110));
    p.fillRect(image.rect(), sky);

    PaintLogoEmblem(p, QPointF(102, 110), 64);

    p.setPen(QColor(250, 252, 255));
    p.setFont(ArtFont(64, QFont::Bold));
    p.drawText(QRectF(214, 40, 230, 90), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Sky"));
    p.setPen(QColor(242, 193, 78));
    p.drawText(QRectF(214, 110, 230, 90), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("vane"));
    p.end();
    return image;
}
