#include "roadmap_plot.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <unistd.h>

#include "slot_text.h"

namespace {

// One degree taken as 111,111 m, divided by the Range of each level.
constexpr RoadmapScale kScaleTable[kRoadmapZoomLevels] = {
    {"0.1", "m", 1111111.0f}, {"1", "m", 111111.0f},     {"10", "m", 11111.1f},
    {"100", "m", 1111.11f},   {"1", "Km", 111.111f},     {"10", "Km", 11.1111f},
    {"100", "Km", 1.11111f},  {"1000", "Km", 0.111111f},
};

constexpr uint32_t kTrackPalette[5] = {0xFFFFFF, 0xFF0000, 0x00FF00, 0xFFFF00, 0x00FFFF};

// Only the stored text counts from here on, as for the origin.
double TextValue(const char (&text)[kRoadmapTextSize]) {
    return TextToDouble(text);
}

// Single precision holds the offsets in cells; keep a garbage position finite.
float ToCells(double value) {
    if (std::isnan(value))
        return 0.0f;
    return static_cast<float>(
        std::clamp(value, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX)));
}

// Metres east-west per metre north-south in one degree, at a latitude in
// degrees. Garbage latitudes (beyond the poles, not a number) count as the
// equator's, so a broken origin still plots.
double EastWestScale(double latitudeDegrees) {
    if (!(std::fabs(latitudeDegrees) <= 90.0))
        return 1.0;
    return std::cos(latitudeDegrees * M_PI / 180.0);
}

} // namespace

const RoadmapScale& RoadmapScaleAt(int level) {
    return kScaleTable[std::clamp(level, 0, kRoadmapZoomLevels - 1)];
}

uint32_t RoadmapTrackColour(int colourIndex) {
    const int n = static_cast<int>(std::size(kTrackPalette));
    return kTrackPalette[((colourIndex % n) + n) % n];
}

RoadmapLayout ComputeRoadmapLayout(int clientWidth, int clientHeight, int gridSpacing) {
    if (gridSpacing <= 0)
        gridSpacing = kRoadmapInitialSpacing;
    const int smaller = clientHeight < clientWidth ? clientHeight : clientWidth;
    int n = (smaller - 60 - 2 * kRoadmapMargin) / gridSpacing;
    if (n % 2 != 0)
        n -= 1;
    n = std::clamp(n, kRoadmapMinCells, kRoadmapMaxCells);
    const int side = n * gridSpacing + 60;
    const int half = side / 2;

    RoadmapLayout layout;
    layout.cellCount = n;
    layout.plotSide = side;
    for (int i = 0; i <= n; ++i) {
        const int at = 30 + i * gridSpacing;
        const bool full = i == 0 || i == n;
        const int from = full ? 0 : 10;
        const int to = full ? side : side - 10;
        layout.vertical[i] = {{at, from}, {at, to}};
        layout.horizontal[i] = {{from, at}, {to, at}};
    }
    const int m = kRoadmapMargin;
    layout.upButton = {half + m - 14, 16};
    layout.rightButton = {side + m + 14, half + m - 6};
    layout.leftButton = {16, half + m - 6};
    layout.downButton = {half + m - 14, side + m};
    layout.rangePanel = {side + m - 90, 16};
    layout.lonLabel = {60, 16};
    layout.latLabel = {10, 65};
    return layout;
}

RoadmapPlotState& RoadmapPlot() {
    static RoadmapPlotState plot;
    return plot;
}

void ApplyRoadmapLayout(RoadmapPlotState& plot, int clientWidth, int clientHeight) {
    plot.layout = ComputeRoadmapLayout(clientWidth, clientHeight, plot.gridSpacing);
    const int half = plot.layout.plotSide / 2;
    plot.previous = {half, half};
}

void ClearRoadmapPlot(RoadmapPlotState& plot) {
    plot.colourIndex = 1;
    plot.pointCount = 0;
    if (::access("Roadmap.txt", F_OK) == 0)
        ::unlink("Roadmap.txt");
}

bool ZoomRoadmapIn(RoadmapPlotState& plot) {
    if (plot.zoomLevel <= 0)
        return false;
    --plot.zoomLevel;
    return true;
}

bool ZoomRoadmapOut(RoadmapPlotState& plot) {
    if (plot.zoomLevel >= kRoadmapZoomLevels - 1)
        return false;
    ++plot.zoomLevel;
    return true;
}

RoadmapStep PlotGgaPosition(RoadmapPlotState& plot, const GgaPart& gga) {
    RoadmapStep step;
    if (SlotEmpty(gga.Latitude) || SlotEmpty(gga.Longitude))
        return step;
    const int north = SlotChar(gga.NorthSouth) == 'S' ? -1 : 1;
    const int east = SlotChar(gga.EastWest) == 'W' ? -1 : 1;

    if (plot.pointCount == 0) {
        const int half = plot.layout.plotSide / 2;
        plot.origin = {half, half};
        plot.previous = plot.origin;
        DecimalDegreeText(SlotView(gga.Latitude), 2, plot.firstLat);
        DecimalDegreeText(SlotView(gga.Longitude), 3, plot.firstLon);
        plot.firstNorth = north;
        plot.firstEast = east;
        plot.pointCount = 1;
        step.kind = RoadmapStep::Origin;
        return step;
    }

    DecimalDegreeText(SlotView(gga.Latitude), 2, plot.nextLat);
    DecimalDegreeText(SlotView(gga.Longitude), 3, plot.nextLon);
    if (plot.pointCount < INT_MAX)
        ++plot.pointCount;

    const double cells = RoadmapScaleAt(plot.zoomLevel).cellsPerDegree;
    const double originLat = plot.firstNorth * TextValue(plot.firstLat);
    step.kind = RoadmapStep::Point;
    step.deltaLat = ToCells(cells * (north * TextValue(plot.nextLat) - originLat));
    // A degree of longitude spans cos(latitude) of a degree of latitude: the
    // cells stay square in metres, as the Range says.
    step.deltaLon =
        ToCells(cells * EastWestScale(originLat) *
                (east * TextValue(plot.nextLon) - plot.firstEast * TextValue(plot.firstLon)));
    const long double spacing = plot.gridSpacing;
    plot.newPoint.x = TruncToInt(static_cast<double>(plot.origin.x + spacing * step.deltaLon));
    plot.newPoint.y = TruncToInt(static_cast<double>(plot.origin.y - spacing * step.deltaLat));
    step.trackDot = plot.previous;
    step.newDot = plot.newPoint;
    step.trackColour = RoadmapTrackColour(plot.colourIndex);
    plot.previous = plot.newPoint;
    return step;
}

bool DotVisible(PlotPoint p, int side) {
    const int reach = kRoadmapDotWidth;
    return p.x > -reach && p.y > -reach && p.x < side + reach && p.y < side + reach;
}
