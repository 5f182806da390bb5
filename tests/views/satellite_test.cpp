// The sky plot: geometry against the worked numbers for s = 300, the sky
// mapping, the tick's scene, the pixels it paints, and the window.
#include <QPointer>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <vector>

#include "readout_style.h"
#include "readout_test_util.h"
#include "satellite_form.h"
#include "satellite_painting.h"
#include "satellite_plot.h"
#include "test_support.h"
#include "views.h"
#include "window_probe.h"

namespace {

const QRgb kGreen = qRgb(0, 128, 0);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kYellow = qRgb(255, 255, 0);
const QColor kFace(0xF0, 0xF0, 0xF0);

struct Sat {
    const char* prn;
    const char* elevation;
    const char* azimuth;
    const char* snr;
};

ReceiverState Sky(const std::vector<Sat>& sats, const char* fixType = "3", const char* used = "08",
                  std::vector<const char*> usedPrns = {}) {
    ReceiverState s{};
    Put(s.Gsv.SatellitesInView, std::to_string(sats.size()));
    for (std::size_t i = 0; i < sats.size() && i < 12; ++i) {
        Put(s.Gsv.Prn[i], sats[i].prn);
        Put(s.Gsv.Elevation[i], sats[i].elevation);
        Put(s.Gsv.Azimuth[i], sats[i].azimuth);
        Put(s.Gsv.Snr[i], sats[i].snr);
    }
    Put(s.Gsa.FixType, fixType);
    Put(s.Gga.SatellitesUsed, used);
    for (std::size_t j = 0; j < usedPrns.size(); ++j)
        Put(s.Gsa.UsedPrn[j], usedPrns[j]);
    return s;
}

bool GreenNear(const QImage& image, int x, int y) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (image.pixel(x + dx, y + dy) == kGreen)
                return true;
    return false;
}

bool ColourNear(const QImage& image, QPoint at, QRgb colour) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (image.valid(at.x() + dx, at.y() + dy) &&
                image.pixel(at.x() + dx, at.y() + dy) == colour)
                return true;
    return false;
}

} // namespace

TEST(SkyLayout, WorkedNumbersForSide300) {
    const SkyGeometry g = LayoutSkyPlot(300);
    EXPECT_DOUBLE_EQ(g.m, 150);
    EXPECT_DOUBLE_EQ(g.u, 25);
    EXPECT_NEAR(g.a, 119.078, 1e-3);
    EXPECT_NEAR(g.b, 72.169, 1e-3);
    EXPECT_NEAR(g.e, 20.096, 1e-3);
    EXPECT_EQ(g.horizon, (PixelBox{0, 0, 300, 300}));
    const PixelBox rings[] = {{25, 25, 275, 275},
                              {50, 50, 250, 250},
                              {75, 75, 225, 225},
                              {100, 100, 200, 200},
                              {125, 125, 175, 175}};
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(g.rings[k], rings[k]) << k;
    const PixelLine spokes[] = {{{150, 0}, {150, 300}}, {{225, 20}, {75, 279}},
                                {{279, 75}, {20, 225}}, {{300, 150}, {0, 150}},
                                {{279, 225}, {20, 75}}, {{225, 279}, {75, 20}}};
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(g.spokes[k], spokes[k]) << k;
    const PixelPoint labels[] = {{142, 4},   {206, 24},  {259, 77}, {279, 142}, {261, 210},
                                 {208, 261}, {142, 279}, {73, 261}, {18, 208},  {4, 142},
                                 {19, 75},   {72, 24},   {173, 33}, {167, 56},  {160, 80},
                                 {154, 103}, {148, 126}};
    for (int k = 0; k < kSkyLabelCount; ++k)
        EXPECT_EQ(g.labelAt[k], labels[k]) << kSkyLabels[k];
    EXPECT_STREQ(kSkyLabels[1], " 30\xA2\x58");
    EXPECT_STREQ(kSkyLabels[16], "75\xA2\x58");
}

TEST(SkyPosition, MapsElevationAndAzimuthClockwiseFromNorth) {
    const ReceiverState s = Sky({{"01", "45", "045", "40"},
                                 {"02", "90", "123", "40"},
                                 {"03", "00", "090", "40"},
                                 {"04", "30", "361", "40"},
                                 {"05", "30", "-1", "40"}});
    double x[12] = {}, y[12] = {};
    SkyPosition(150, s.Gsv, 5, x, y);
    EXPECT_NEAR(x[0], 203.033, 1e-3);
    EXPECT_NEAR(y[0], 96.967, 1e-3);
    EXPECT_DOUBLE_EQ(x[1], 150);
    EXPECT_DOUBLE_EQ(y[1], 150);
    EXPECT_DOUBLE_EQ(x[2], 300);
    EXPECT_DOUBLE_EQ(y[2], 150);
    EXPECT_EQ(x[3], 0);
    EXPECT_EQ(y[3], 0);
    EXPECT_EQ(x[4], 0);
    EXPECT_EQ(y[4], 0);
}

TEST(SkyPosition, EveryAzimuthAgreesWithTheCompassFormula) {
    ReceiverState s{};
    for (int az = 0; az <= 360; ++az) {
        Put(s.Gsv.Elevation[0], "20");
        Put(s.Gsv.Azimuth[0], std::to_string(az));
        double x[12] = {}, y[12] = {};
        SkyPosition(150, s.Gsv, 1, x, y);
        const double r = 150.0 * 70 / 90, t = az * std::acos(-1.0) / 180;
        EXPECT_NEAR(x[0], 150 + r * std::sin(t), 1e-9) << az;
        EXPECT_NEAR(y[0], 150 - r * std::cos(t), 1e-9) << az;
    }
}

TEST(SatelliteScene, CrossTextsAndTraceLineOfOneSatellite) {
    const SatelliteScene scene =
        BuildSatelliteScene(Sky({{"01", "45", "045", "40"}}), LayoutSkyPlot(300));
    ASSERT_EQ(scene.markCount, 1);
    const SatelliteMark& mark = scene.marks[0];
    EXPECT_EQ(mark.cross[0], (PixelLine{{200, 93}, {206, 99}}));
    EXPECT_EQ(mark.cross[1], (PixelLine{{206, 93}, {200, 99}}));
    EXPECT_EQ(mark.prnAt, (PixelPoint{200, 101}));
    EXPECT_EQ(mark.elevationAzimuthAt, (PixelPoint{200, 113}));
    EXPECT_EQ(mark.prnText, "SV=01");
    EXPECT_EQ(mark.elevationAzimuthText, "E=45 ,A=045\xA2\x58");
    EXPECT_EQ(mark.traceLine, "SV = 01, E=45 ,A=045\xA2\x58, (203.033009,96.966991)\r\n");
    EXPECT_EQ(scene.crossColour, kSkyRed);
}

TEST(SatelliteScene, CountColourAndSignalRules) {
    std::vector<Sat> many(15, Sat{"09", "10", "100", "30"});
    many[1].snr = "";
    many[2].snr = "00";
    many[3].snr = "-5";
    ReceiverState s = Sky(many, "2");
    Put(s.Gsv.SatellitesInView, "15");
    const SatelliteScene scene = BuildSatelliteScene(s, LayoutSkyPlot(300));
    EXPECT_EQ(scene.n, 12);
    EXPECT_EQ(scene.markCount, 9); // three of twelve have no signal
    EXPECT_EQ(scene.marks[1].slot, 4);
    EXPECT_EQ(scene.crossColour, kSkyBlue);
    Put(s.Gsa.FixType, "1");
    EXPECT_EQ(BuildSatelliteScene(s, LayoutSkyPlot(300)).crossColour, kSkyLime);
    Put(s.Gsa.FixType, "");
    EXPECT_EQ(BuildSatelliteScene(s, LayoutSkyPlot(300)).crossColour, kSkyLime);
    Put(s.Gsv.SatellitesInView, "-3");
    EXPECT_EQ(BuildSatelliteScene(s, LayoutSkyPlot(300)).n, 0);
}

TEST(SatelliteScene, FixLineThroughTheFirstThreeUsedSatellites) {
    const std::vector<Sat> sats = {{"01", "45", "045", "40"},
                                   {"07", "90", "000", ""}, // no signal: still a corner
                                   {"11", "00", "270", "30"}};
    const SkyGeometry g = LayoutSkyPlot(300);
    SatelliteScene scene = BuildSatelliteScene(Sky(sats, "3", "08", {"01", "07", "11"}), g);
    ASSERT_EQ(scene.fixPointCount, 3);
    EXPECT_EQ(scene.fixPoints[0], (PixelPoint{203, 96}));
    EXPECT_EQ(scene.fixPoints[1], (PixelPoint{150, 150}));
    EXPECT_EQ(scene.fixPoints[2], (PixelPoint{0, 150}));
    EXPECT_EQ(scene.fixLines()[2], (PixelLine{{0, 150}, {203, 96}}));

    // The second is not in view: one segment, there and back.
    scene = BuildSatelliteScene(Sky(sats, "3", "08", {"01", "22", "11"}), g);
    ASSERT_EQ(scene.fixPointCount, 2);
    EXPECT_EQ(scene.fixLines()[0], (PixelLine{{203, 96}, {0, 150}}));
    EXPECT_EQ(scene.fixLines()[1], (PixelLine{{0, 150}, {203, 96}}));

    // Plain text comparison, and an empty entry names no satellite.
    scene = BuildSatelliteScene(Sky(sats, "3", "08", {"1", "", "11"}), g);
    ASSERT_EQ(scene.fixPointCount, 1);
    EXPECT_EQ(scene.fixLines()[0], (PixelLine{{0, 150}, {0, 150}}));

    EXPECT_EQ(BuildSatelliteScene(Sky(sats, "3", "02", {"01", "07", "11"}), g).fixPointCount, 0);
}

// --- Pixels ---------------------------------------------------------------------

TEST(SkyPainting, FloodFillMatchesAFourConnectedReference) {
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(kFace);
        for (int i = 0; i < 500; ++i)
            image.setPixel(static_cast<int>(rng() % 40), static_cast<int>(rng() % 30), kGreen);
        image.setPixel(20, 15, kFace.rgb());
        // Reference: breadth-first over the four neighbours.
        std::vector<bool> reached(40 * 30, false);
        std::vector<QPoint> queue{{20, 15}};
        reached[15 * 40 + 20] = true;
        for (std::size_t q = 0; q < queue.size(); ++q) {
            for (const QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
                const QPoint p = queue[q] + d;
                if (image.valid(p) && !reached[p.y() * 40 + p.x()] && image.pixel(p) != kGreen) {
                    reached[p.y() * 40 + p.x()] = true;
                    queue.push_back(p);
                }
            }
        }
        QImage filled = image;
        FloodFillToBorder(filled, 20, 15, kGreen, kBlack);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                ASSERT_EQ(filled.pixel(x, y) == kBlack, reached[y * 40 + x])
                    << "round " << round << " at " << x << "," << y;
    }
}

TEST(SkyPainting, BackgroundDiscRingsAndCorners) {
    const SkyGeometry g = LayoutSkyPlot(300);
    const QImage image = RenderSkyBackground(g, kFace);
    ASSERT_EQ(image.size(), QSize(300, 300));
    // The disc is black inside the horizon and nothing leaked outside it.
    EXPECT_EQ(image.pixel(140, 140), kBlack);
    EXPECT_EQ(image.pixel(160, 240), kBlack);
    for (const QPoint corner : {QPoint(0, 0), QPoint(299, 0), QPoint(0, 299), QPoint(299, 299),
                                QPoint(20, 20), QPoint(280, 280)})
        EXPECT_EQ(image.pixel(corner), kFace.rgb()) << corner.x() << "," << corner.y();
    EXPECT_EQ(image.pixel(150, 0), kGreen); // top of the horizon
    EXPECT_EQ(image.pixel(0, 150), kGreen); // left of the horizon
    // The horizon fills the box (0, 0)-(300, 300) without its right and bottom
    // edges: it is symmetric about 149.5, so its far sides stay in the image.
    for (int line : {100, 130, 170, 200}) {
        int left = 0, right = 299, top = 0, bottom = 299;
        while (image.pixel(left, line) == kFace.rgb())
            ++left;
        while (image.pixel(right, line) == kFace.rgb())
            --right;
        while (image.pixel(line, top) == kFace.rgb())
            ++top;
        while (image.pixel(line, bottom) == kFace.rgb())
            --bottom;
        EXPECT_EQ(image.pixel(right, line), kGreen) << "row " << line;
        EXPECT_EQ(image.pixel(line, bottom), kGreen) << "column " << line;
        EXPECT_EQ(left + right, 299) << "row " << line;
        EXPECT_EQ(top + bottom, 299) << "column " << line;
    }
    // Each ring passes through 225° (clear of spokes and labels); the
    // middle between two rings is black.
    const double c = std::cos(std::acos(-1.0) / 4);
    for (int k = 1; k <= 5; ++k) {
        const double r = g.m - k * g.u;
        EXPECT_TRUE(GreenNear(image, static_cast<int>(g.m - r * c), static_cast<int>(g.m + r * c)))
            << "ring " << k;
        const double between = r + g.u / 2;
        EXPECT_EQ(
            image.pixel(static_cast<int>(g.m - between * c), static_cast<int>(g.m + between * c)),
            kBlack)
            << "between rings " << k;
    }
    // A label sits in a black box with white text, also past the horizon.
    const QRect box(g.labelAt[3].x, g.labelAt[3].y, 20, 13); // " 90°"
    int white = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right() && x < 300; ++x)
            white += qGray(image.pixel(x, y)) > 200;
    EXPECT_GT(white, 5);
    EXPECT_EQ(image.pixel(g.labelAt[3].x + 19, g.labelAt[3].y + 1), kBlack);
}

TEST(SkyPainting, SatellitesAndFixLineOverTheBackground) {
    const SkyGeometry g = LayoutSkyPlot(300);
    QImage image = RenderSkyBackground(g, kFace);
    const ReceiverState s = Sky({{"01", "45", "045", "40"},
                                 {"07", "20", "200", "35"},
                                 {"11", "10", "300", "30"},
                                 {"13", "50", "999", "30"}},
                                "3", "08", {"01", "07", "11"});
    const SatelliteScene scene = BuildSatelliteScene(s, g);
    DrawSatelliteScene(image, scene);
    // The cross's arms (its centre is a corner of the fix line drawn over it).
    EXPECT_EQ(image.pixel(200, 93), kRed);
    EXPECT_EQ(image.pixel(205, 98), kRed);
    EXPECT_EQ(image.pixel(205, 94), kRed);
    EXPECT_EQ(image.pixel(1, 1), kRed); // azimuth 999 stays at the corner
    // Lime text on a black box under the cross.
    int lime = 0;
    for (int y = 101; y < 112; ++y)
        for (int x = 200; x < 225; ++x)
            lime += qGreen(image.pixel(x, y)) > 200 && qRed(image.pixel(x, y)) < 60;
    EXPECT_GT(lime, 5);
    // The yellow line is drawn last, along each side of the triangle.
    const std::array<PixelLine, 3> sides = scene.fixLines();
    for (int i = 0; i < 3; ++i) {
        const QPoint a(sides[i].from.x, sides[i].from.y), b(sides[i].to.x, sides[i].to.y);
        const QPoint quarter = a + (b - a) / 4;
        EXPECT_TRUE(ColourNear(image, quarter, kYellow)) << "side " << i;
    }
}

// --- The window ---------------------------------------------------------------

TEST(SatelliteForm, SquareLayoutTickAndRepaint) {
    TempWorkDir dir;
    ClearReceiverState();
    QPointer<QWidget> widget = CreateSatelliteForm();
    auto* form = static_cast<TSatelliteForm*>(widget.data());
    form->show();
    EXPECT_EQ(form->windowTitle(), "Satellite");
    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form->pos(), QPoint(309, 396));
    const QRgb face = ButtonFace().rgb();
    // Until the first tick the window is empty button face.
    QImage shown = Grab(form);
    EXPECT_EQ(CountPixels(shown, shown.rect(), [&](QRgb c) { return c != face; }), 0);

    // A stored batch is drawn without anyone calling the tick: the sky disc
    // with the satellite's red cross north-east of the centre.
    StoreState(Sky({{"01", "45", "045", "40"}}, "3"));
    const auto discShown = [&] {
        const int inside = std::min(form->width(), form->height()) / 2 - 10;
        return Grab(form).pixel(inside, inside) == kBlack;
    };
    ASSERT_TRUE(WaitUntil(discShown, 1300));

    for (const QSize drag : {QSize(400, 300), QSize(260, 380), QSize(316, 316)}) {
        form->resize(drag);
        // The window stays square and the round sky fills it: it reaches
        // every edge and leaves the corners empty, so none of it is cut off.
        EXPECT_EQ(form->frameGeometry().width(), form->frameGeometry().height());
        const int s = std::min(form->width(), form->height());
        EXPECT_EQ(s, std::min(drag.width(), drag.height()));
        form->Timer1Timer();
        shown = Grab(form);
        const int m = s / 2;
        EXPECT_EQ(shown.pixel(m - 10, m - 10), kBlack) << s;
        EXPECT_TRUE(ColourNear(shown, QPoint(m, 0), kGreen)) << s;
        EXPECT_TRUE(ColourNear(shown, QPoint(m, s - 1), kGreen)) << s;
        int left = s, right = -1, top = s, bottom = -1;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                if (shown.pixel(x, y) != face) {
                    left = std::min(left, x), right = std::max(right, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
        EXPECT_EQ(QRect(QPoint(left, top), QPoint(right, bottom)), QRect(0, 0, s, s)) << s;
        for (const QPoint corner :
             {QPoint(0, 0), QPoint(s - 1, 0), QPoint(0, s - 1), QPoint(s - 1, s - 1)})
            EXPECT_EQ(shown.pixel(corner), face) << s;
        // Elevation 45 is half way out, azimuth 45 up and to the right.
        const double out = s / 4.0 * std::sqrt(0.5);
        const QPoint cross(static_cast<int>(s / 2.0 + out), static_cast<int>(s / 2.0 - out));
        EXPECT_GT(CountPixels(shown, QRect(cross - QPoint(4, 4), QSize(9, 9)),
                              [](QRgb c) { return c == kRed; }),
                  4)
            << s;
    }
    // A resize clears the plot until the next tick.
    form->resize(300, 300);
    EXPECT_EQ(Grab(form).pixel(140, 140), face);
    form->Timer1Timer();
    EXPECT_EQ(Grab(form).pixel(140, 140), kBlack);

    form->close();
    RunDeferredDeletes();
    ClearReceiverState();
}
