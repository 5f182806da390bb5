#include <cstring>
#include <gtest/gtest.h>

#include "roadmap_plot.h"
#include "roadmap_sentence_support.h"
#include "test_support.h"

namespace {

GgaPart Gga(std::string_view lat, std::string_view lon, char ns = 'N', char ew = 'E') {
    GgaPart gga{};
    FillSlot(gga.Latitude, lat);
    FillSlot(gga.Longitude, lon);
    gga.NorthSouth[0] = ns;
    gga.EastWest[0] = ew;
    return gga;
}

// Plot state as a fresh window at the default size leaves it.
RoadmapPlotState FreshPlot(int side = 298) {
    RoadmapPlotState plot;
    ApplyRoadmapLayout(plot, side + 40, side);
    return plot;
}

} // namespace

TEST(RoadmapLayout, CellCountAndSideFromTheSmallerSide) {
    struct Case {
        int width, height, cells, side;
    } cases[] = {
        {400, 298, 6, 210}, // (298 - 140) / 25 = 6
        {290, 500, 6, 210}, // 6.0
        {315, 315, 6, 210}, // 7, made even
        {365, 400, 8, 260}, // 9 made even
    };
    for (const Case& c : cases) {
        const RoadmapLayout layout = ComputeRoadmapLayout(c.width, c.height, 25);
        EXPECT_EQ(layout.cellCount, c.cells) << c.width << "x" << c.height;
        EXPECT_EQ(layout.plotSide, c.side) << c.width << "x" << c.height;
    }
}

TEST(RoadmapLayout, GridSegments) {
    const RoadmapLayout layout = ComputeRoadmapLayout(400, 298, 25);
    // Outer lines run the full side, inner ones are inset by 10.
    EXPECT_EQ(layout.vertical[0].start, (PlotPoint{30, 0}));
    EXPECT_EQ(layout.vertical[0].end, (PlotPoint{30, 210}));
    EXPECT_EQ(layout.vertical[1].start, (PlotPoint{55, 10}));
    EXPECT_EQ(layout.vertical[1].end, (PlotPoint{55, 200}));
    EXPECT_EQ(layout.horizontal[3].start, (PlotPoint{10, 105}));
    EXPECT_EQ(layout.horizontal[3].end, (PlotPoint{200, 105}));
    EXPECT_EQ(layout.horizontal[6].start, (PlotPoint{0, 180}));
    EXPECT_EQ(layout.horizontal[6].end, (PlotPoint{210, 180}));
}

TEST(RoadmapLayout, HugeWindowIsCappedWithinTheTables) {
    for (int spacing : {25, 30, 40, 50}) {
        const RoadmapLayout layout = ComputeRoadmapLayout(100000, 90000, spacing);
        EXPECT_EQ(layout.cellCount, kRoadmapMaxCells);
        EXPECT_EQ(layout.plotSide, kRoadmapMaxCells * spacing + 60);
        EXPECT_LT(layout.cellCount, kRoadmapGridLines);
        // The last line is the full-length closing line of the grid.
        EXPECT_EQ(layout.vertical[layout.cellCount].end.y, layout.plotSide);
    }
    // 39 cells would fit 40 lines but has no centre crossing.
    EXPECT_EQ(ComputeRoadmapLayout(39 * 25 + 140, 2000, 25).cellCount, 38);
}

TEST(RoadmapLayout, TinyWindowStillHasAPositiveSide) {
    for (int size : {-50, 0, 100, 164}) {
        EXPECT_EQ(ComputeRoadmapLayout(size, size, 25).cellCount, kRoadmapMinCells) << size;
        EXPECT_EQ(ComputeRoadmapLayout(size, size, 25).plotSide, 110) << size;
    }
}

TEST(RoadmapText, DecimalDegrees) {
    char text[kRoadmapTextSize];
    DecimalDegreeText("2502.1234", 2, text);
    EXPECT_STREQ(text, "25.035390");
    DecimalDegreeText("12130.5", 3, text);
    EXPECT_STREQ(text, "121.508333");
    DecimalDegreeText("0502.1234", 2, text);
    EXPECT_STREQ(text, "05.035390");
    DecimalDegreeText("00130.5000", 3, text);
    EXPECT_STREQ(text, "001.508333");
    // Rounding up to a whole degree carries into the degree digits.
    DecimalDegreeText("2559.999999", 2, text);
    EXPECT_STREQ(text, "26.000000");
}

TEST(RoadmapText, GarbageStaysInsideTheBuffer) {
    const char* inputs[] = {"",          "5",
                            "-",         "\xff\xfe\x01",
                            "25e999999", "99999999999",
                            ".",         "25-1.5",
                            "25abc",     "2599999999999999999999999"};
    for (const char* input : inputs) {
        char text[kRoadmapTextSize];
        std::memset(text, 'x', sizeof text);
        DecimalDegreeText(input, 2, text);
        EXPECT_LT(std::strlen(text), sizeof text) << input;
    }
}

TEST(RoadmapStepTest, OriginThenOffsetsFromIt) {
    RoadmapPlotState plot = FreshPlot();
    EXPECT_EQ(PlotGgaPosition(plot, Gga("2502.1234", "12130.5000")).kind, RoadmapStep::Origin);
    EXPECT_EQ(plot.origin, (PlotPoint{105, 105}));
    EXPECT_STREQ(plot.firstLat, "25.035390");
    EXPECT_STREQ(plot.firstLon, "121.508333");
    EXPECT_EQ(plot.pointCount, 1);

    // 0.0108 minutes = 0.000180 degree, about 20 m: two cells of 25 px up.
    const RoadmapStep up = PlotGgaPosition(plot, Gga("2502.1342", "12130.5000"));
    ASSERT_EQ(up.kind, RoadmapStep::Point);
    EXPECT_NEAR(up.deltaLat, 2.0f, 0.01f);
    EXPECT_EQ(up.deltaLon, 0.0f);
    EXPECT_EQ(up.trackDot, (PlotPoint{105, 105}));
    EXPECT_EQ(up.newDot.x, 105);
    EXPECT_NEAR(up.newDot.y, 55, 1);
    EXPECT_EQ(plot.previous, up.newDot);
    EXPECT_EQ(plot.pointCount, 2);

    // Back on the origin: the red dot on the centre, the previous one in track colour.
    const RoadmapStep back = PlotGgaPosition(plot, Gga("2502.1234", "12130.5000"));
    EXPECT_EQ(back.deltaLat, 0.0f);
    EXPECT_EQ(back.deltaLon, 0.0f);
    EXPECT_EQ(back.trackDot, up.newDot);
    EXPECT_EQ(back.newDot, (PlotPoint{105, 105}));
}

TEST(RoadmapStepTest, NorthIsUpAndEastIsRightInEveryHemisphere) {
    struct Case {
        char ns, ew;
        const char *lat, *lon;
        int dx, dy; // sign of the offset from the centre
    } cases[] = {
        {'N', 'E', "2502.1342", "12130.5108", +1, -1},
        {'N', 'W', "2502.1342", "12130.5108", -1, -1},
        {'S', 'E', "2502.1342", "12130.5108", +1, +1},
        {'S', 'W', "2502.1342", "12130.5108", -1, +1},
    };
    for (const Case& c : cases) {
        RoadmapPlotState plot = FreshPlot();
        PlotGgaPosition(plot, Gga("2502.1234", "12130.5000", c.ns, c.ew));
        const RoadmapStep step = PlotGgaPosition(plot, Gga(c.lat, c.lon, c.ns, c.ew));
        EXPECT_EQ((step.newDot.x > 105) - (step.newDot.x < 105), c.dx) << c.ns << c.ew;
        EXPECT_EQ((step.newDot.y > 105) - (step.newDot.y < 105), c.dy) << c.ns << c.ew;
    }
    // Crossing the equator: 0.000180 degree either side is 4 cells apart.
    RoadmapPlotState plot = FreshPlot();
    PlotGgaPosition(plot, Gga("0000.0054", "12130.5000", 'N'));
    const RoadmapStep step = PlotGgaPosition(plot, Gga("0000.0054", "12130.5000", 'S'));
    EXPECT_NEAR(step.deltaLat, -0.00018 * 11111.1, 0.01);
}

// The Range is metres per cell both ways: a degree of longitude is shorter
// than one of latitude by cos(latitude).
TEST(RoadmapStepTest, EastWestIsMetricAtTheOriginsLatitude) {
    // On the equator, 0.000180 degree east (about 20 m) is two cells of 25 px
    // right of the centre, as 20 m north is two cells up.
    RoadmapPlotState equator = FreshPlot();
    PlotGgaPosition(equator, Gga("0000.0000", "12130.5000"));
    const RoadmapStep east = PlotGgaPosition(equator, Gga("0000.0000", "12130.5108"));
    EXPECT_NEAR(east.deltaLon, 0.00018 * 11111.1, 0.01);
    EXPECT_NEAR(east.newDot.x, 155, 1);
    EXPECT_EQ(east.newDot.y, 105);

    // At 48.9 degrees (Paris) 20 m east is 0.000274 degree of longitude: two
    // cells too, in either hemisphere.
    for (char ns : {'N', 'S'}) {
        RoadmapPlotState paris = FreshPlot();
        PlotGgaPosition(paris, Gga("4854.0000", "00220.0000", ns));
        const RoadmapStep step = PlotGgaPosition(paris, Gga("4854.0000", "00220.0164", ns));
        EXPECT_NEAR(step.deltaLon, 2.0f, 0.01f) << ns;
        EXPECT_NEAR(step.newDot.x, 155, 1) << ns;
        EXPECT_EQ(step.newDot.y, 105) << ns;
    }
}

TEST(RoadmapStepTest, AbsurdPositionsSaturateAndAreNotVisible) {
    RoadmapPlotState plot = FreshPlot();
    plot.zoomLevel = 0;
    PlotGgaPosition(plot, Gga("2502.1234", "12130.5000"));
    const char* far[] = {"25e99999999", "99999999999", "-9999999999"};
    for (const char* lat : far) {
        const RoadmapStep step = PlotGgaPosition(plot, Gga(lat, far[1]));
        ASSERT_EQ(step.kind, RoadmapStep::Point);
        EXPECT_FALSE(DotVisible(step.newDot, plot.layout.plotSide)) << lat;
    }
    EXPECT_TRUE(DotVisible({105, 105}, 210));
    EXPECT_TRUE(DotVisible({-2, 211}, 210));
    EXPECT_FALSE(DotVisible({-100, 105}, 210));
}

TEST(RoadmapStepTest, ResizeKeepsTheOldOriginUntilAClear) {
    RoadmapPlotState plot = FreshPlot(298);
    PlotGgaPosition(plot, Gga("2502.1234", "12130.5000"));
    ApplyRoadmapLayout(plot, 600, 600); // 18 cells, side 510
    EXPECT_EQ(plot.previous, (PlotPoint{255, 255}));
    const RoadmapStep step = PlotGgaPosition(plot, Gga("2502.1234", "12130.5000"));
    EXPECT_EQ(step.trackDot, (PlotPoint{255, 255}));
    EXPECT_EQ(step.newDot, (PlotPoint{105, 105}));
}

TEST(RoadmapClear, ColourZoomAndRoadmapFile) {
    TempWorkDir dir;
    RoadmapPlotState plot = FreshPlot();
    EXPECT_EQ(RoadmapTrackColour(plot.colourIndex), 0xFFFFFFu);
    PlotGgaPosition(plot, Gga("2502.1234", "12130.5000"));
    WriteFileBytes("Roadmap.txt", "old track");
    ClearRoadmapPlot(plot);
    EXPECT_FALSE(FileExists("Roadmap.txt"));
    EXPECT_EQ(plot.pointCount, 0);
    EXPECT_EQ(RoadmapTrackColour(plot.colourIndex), 0xFF0000u);
    ClearRoadmapPlot(plot); // no file: nothing to delete, no harm
    EXPECT_EQ(RoadmapTrackColour(plot.colourIndex), 0xFF0000u);

    plot.zoomLevel = 0;
    EXPECT_FALSE(ZoomRoadmapIn(plot));
    EXPECT_EQ(plot.zoomLevel, 0);
    EXPECT_TRUE(ZoomRoadmapOut(plot));
    EXPECT_EQ(plot.zoomLevel, 1);
    plot.zoomLevel = 7;
    EXPECT_FALSE(ZoomRoadmapOut(plot));
    EXPECT_EQ(plot.zoomLevel, 7);
    EXPECT_TRUE(ZoomRoadmapIn(plot));
    EXPECT_EQ(plot.zoomLevel, 6);
}
