// The sky plot's geometry and what one tick draws on it, computed without any
// widget: the layout once per resize, the satellites once per tick.
//
// North is up, east right; the centre is the zenith, the outer circle the
// horizon. Coordinates handed to drawing are truncated toward zero to whole
// pixels (saturating).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "readout_pixels.h"
#include "receiver_state.h"

// Colours as 0x00BBGGRR.
inline constexpr uint32_t kSkyGreen = 0x008000;
inline constexpr uint32_t kSkyBlack = 0x000000;
inline constexpr uint32_t kSkyWhite = 0xFFFFFF;
inline constexpr uint32_t kSkyLime = 0x00FF00;
inline constexpr uint32_t kSkyBlue = 0xFF0000;
inline constexpr uint32_t kSkyRed = 0x0000FF;
inline constexpr uint32_t kSkyYellow = 0x00FFFF;

inline constexpr int kSkyLabelCount = 17;
// The 12 azimuth labels clockwise from north, then the elevation labels 15°
// to 75°, with the degree sign as the Big5 bytes 0xA2 0x58.
extern const std::array<const char*, kSkyLabelCount> kSkyLabels;

// What a resize fixes: the plot side s and everything derived from it.
struct SkyGeometry {
    int s = 0;
    double m = 0; // centre x and y, and the horizon radius
    double u = 0; // ring spacing
    double a = 0;
    double b = 0;
    double e = 0;
    PixelBox horizon;                               // (0, 0)-(s, s)
    std::array<PixelBox, 5> rings;                  // 15° .. 75°, outermost first
    std::array<PixelLine, 6> spokes;                // in drawing order
    std::array<PixelPoint, kSkyLabelCount> labelAt; // top-left of each label
};

SkyGeometry LayoutSkyPlot(int s);

// The sky mapping: positions of satellites 0 .. n - 1 from their elevation and
// azimuth texts. Entries whose azimuth is outside 0..360 keep what x and y
// held (the caller starts from zero, the top-left corner).
void SkyPosition(double m, const GsvPart& gsv, int n, double (&x)[kSatelliteSlots],
                 double (&y)[kSatelliteSlots]);

// One satellite as drawn: cross, two texts and its trace line.
struct SatelliteMark {
    int slot = 0;
    double x = 0; // untruncated position, as traced
    double y = 0;
    std::array<PixelLine, 2> cross;
    PixelPoint prnAt;
    std::string prnText; // "SV=%s"
    PixelPoint elevationAzimuthAt;
    std::string elevationAzimuthText; // "E=%s ,A=%s°"
    std::string traceLine;            // "SV = %s, E=%s ,A=%s°, (%f,%f)\r\n"
};

// What one tick draws over the static background.
struct SatelliteScene {
    int n = 0; // satellites handled: Gsv.SatellitesInView, at most 12
    double x[kSatelliteSlots] = {};
    double y[kSatelliteSlots] = {};
    uint32_t crossColour = kSkyLime; // by Gsa.FixType
    // Satellites with a signal, in slot order (at most 12).
    std::array<SatelliteMark, kSatelliteSlots> marks;
    int markCount = 0;
    // Corners of the fix line through the first three used satellites.
    std::array<PixelPoint, 3> fixPoints;
    int fixPointCount = 0;

    // The yellow segments: each corner to the next and the last back to the
    // first (two corners give one segment there and back, one a zero length).
    std::array<PixelLine, 3> fixLines() const;
};

SatelliteScene BuildSatelliteScene(const ReceiverState& state, const SkyGeometry& geometry);
