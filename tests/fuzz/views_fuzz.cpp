// libFuzzer target: what the five readout windows compute from a receiver
// state, on states parsed from any bytes and for any window size. The window
// sizes and modes come from the input's last bytes, then the rest is one or
// two batches, the second parsed over the first as the receive loop does.
#include <fuzzer/FuzzedDataProvider.h>

#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "navigation_lines.h"
#include "nmea_parser.h"
#include "roadmap_plot.h"
#include "satellite_plot.h"
#include "sentence_lines.h"
#include "single_quality_bars.h"

namespace {

void Check(bool holds) {
    if (!holds)
        __builtin_trap();
}

bool Inside(const PixelBox& box, int width, int height) {
    return box.empty() ||
           (box.left >= 0 && box.top >= 0 && box.right <= width && box.bottom <= height);
}

void Navigation(const ReceiverState& state) {
    for (CoordinateMode mode : {CoordinateMode::None, CoordinateMode::DegOnly,
                                CoordinateMode::DegAndMin, CoordinateMode::DegMinSec}) {
        const NavigationLines shown = BuildNavigationLines(state, mode);
        for (const std::string& line : shown.lines)
            Check(line.find('\0') == std::string::npos);
        Check(LatitudeText(state.Gga, mode).size() <= 29);
        Check(LongitudeText(state.Gga, mode).size() <= 29);
    }
}

void Sky(const ReceiverState& state, int side) {
    const SkyGeometry geometry = LayoutSkyPlot(side);
    const SatelliteScene scene = BuildSatelliteScene(state, geometry);
    Check(scene.n >= 0 && scene.n <= kSatelliteSlots);
    Check(scene.markCount >= 0 && scene.markCount <= kSatelliteSlots);
    Check(scene.fixPointCount >= 0 && scene.fixPointCount <= 3);
    int lastSlot = -1;
    for (int i = 0; i < scene.markCount; ++i) {
        const SatelliteMark& mark = scene.marks[i];
        Check(mark.slot > lastSlot && mark.slot < scene.n);
        lastSlot = mark.slot;
        Check(mark.traceLine.ends_with("\r\n"));
    }
    [[maybe_unused]] const auto lines = scene.fixLines();
}

void Bars(const ReceiverState& state, int width, int height) {
    const SignalBars bars = BuildSignalBars(state, width, height);
    for (const SignalColumn& column : bars.columns) {
        Check(column.level >= 0 && column.level <= 50);
        Check(Inside(PenCoverage(column.bar, bars.penWidth, width, height), width, height));
        if (column.wipe)
            Check(Inside(PenCoverage(column.wipeBox, bars.penWidth, width, height), width, height));
    }
}

// The plot's state is the program's one copy in the window; here a fresh one
// per input, laid out for the window, zoomed, then fed both batches' fixes.
void Roadmap(const ReceiverState& first, const ReceiverState& second, int width, int height,
             int spacing, int zoomSteps) {
    RoadmapPlotState plot;
    plot.gridSpacing = spacing;
    ApplyRoadmapLayout(plot, width, height);
    Check(plot.layout.cellCount >= kRoadmapMinCells && plot.layout.cellCount <= kRoadmapMaxCells &&
          plot.layout.cellCount % 2 == 0);
    for (int i = 0; i < (zoomSteps < 0 ? -zoomSteps : zoomSteps); ++i)
        zoomSteps < 0 ? ZoomRoadmapOut(plot) : ZoomRoadmapIn(plot);
    Check(plot.zoomLevel >= 0 && plot.zoomLevel < kRoadmapZoomLevels);
    for (const ReceiverState* state : {&first, &second, &second}) {
        const RoadmapStep step = PlotGgaPosition(plot, state->Gga);
        if (step.kind == RoadmapStep::Point) {
            DotVisible(step.trackDot, plot.layout.plotSide);
            DotVisible(step.newDot, plot.layout.plotSide);
        }
    }
}

void Sentences(const ReceiverState& state, const QString& speedItem) {
    const SentenceDisplay display = SelectSentenceLines(state);
    Check(display.shown.size() <= kSentenceLineCount);
    for (std::string_view line : display.shown) {
        PaneText(line);
        ValidNmeaSentence(line);
    }
    DamagedCaption(state.DamagedSentences);
    const std::string speed = SpeedLimitText(speedItem);
    Check(speed.size() <= kSpeedLimitBytes);
    const std::string record = BuildInformationRecord(1, speed, state);
    int lines = 0;
    for (std::size_t at = 0; (at = record.find("\r\n", at)) != std::string::npos; at += 2)
        ++lines;
    Check(lines == 12 && record.ends_with("\r\n"));
    Check(record.find('\0') == std::string::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const int side = input.ConsumeIntegralInRange(-2, 4000);
    const int barWidth = input.ConsumeIntegralInRange(0, 400);
    const int barHeight = input.ConsumeIntegralInRange(0, 2000);
    const int plotWidth = input.ConsumeIntegralInRange(0, 5000);
    const int plotHeight = input.ConsumeIntegralInRange(0, 5000);
    const int spacing = input.PickValueInArray({25, 30, 40, 50});
    const int zoomSteps = input.ConsumeIntegralInRange(-9, 9);
    // What the editable speed box may hold: any characters that can be typed.
    QString speedItem;
    for (int i = input.ConsumeIntegralInRange(0, 20); i > 0; --i) {
        const char16_t unit = input.ConsumeIntegral<char16_t>();
        speedItem += unit < 0x20 || QChar::isSurrogate(unit) ? QChar(u'x') : QChar(unit);
    }
    const std::vector<uint8_t> bytes = input.ConsumeRemainingBytes<uint8_t>();
    // The first batch ends where the second's first '$' after the middle begins.
    const std::size_t half = bytes.size() / 2;
    const auto dollar =
        std::find(bytes.begin() + static_cast<std::ptrdiff_t>(half), bytes.end(), '$');
    const std::size_t cut = static_cast<std::size_t>(dollar - bytes.begin());

    static ReceiverState first, second; // too big for the stack of every input
    std::memset(&first, 0, sizeof first);
    ParseNmeaBatch(bytes.data(), static_cast<uint32_t>(cut), first);
    second = first;
    std::memset(second.SentenceLines, 0, sizeof second.SentenceLines);
    ParseNmeaBatch(bytes.data() + cut, static_cast<uint32_t>(bytes.size() - cut), second);

    for (const ReceiverState* state : {&first, &second}) {
        Navigation(*state);
        Sky(*state, side);
        Bars(*state, barWidth, barHeight);
        Sentences(*state, speedItem);
    }
    Roadmap(first, second, plotWidth, plotHeight, spacing, zoomSteps);
    return 0;
}
