// Painting the sky plot into an off-screen image, from what satellite_plot.h
// computed. The background (horizon, black disc, rings, spokes, labels) is
// the same every tick, so it is rendered once per resize and copied.
#pragma once

#include <QColor>
#include <QImage>

#include "satellite_plot.h"

// Fills the connected region of pixels around (x, y) that are neither the
// border colour nor already the fill colour, four-connected, as a flood fill
// bounded by a border colour does. Works on RGB32 images; the seed outside
// the image or on the border paints nothing.
void FloodFillToBorder(QImage& image, int x, int y, QRgb border, QRgb fill);

// Button face, the green horizon with the black disc inside it, five rings,
// six dashed spokes and the 17 white labels on black. s x s, RGB32.
QImage RenderSkyBackground(const SkyGeometry& geometry, QColor buttonFace);

// The satellites (cross and two texts) and the yellow fix line, over the background.
void DrawSatelliteScene(QImage& image, const SatelliteScene& scene);
