// The real-time position plot without its window: the scale table, the grid
// layout, the decimal-degree texts and where each GGA position lands.
//
// Colours are 0x00BBGGRR values.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "decimal_degrees.h"
#include "receiver_state.h"

constexpr int kRoadmapZoomLevels = 8;
constexpr int kRoadmapInitialZoom = 2;
constexpr int kRoadmapInitialSpacing = 25;
constexpr int kRoadmapMargin = 40;
// Segments per direction in the grid tables; lines 0..n need n + 1 of them.
constexpr int kRoadmapGridLines = 40;
// Largest even cell count whose n + 1 lines fit the tables.
constexpr int kRoadmapMaxCells = 38;
// A tiny window still gets a grid with a crossing at its centre.
constexpr int kRoadmapMinCells = 2;
// The decimal-degree texts of the origin and the newest point.
constexpr std::size_t kRoadmapTextSize = kDecimalDegreeTextSize;

constexpr uint32_t kRoadmapNewestColour = 0x0000FF; // red
constexpr int kRoadmapDotWidth = 4;

struct RoadmapScale {
    const char* range; // RangeEdit
    const char* unit;  // Label1
    float cellsPerDegree;
};

// Levels 0..7; out-of-range levels are clamped.
const RoadmapScale& RoadmapScaleAt(int level);

// Track colour for a colour index: a five-entry palette, index mod 5.
uint32_t RoadmapTrackColour(int colourIndex);

struct PlotPoint {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const PlotPoint&) const = default;
};

struct GridSegment {
    PlotPoint start;
    PlotPoint end;
};

struct RoadmapLayout {
    int cellCount = 0;
    int plotSide = 0;
    // Entries 0..cellCount are used; line 0 and line cellCount run the full side.
    std::array<GridSegment, kRoadmapGridLines> vertical{};
    std::array<GridSegment, kRoadmapGridLines> horizontal{};
    // Top-left corners of the controls, in client coordinates.
    PlotPoint upButton, rightButton, leftButton, downButton;
    PlotPoint rangePanel, lonLabel, latLabel;
};

// The layout for a client area and a grid spacing. The cell count is even and
// kept within kRoadmapMinCells..kRoadmapMaxCells, so the side is never zero or
// negative and the tables are never overrun.
RoadmapLayout ComputeRoadmapLayout(int clientWidth, int clientHeight, int gridSpacing);

// The program's one set of plot state. Grid spacing and colour index survive
// the window; the window sets the zoom level on creation and the point count
// on close.
struct RoadmapPlotState {
    int zoomLevel = kRoadmapInitialZoom;
    int gridSpacing = kRoadmapInitialSpacing;
    RoadmapLayout layout;
    PlotPoint origin;
    PlotPoint previous;
    PlotPoint newPoint;
    int pointCount = 0;
    int colourIndex = 0;
    char firstLat[kRoadmapTextSize] = {};
    char firstLon[kRoadmapTextSize] = {};
    char nextLat[kRoadmapTextSize] = {};
    char nextLon[kRoadmapTextSize] = {};
    // Hemisphere signs of the origin (+1 north/east, -1 south/west).
    int firstNorth = 1;
    int firstEast = 1;
};

RoadmapPlotState& RoadmapPlot();

// Runs the layout: new side and cell count, previous point back to the centre.
// The origin and the point count stay, so later dots still use the old origin.
void ApplyRoadmapLayout(RoadmapPlotState& plot, int clientWidth, int clientHeight);

// Restarts the track (next position becomes the origin) in the cleared colour
// and deletes "Roadmap.txt" when present. The caller redraws the grid.
void ClearRoadmapPlot(RoadmapPlotState& plot);

// One step in or out; false at the limits, where nothing changes.
bool ZoomRoadmapIn(RoadmapPlotState& plot);
bool ZoomRoadmapOut(RoadmapPlotState& plot);

struct RoadmapStep {
    enum Kind { NoPosition, Origin, Point } kind = NoPosition;
    // Cells north and east of the origin (Point only); east-west in metres
    // at the origin's latitude, like north-south.
    float deltaLat = 0.0f;
    float deltaLon = 0.0f;
    // Point only: the previous position in the track colour, then the new one in red.
    PlotPoint trackDot;
    PlotPoint newDot;
    uint32_t trackColour = 0;
};

// Takes one GGA position: the first after a clear becomes the origin at the
// centre, later ones land at their offset from it. North is up and east is
// right whatever the hemisphere.
RoadmapStep PlotGgaPosition(RoadmapPlotState& plot, const GgaPart& gga);

// Whether a dot drawn at p with the dot pen touches a side x side bitmap.
bool DotVisible(PlotPoint p, int side);
