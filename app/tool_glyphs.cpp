#include "tool_glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace {

constexpr int kSize = 18;

void DrawWindows(QPainter& p, const QRectF& a, const QRectF& b) {
    for (const QRectF& r : {a, b}) {
        p.setBrush(Qt::white);
        p.drawRect(r);
        p.fillRect(QRectF(r.left(), r.top(), r.width(), 3), QColor(0, 0, 128));
    }
}

void Draw(QPainter& p, ToolGlyph glyph) {
    p.setPen(QPen(Qt::black, 1));
    switch (glyph) {
    case ToolGlyph::Open: // an opening folder
        p.setBrush(QColor(255, 255, 128));
        p.drawPolygon(QPolygonF({{1, 5}, {6, 5}, {8, 7}, {15, 7}, {15, 15}, {1, 15}}));
        p.setBrush(QColor(224, 192, 64));
        p.drawPolygon(QPolygonF({{3, 9}, {17, 9}, {15, 15}, {1, 15}}));
        break;
    case ToolGlyph::Print:
        p.setBrush(Qt::white);
        p.drawRect(5, 2, 8, 6);
        p.setBrush(QColor(192, 192, 192));
        p.drawRect(2, 8, 14, 6);
        p.fillRect(12, 10, 2, 1, Qt::green);
        break;
    case ToolGlyph::Tile:
        DrawWindows(p, QRectF(1, 2, 7.5, 13), QRectF(9.5, 2, 7.5, 13));
        break;
    case ToolGlyph::Cascade:
        DrawWindows(p, QRectF(1, 1, 11, 10), QRectF(6, 6, 11, 10));
        break;
    case ToolGlyph::Arrange:
        for (int i = 0; i < 3; ++i) {
            p.setBrush(Qt::white);
            p.drawRect(1 + i * 6, 12, 4, 4);
        }
        break;
    case ToolGlyph::Sentence: // lines of text
        p.setBrush(Qt::white);
        p.drawRect(2, 1, 13, 16);
        p.setPen(QPen(QColor(0, 0, 255), 1));
        for (int y = 4; y <= 14; y += 3)
            p.drawLine(4, y, y % 2 ? 13 : 10, y);
        break;
    case ToolGlyph::Navigation: { // a compass needle
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(1, 1, 16, 16));
        p.setBrush(Qt::red);
        p.drawPolygon(QPolygonF({{9, 2}, {11, 9}, {7, 9}}));
        p.setBrush(Qt::black);
        p.drawPolygon(QPolygonF({{9, 16}, {11, 9}, {7, 9}}));
        break;
    }
    case ToolGlyph::Single: // signal bars
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 4; ++i)
            p.fillRect(2 + i * 4, 15 - (i + 1) * 3, 3, (i + 1) * 3 + 1, QColor(0, 128, 0));
        break;
    case ToolGlyph::Roadmap: { // a track on a grid
        p.setPen(QPen(QColor(160, 160, 160), 1));
        for (int v = 3; v < kSize; v += 5) {
            p.drawLine(v, 1, v, 16);
            p.drawLine(1, v, 16, v);
        }
        p.setPen(QPen(Qt::red, 2));
        QPainterPath track(QPointF(2, 15));
        track.cubicTo(6, 4, 11, 16, 16, 3);
        p.setBrush(Qt::NoBrush);
        p.drawPath(track);
        break;
    }
    case ToolGlyph::Satellite: // a sky plot with a satellite
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(1, 1, 16, 16));
        p.drawEllipse(QRectF(5, 5, 8, 8));
        p.setBrush(QColor(0, 0, 255));
        p.drawRect(10, 3, 4, 3);
        break;
    case ToolGlyph::About: // an "i"
        p.setBrush(QColor(0, 0, 160));
        p.drawEllipse(QRectF(1, 1, 16, 16));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(8, 3.5, 2.5, 2.5));
        p.drawRect(QRectF(8, 7.5, 2.5, 7));
        break;
    }
}

} // namespace

QIcon ToolGlyphIcon(ToolGlyph glyph) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    Draw(painter, glyph);
    painter.end();
    return QIcon(pixmap);
}
