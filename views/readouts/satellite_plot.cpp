#include "satellite_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "slot_text.h"

namespace {

// Computed once at start and used as constants.
const double kTan15 = std::tan(std::numbers::pi / 12);
const double kInvTan15 = 1 / kTan15;
const double kTan30 = std::tan(std::numbers::pi / 6);
const double kInvTan30 = 1 / kTan30;
const double kRadiansPerDegree = std::numbers::pi / 180;

PixelPoint At(double x, double y) {
    return {TruncToInt(x), TruncToInt(y)};
}

PixelLine Segment(double x1, double y1, double x2, double y2) {
    return {At(x1, y1), At(x2, y2)};
}

} // namespace

const std::array<const char*, kSkyLabelCount> kSkyLabels = {
    "360\xA2\x58", " 30\xA2\x58", " 60\xA2\x58", " 90\xA2\x58", "120\xA2\x58", "150\xA2\x58",
    "180\xA2\x58", "210\xA2\x58", "240\xA2\x58", "270\xA2\x58", "300\xA2\x58", "330\xA2\x58",
    "15\xA2\x58",  "30\xA2\x58",  "45\xA2\x58",  "60\xA2\x58",  "75\xA2\x58",
};

SkyGeometry LayoutSkyPlot(int side) {
    SkyGeometry g;
    g.s = std::max(side, 0);
    const double s = g.s;
    g.m = s * 0.5;
    g.u = s * (1.0 / 12);
    g.a = (11.0 / 12) * (s / 4) * kInvTan30;
    g.b = (g.m - g.u) * kTan30;
    g.e = g.m - (s / 4) * kInvTan30;
    const double m = g.m, u = g.u, a = g.a, b = g.b, e = g.e;

    g.horizon = {0, 0, g.s, g.s};
    for (int k = 1; k <= 5; ++k) {
        const PixelPoint topLeft = At(k * u, k * u);
        const PixelPoint bottomRight = At(s - k * u, s - k * u);
        g.rings[k - 1] = {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    }

    g.spokes = {
        Segment(m, 0, m, s),                 // north-south
        Segment(3 * s / 4, e, s / 4, s - e), // 30-210
        Segment(s - e, s / 4, e, 3 * s / 4), // 60-240
        Segment(s, m, 0, m),                 // east-west
        Segment(s - e, 3 * s / 4, e, s / 4), // 120-300
        Segment(3 * s / 4, s - e, s / 4, e), // 150-330
    };

    // The small offsets place each text beside its spoke end; the elevation
    // labels sit on the line 15° east of north, just inside their rings.
    g.labelAt = {
        At(m - 8, u / 2 - 8),                               // 360
        At(m + b - 16, m - a - 6),                          // 30
        At(m + a - 10, m - b),                              // 60
        At(s - u / 2 - 8, m - 8),                           // 90
        At(m + a - 8, m + b - 12),                          // 120
        At(m + b - 14, m + a - 8),                          // 150
        At(m - 8, s - u / 2 - 8),                           // 180
        At(m - b - 4, m + a - 8),                           // 210
        At(m - a - 12, m + b - 14),                         // 240
        At(u / 2 - 8, m - 8),                               // 270
        At(m - a - 11, m - b - 2),                          // 300
        At(m - b - 5, m - a - 6),                           // 330
        At(m - 8 + 5 * s / 48, m - 5 * s / 48 * kInvTan15), // 15
        At(m - 8 + 4 * s / 48, m - 4 * s / 48 * kInvTan15), // 30
        At(m - 8 + 3 * s / 48, m - 3 * s / 48 * kInvTan15), // 45
        At(m - 8 + 2 * s / 48, m - 2 * s / 48 * kInvTan15), // 60
        At(m - 8 + s / 48, m - s / 48 * kInvTan15),         // 75
    };
    return g;
}

void SkyPosition(double m, const GsvPart& gsv, int n, double (&x)[kSatelliteSlots],
                 double (&y)[kSatelliteSlots]) {
    n = std::clamp(n, 0, kSatelliteSlots);
    for (int i = 0; i < n; ++i) {
        const int el = SlotToInt(gsv.Elevation[i]);
        const int az = SlotToInt(gsv.Azimuth[i]);
        // The slots are 3 and 4 characters wide, so el and az stay small.
        const double r = m * (1.0 / 90) * (90 - el);
        if (az == 0 || az == 360) {
            x[i] = m;
            y[i] = m - r;
        } else if (az > 0 && az < 90) {
            const double t = az * kRadiansPerDegree;
            x[i] = m + r * std::sin(t);
            y[i] = m - r * std::cos(t);
        } else if (az == 90) {
            x[i] = m + r;
            y[i] = m;
        } else if (az > 90 && az < 180) {
            const double t = (az - 90) * kRadiansPerDegree;
            x[i] = m + r * std::cos(t);
            y[i] = m + r * std::sin(t);
        } else if (az == 180) {
            x[i] = m;
            y[i] = m + r;
        } else if (az > 180 && az < 270) {
            const double t = (az - 180) * kRadiansPerDegree;
            x[i] = m - r * std::sin(t);
            y[i] = m + r * std::cos(t);
        } else if (az == 270) {
            x[i] = m - r;
            y[i] = m;
        } else if (az > 270 && az < 360) {
            const double t = (az - 270) * kRadiansPerDegree;
            x[i] = m - r * std::cos(t);
            y[i] = m - r * std::sin(t);
        }
        // Below 0 or above 360: left as it was.
    }
}

std::array<PixelLine, 3> SatelliteScene::fixLines() const {
    std::array<PixelLine, 3> lines{};
    for (int i = 0; i < fixPointCount; ++i)
        lines[i] = {fixPoints[i], fixPoints[(i + 1) % fixPointCount]};
    return lines;
}

SatelliteScene BuildSatelliteScene(const ReceiverState& state, const SkyGeometry& geometry) {
    SatelliteScene scene;
    const GsvPart& gsv = state.Gsv;
    scene.n = std::clamp(SlotToInt(gsv.SatellitesInView), 0, kSatelliteSlots);
    SkyPosition(geometry.m, gsv, scene.n, scene.x, scene.y);

    switch (SlotChar(state.Gsa.FixType)) {
    case '2':
        scene.crossColour = kSkyBlue;
        break;
    case '3':
        scene.crossColour = kSkyRed;
        break;
    default:
        scene.crossColour = kSkyLime;
        break;
    }

    char text[50];
    for (int i = 0; i < scene.n; ++i) {
        // A satellite without a signal is neither drawn nor traced.
        if (SlotToInt(gsv.Snr[i]) <= 0)
            continue;
        const double x = scene.x[i], y = scene.y[i];
        const SlotCString prn(gsv.Prn[i]);
        const SlotCString elevation(gsv.Elevation[i]);
        const SlotCString azimuth(gsv.Azimuth[i]);
        SatelliteMark& mark = scene.marks[scene.markCount++];
        mark.slot = i;
        mark.x = x;
        mark.y = y;
        mark.cross = {Segment(x - 3, y - 3, x + 3, y + 3), Segment(x + 3, y - 3, x - 3, y + 3)};
        mark.prnAt = At(x - 3, y + 5);
        std::snprintf(text, sizeof text, "SV=%s", prn.c_str());
        mark.prnText = text;
        mark.elevationAzimuthAt = At(x - 3, y + 17);
        std::snprintf(text, sizeof text, "E=%s ,A=%s\xA2\x58", elevation.c_str(), azimuth.c_str());
        mark.elevationAzimuthText = text;
        char line[160];
        std::snprintf(line, sizeof line, "SV = %s, E=%s ,A=%s\xA2\x58, (%f,%f)\r\n", prn.c_str(),
                      elevation.c_str(), azimuth.c_str(), x, y);
        mark.traceLine = line;
    }

    // The fix line joins the first three used satellites that are in view. An
    // empty entry names no satellite, so it never matches an empty PRN slot.
    if (SlotToInt(state.Gga.SatellitesUsed) > 2) {
        for (int j = 0; j < 3; ++j) {
            const std::string_view used = SlotView(state.Gsa.UsedPrn[j]);
            if (used.empty())
                continue;
            for (int k = 0; k < scene.n; ++k) {
                if (SlotView(gsv.Prn[k]) == used) {
                    scene.fixPoints[scene.fixPointCount++] = At(scene.x[k], scene.y[k]);
                    break;
                }
            }
        }
    }
    return scene;
}
