// Fonts and colours shared by the navigation, satellite and signal windows.
#pragma once

#include <QColor>
#include <QFont>
#include <cstdint>

// "MS Sans Serif" at a character height in pixels; a metric-compatible sans
// face stands in where it is not installed.
QFont SansFont(int pixelHeight);
// "Times New Roman" (Liberation Serif has its metrics) at a point size shown
// as Windows shows it at 96 dpi: 10 points is 13 pixels.
QFont TimesFont(int pointSize);

// A 0x00BBGGRR colour value.
QColor FromColourRef(uint32_t colour);

// The platform's button-face colour.
QColor ButtonFace();
