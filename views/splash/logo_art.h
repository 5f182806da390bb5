// The program's own artwork, drawn with QPainter: the globe-and-orbit emblem,
// the splash picture (rendered once by logo_splash_maker and stored as JPEG)
// and the about box's program icon (drawn when needed).
#pragma once

#include <QImage>
#include <QPointF>

class QPainter;

// Globe with its grid, a tilted orbit and a satellite, centred on `centre`;
// the orbit reaches about 1.45 x radius from the centre.
void PaintLogoEmblem(QPainter& painter, QPointF centre, double radius);

// The 640 x 427 splash picture.
QImage MakeLogoSplashArt();

// The about box's 449 x 219 program icon.
QImage MakeProgramIconArt();
