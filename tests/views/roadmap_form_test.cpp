#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QToolButton>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

#include "program_flags.h"
#include "roadmap_form.h"
#include "roadmap_plot.h"
#include "roadmap_sentence_support.h"
#include "test_support.h"
#include "views.h"
#include "window_probe.h"

namespace {

class RoadmapFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        RoadmapPlot() = RoadmapPlotState{};
        ClearReceiverState();
        RoadmapOpen = true;
    }
    void TearDown() override {
        if (form)
            form->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    TRoadmapForm* Open() {
        form = static_cast<TRoadmapForm*>(CreateRoadmapForm());
        return form;
    }
    // A tick on each of the given positions.
    void Track(std::initializer_list<std::pair<const char*, const char*>> positions) {
        for (const auto& [lat, lon] : positions) {
            PublishGga(lat, lon);
            form->RoadmapTimerTimer();
        }
    }
    QColor Pixel(PlotPoint p) const { return form->plotBitmap().pixelColor(p.x, p.y); }
    // The most common distance between neighbouring vertical lines across the
    // first row of cells of the plot shown at `plot`.
    static int GridPitch(const QImage& shown, const QRect& plot) {
        const int y = plot.top() + 15;
        std::map<int, int> gaps;
        int last = -1;
        for (int x = plot.left(); x <= plot.right(); ++x) {
            if (shown.pixel(x, y) != qRgb(0, 0, 0))
                continue;
            if (last >= 0 && x - last > 1)
                ++gaps[x - last];
            last = x;
        }
        int pitch = 0;
        for (const auto& [gap, count] : gaps)
            if (pitch == 0 || count > gaps[pitch])
                pitch = gap;
        return pitch;
    }

    TempWorkDir dir;
    QPointer<TRoadmapForm> form;
};

const char* kLat = "2502.1234";
const char* kLatNorth = "2502.1342"; // 0.000180 degree north
const char* kLon = "12130.5000";

} // namespace

TEST_F(RoadmapFormTest, WindowAsLaidOut) {
    Open()->show();
    EXPECT_EQ(form->windowTitle(), "Real-time Position Plot");
    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form->pos(), QPoint(656, 396));
    // The range reads "Range 10 m" and is not for typing in.
    EXPECT_EQ(form->Label2->text(), "Range");
    EXPECT_EQ(form->RangeEdit->text(), "10");
    EXPECT_EQ(form->Label1->text(), "m");
    EXPECT_TRUE(form->RangeEdit->isReadOnly());

    QMenuBar* bar = form->menuBar();
    QStringList menu;
    for (QAction* action : bar->actions())
        menu << action->text();
    ASSERT_EQ(menu, QStringList({"&Erase Grid", "Zoom &In", "Zoom &Out", "GridSize"}));
    QStringList sizes, checked;
    for (QAction* action : bar->actions()[3]->menu()->actions()) {
        sizes << action->text();
        if (action->isChecked())
            checked << action->text();
    }
    EXPECT_EQ(sizes, QStringList({"50 Pixel", "40 Pixel", "30 Pixel", "25 Pixel"}));
    EXPECT_EQ(checked, QStringList({"25 Pixel"}));

    // A square plot with an arrow on each side, the range above it and the
    // axis names beside it; nothing under the menu bar or cut off.
    const QRect plot = RectIn(form->RoadmapPaintBox, form);
    EXPECT_EQ(plot.width(), plot.height());
    EXPECT_EQ(CrowdedOrCut({bar, form->RoadmapPaintBox, form->RangePanel, form->LonLabel,
                            form->LatLabel, form->UpSpeedButton, form->RightSpeedButton,
                            form->LeftSpeedButton, form->DownSpeedButton},
                           form),
              std::vector<std::string>());
    const QRect up = RectIn(form->UpSpeedButton, form), down = RectIn(form->DownSpeedButton, form);
    const QRect left = RectIn(form->LeftSpeedButton, form);
    const QRect right = RectIn(form->RightSpeedButton, form);
    const auto across = [](const QRect& side, int at) {
        return side.left() < at && at < side.right();
    };
    const auto along = [](const QRect& side, int at) {
        return side.top() < at && at < side.bottom();
    };
    EXPECT_LE(up.bottom(), plot.top());
    EXPECT_TRUE(across(plot, up.center().x()));
    EXPECT_GE(down.top(), plot.bottom());
    EXPECT_TRUE(across(plot, down.center().x()));
    EXPECT_LE(left.right(), plot.left());
    EXPECT_TRUE(along(plot, left.center().y()));
    EXPECT_GE(right.left(), plot.right());
    EXPECT_TRUE(along(plot, right.center().y()));
    EXPECT_LE(RectIn(form->RangePanel, form).bottom(), plot.top());
    EXPECT_LE(RectIn(form->LonLabel, form).bottom(), plot.top());
    EXPECT_LE(RectIn(form->LatLabel, form).right(), plot.left());

    // A stored position is plotted without anyone calling the tick: a red
    // dot north of the origin at the centre.
    Track({{kLat, kLon}}); // the origin
    PublishGga(kLatNorth, kLon);
    const auto redDots = [&] {
        return CountPixels(Grab(form), plot, [](QRgb c) { return c == qRgb(255, 0, 0); });
    };
    ASSERT_TRUE(WaitUntil([&] { return redDots() > 0; }, 1300));
    const QImage shown = Grab(form);
    int sumX = 0, sumY = 0, n = 0;
    for (int y = plot.top(); y <= plot.bottom(); ++y)
        for (int x = plot.left(); x <= plot.right(); ++x)
            if (shown.pixel(x, y) == qRgb(255, 0, 0))
                sumX += x, sumY += y, ++n;
    EXPECT_LE(std::abs(sumX / n - plot.center().x()), 2);
    EXPECT_LT(sumY / n, plot.center().y() - 5);

    // The grid as shown: its lines 25 pixels apart, then 30 once the menu says so.
    EXPECT_EQ(GridPitch(Grab(form), plot), 25);
    Click(bar, bar->actionGeometry(bar->actions()[3]).center());
    auto* sizeMenu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(sizeMenu, nullptr);
    Click(sizeMenu, sizeMenu->actionGeometry(sizeMenu->actions()[2]).center());
    EXPECT_TRUE(form->GridSizeMenu_30->isChecked());
    EXPECT_FALSE(form->GridSizeMenu_25->isChecked());
    const QRect smaller = RectIn(form->RoadmapPaintBox, form);
    EXPECT_EQ(GridPitch(Grab(form), smaller), 30);

    // Zoom In on the menu bar: the range shrinks tenfold.
    Click(bar, bar->actionGeometry(bar->actions()[1]).center());
    EXPECT_EQ(form->RangeEdit->text(), "1");
    EXPECT_EQ(form->Label1->text(), "m");
}

TEST_F(RoadmapFormTest, GridIsDrawnOnTheButtonFace) {
    Open();
    const QColor face = form->palette().color(QPalette::Button);
    EXPECT_EQ(Pixel({30, 2}), QColor(Qt::black));  // full-length outer line
    EXPECT_EQ(Pixel({2, 180}), QColor(Qt::black)); // last horizontal line
    EXPECT_EQ(Pixel({55, 12}), QColor(Qt::black)); // first dash of an inner line
    EXPECT_EQ(Pixel({55, 5}), face);               // inner lines stop short of the edge
    EXPECT_EQ(Pixel({12, 10}), QColor(Qt::black)); // the frame
    EXPECT_EQ(Pixel({199, 199}), QColor(Qt::black));
    EXPECT_EQ(Pixel({42, 42}), face);
    EXPECT_EQ(Pixel({205, 205}), face);
}

TEST_F(RoadmapFormTest, TrackIsWhiteBeforeTheFirstClearAndBlueAfter) {
    Open();
    Track({{kLat, kLon}});
    const QImage before = form->plotBitmap();
    Track({{kLatNorth, kLon}});
    // First tick: origin only, nothing drawn.
    EXPECT_NE(before, form->plotBitmap());
    EXPECT_EQ(Pixel({105, 105}), QColor(Qt::white));
    EXPECT_EQ(Pixel({105, 55}), QColor(Qt::red));

    form->EraseGridMenuClick();
    EXPECT_NE(Pixel({105, 55}), QColor(Qt::red)); // wiped
    Track({{kLat, kLon}, {kLatNorth, kLon}});
    EXPECT_EQ(Pixel({105, 105}), QColor(Qt::blue));
    EXPECT_EQ(Pixel({105, 55}), QColor(Qt::red));

    // A later window keeps the cleared colour: it lives with the program.
    form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Open();
    Track({{kLat, kLon}, {kLatNorth, kLon}});
    EXPECT_EQ(Pixel({105, 105}), QColor(Qt::blue));
}

TEST_F(RoadmapFormTest, NoPositionLeavesThePlotAlone) {
    Open();
    Track({{kLat, kLon}, {kLatNorth, kLon}});
    const QImage drawn = form->plotBitmap();
    PublishGga("", "");
    form->RoadmapTimerTimer();
    EXPECT_EQ(drawn, form->plotBitmap());
    EXPECT_EQ(RoadmapPlot().pointCount, 2);
}

TEST_F(RoadmapFormTest, ZoomLimitsDoNotClear) {
    Open();
    form->ZoomInMenuClick();
    EXPECT_EQ(form->RangeEdit->text(), "1");
    form->ZoomInMenuClick();
    EXPECT_EQ(form->RangeEdit->text(), "0.1");
    Track({{kLat, kLon}, {"2502.12342", kLon}});
    const QImage drawn = form->plotBitmap();
    form->ZoomInMenuClick(); // at level 0
    EXPECT_EQ(form->RangeEdit->text(), "0.1");
    EXPECT_EQ(RoadmapPlot().pointCount, 2);
    EXPECT_EQ(drawn, form->plotBitmap());

    for (int i = 0; i < 7; ++i)
        form->ZoomOutMenuClick();
    EXPECT_EQ(form->RangeEdit->text(), "1000");
    EXPECT_EQ(form->Label1->text(), "Km");
    EXPECT_EQ(RoadmapPlot().pointCount, 0); // zooming cleared
    Track({{kLat, kLon}, {kLatNorth, kLon}});
    form->ZoomOutMenuClick(); // at level 7
    EXPECT_EQ(RoadmapPlot().pointCount, 2);
    EXPECT_EQ(RoadmapPlot().zoomLevel, 7);
}

TEST_F(RoadmapFormTest, GridSizeSurvivesTheWindowAndZoomDoesNot) {
    Open();
    form->ZoomOutMenuClick();
    WriteFileBytes("Roadmap.txt", "x");
    form->GridSizeMenu_30Click();
    EXPECT_FALSE(FileExists("Roadmap.txt"));
    EXPECT_TRUE(form->GridSizeMenu_30->isChecked());
    const RoadmapLayout& layout = RoadmapPlot().layout;
    EXPECT_EQ(layout.plotSide, layout.cellCount * 30 + 60);
    form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    Open();
    EXPECT_EQ(RoadmapPlot().gridSpacing, 30);
    EXPECT_TRUE(form->GridSizeMenu_30->isChecked());
    EXPECT_EQ(RoadmapPlot().zoomLevel, 2);
    EXPECT_EQ(form->RangeEdit->text(), "10");
}

TEST_F(RoadmapFormTest, ExtremeWindowSizes) {
    Open()->show(); // a hidden window gets its resize events only when shown
    form->resize(4000, 3000);
    form->layout()->activate();
    EXPECT_EQ(RoadmapPlot().layout.cellCount, kRoadmapMaxCells);
    EXPECT_EQ(form->plotBitmap().width(), kRoadmapMaxCells * 25 + 60);
    Track({{kLat, kLon}, {kLatNorth, kLon}});

    form->resize(20, 20);
    form->layout()->activate();
    EXPECT_GT(form->plotBitmap().width(), 0);
    EXPECT_EQ(RoadmapPlot().layout.cellCount % 2, 0);
    Track({{kLatNorth, kLon}}); // old origin pixel, far outside the small plot: no crash
}

TEST_F(RoadmapFormTest, TraceLinesOfEachStep) {
    WriteFileBytes("RoadmapLog.txt", "");
    Open();
    PublishGga("", "");
    form->RoadmapTimerTimer();
    Track({{kLat, kLon}, {kLatNorth, kLon}, {kLatNorth, kLon}});
    const std::string trace = ReadFileBytes("RoadmapLog.txt");
    const std::string expected = "GGA No Single\r\n"
                                 "Finish Roadmap Timer : ";
    EXPECT_EQ(trace.rfind("Start Roadmap Timer : ", 0), 0u) << trace;
    EXPECT_NE(trace.find(expected), std::string::npos) << trace;
    EXPECT_NE(trace.find("a = 0, 25.035390\r\na = 0, 121.508333\r\n"), std::string::npos);
    EXPECT_NE(trace.find("a = 1, 25.035570\r\na = 1, 121.508333\r\n"
                         "Lat = 1.99999"),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find(",    Lon = 0.000000\r\n"
                         "First Point Lat: 25.035390\r\n"
                         "First Point Lon: 121.508333\r\n"
                         "Next Point Lat: 25.035570\r\n"
                         "Next Point Lon: 121.508333\r\n"),
              std::string::npos);
    // No position, the origin, then twice away from the origin.
    EXPECT_EQ(CountLines(trace), 3 + 4 + 9 + 9);

    // Closing ends the track: the next window's first position is a new origin.
    form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Open();
    Track({{kLatNorth, kLon}});
    EXPECT_NE(ReadFileBytes("RoadmapLog.txt").find("a = 0, 25.035570\r\na = 0, 121.508333\r\n"),
              std::string::npos)
        << ReadFileBytes("RoadmapLog.txt");
}
