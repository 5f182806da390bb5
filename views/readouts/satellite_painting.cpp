#include "satellite_painting.h"

#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <utility>
#include <vector>

#include "big5_text.h"
#include "readout_style.h"
#include "slot_text.h"

namespace {

// A drawing box (left, top)-(right, bottom) excludes its right and bottom
// edges; a Qt ellipse of width w covers w + 1 pixels, hence the - 1.
void DrawEllipseInBox(QPainter& painter, const PixelBox& box) {
    painter.drawEllipse(box.left, box.top, box.right - box.left - 1, box.bottom - box.top - 1);
}

void DrawLine(QPainter& painter, const PixelLine& line) {
    painter.drawLine(line.from.x, line.from.y, line.to.x, line.to.y);
}

// Text at its top-left corner on an opaque black box, as the canvas writes
// text with a solid black brush behind it.
void DrawBoxedText(QPainter& painter, const QFontMetrics& metrics, PixelPoint at,
                   const QString& text, int width, const QColor& colour) {
    painter.fillRect(QRect(at.x, at.y, width, metrics.height()), Qt::black);
    painter.setPen(colour);
    painter.drawText(at.x, at.y + metrics.ascent(), text);
}

void DrawBoxedText(QPainter& painter, const QFontMetrics& metrics, PixelPoint at,
                   const QString& text, const QColor& colour) {
    DrawBoxedText(painter, metrics, at, text, metrics.horizontalAdvance(text), colour);
}

// The widths of the labels in one font. A satellite's labels change every few
// minutes, so most ticks measure none (measuring shapes the text, as drawing does).
class TextWidths {
public:
    int Of(const QFontMetrics& metrics, const QString& text) {
        if (const auto found = widths_.constFind(text); found != widths_.cend())
            return *found;
        if (widths_.size() >= kMost)
            widths_.clear();
        return *widths_.insert(text, metrics.horizontalAdvance(text));
    }

private:
    static constexpr qsizetype kMost = 512;
    QHash<QString, int> widths_;
};

} // namespace

void FloodFillToBorder(QImage& image, int x, int y, QRgb border, QRgb fill) {
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        return;
    const int width = image.width(), height = image.height();
    if (x < 0 || y < 0 || x >= width || y >= height)
        return;
    const auto row = [&image](int line) { return reinterpret_cast<QRgb*>(image.scanLine(line)); };
    const auto open = [border, fill](QRgb c) { return c != border && c != fill; };
    if (!open(row(y)[x]))
        return;
    // Scanline fill: each seed fills its whole run, then seeds the runs above
    // and below it. The stack holds at most a few entries per row.
    std::vector<std::pair<int, int>> seeds{{x, y}};
    while (!seeds.empty()) {
        const auto [sx, sy] = seeds.back();
        seeds.pop_back();
        QRgb* line = row(sy);
        if (!open(line[sx]))
            continue;
        int left = sx, right = sx;
        while (left > 0 && open(line[left - 1]))
            --left;
        while (right + 1 < width && open(line[right + 1]))
            ++right;
        std::fill(line + left, line + right + 1, fill);
        for (const int ny : {sy - 1, sy + 1}) {
            if (ny < 0 || ny >= height)
                continue;
            const QRgb* next = row(ny);
            for (int i = left; i <= right; ++i)
                if (open(next[i]) && (i == left || !open(next[i - 1])))
                    seeds.emplace_back(i, ny);
        }
    }
}

QImage RenderSkyBackground(const SkyGeometry& geometry, QColor buttonFace) {
    if (geometry.s <= 0)
        return {};
    const QColor green = FromColourRef(kSkyGreen);
    const QColor black = FromColourRef(kSkyBlack);
    // The fill must stop at the green circle and nowhere else.
    if (buttonFace.rgb() == green.rgb() || buttonFace.rgb() == black.rgb())
        buttonFace = QColor(0xF0, 0xF0, 0xF0);

    QImage image(geometry.s, geometry.s, QImage::Format_RGB32);
    image.fill(buttonFace);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(green);
    pen.setWidth(1);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    DrawEllipseInBox(painter, geometry.horizon);
    painter.end();

    FloodFillToBorder(image, TruncToInt(geometry.m), TruncToInt(geometry.m), green.rgb(),
                      black.rgb());

    painter.begin(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    for (const PixelBox& ring : geometry.rings)
        DrawEllipseInBox(painter, ring);

    // The dash of a Windows cosmetic dashed pen: 18 on, 6 off.
    QPen dashed = pen;
    dashed.setDashPattern({18, 6});
    painter.setPen(dashed);
    for (const PixelLine& spoke : geometry.spokes)
        DrawLine(painter, spoke);

    const QFont font = TimesFont(10);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const QColor white = FromColourRef(kSkyWhite);
    for (int i = 0; i < kSkyLabelCount; ++i)
        DrawBoxedText(painter, metrics, geometry.labelAt[i], FromBig5(kSkyLabels[i]), white);
    return image;
}

void DrawSatelliteScene(QImage& image, const SatelliteScene& scene) {
    if (image.isNull())
        return;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QFont font = TimesFont(8);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    thread_local TextWidths widths;
    const QColor lime = FromColourRef(kSkyLime);
    const QPen crossPen(FromColourRef(scene.crossColour), 2, Qt::SolidLine, Qt::RoundCap,
                        Qt::RoundJoin);
    for (int i = 0; i < scene.markCount; ++i) {
        const SatelliteMark& mark = scene.marks[i];
        painter.setPen(crossPen);
        DrawLine(painter, mark.cross[0]);
        DrawLine(painter, mark.cross[1]);
        const QString prn = FromBig5(mark.prnText);
        DrawBoxedText(painter, metrics, mark.prnAt, prn, widths.Of(metrics, prn), lime);
        const QString elevationAzimuth = FromBig5(mark.elevationAzimuthText);
        DrawBoxedText(painter, metrics, mark.elevationAzimuthAt, elevationAzimuth,
                      widths.Of(metrics, elevationAzimuth), lime);
    }

    QPen yellow(FromColourRef(kSkyYellow));
    yellow.setWidth(1);
    yellow.setCosmetic(true);
    painter.setPen(yellow);
    const std::array<PixelLine, 3> lines = scene.fixLines();
    for (int i = 0; i < scene.fixPointCount; ++i)
        DrawLine(painter, lines[i]);
}
