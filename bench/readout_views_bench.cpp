// Cost of one tick of the navigation, sky plot and signal windows at their
// default sizes: the copy of the receiver state, the layout function, the
// drawing, and the repaint (argument 0: what the tick changed, 1: the whole
// window).
#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <string>

#include "navigation_form.h"
#include "receiver_state.h"
#include "satellite_form.h"
#include "satellite_painting.h"
#include "single_quality_form.h"
#include "stored_batch.h"

namespace {

template <std::size_t W> void Put(char (&slot)[W], const std::string& value) {
    for (std::size_t i = 0; i < W; ++i)
        slot[i] = i < value.size() ? value[i] : '\0';
}

// A busy sky: twelve satellites with signal, a 3D fix through eight of them.
ReceiverState BusyState() {
    ReceiverState s{};
    Put(s.Zda.Year, "2026");
    Put(s.Zda.Month, "12");
    Put(s.Zda.Day, "07");
    Put(s.Gga.UtcTime, "095312.000");
    Put(s.Gga.Latitude, "2425.1234");
    Put(s.Gga.NorthSouth, "N");
    Put(s.Gga.Longitude, "12130.5678");
    Put(s.Gga.EastWest, "E");
    Put(s.Gga.Altitude, "123.4");
    Put(s.Gga.SatellitesUsed, "08");
    Put(s.Rmc.SpeedKnots, "1.52");
    Put(s.Rmc.Status, "A");
    Put(s.Vtg.SpeedKmh, "2.81");
    Put(s.Gsa.FixType, "3");
    Put(s.Gsv.SatellitesInView, "12");
    for (int i = 0; i < kSatelliteSlots; ++i) {
        Put(s.Gsv.Prn[i], std::to_string(1 + 3 * i));
        Put(s.Gsv.Elevation[i], std::to_string(5 + 7 * i));
        Put(s.Gsv.Azimuth[i], std::to_string(29 * i));
        Put(s.Gsv.Snr[i], std::to_string(20 + 2 * i));
        if (i < 8)
            Put(s.Gsa.UsedPrn[i], std::to_string(1 + 3 * i));
    }
    return s;
}

// What the receiver sends this second, as sentences through the parser.
ReceiverState g_sky;

void Publish(const ReceiverState& state) {
    g_sky = state;
    StoreState(g_sky);
}

// Each second the receiver moves on: new time, satellites a degree further,
// signals a little different, so every tick has something new to show.
void Advance(int second) {
    ReceiverState& s = g_sky;
    char text[16];
    std::snprintf(text, sizeof text, "0953%02d.000", second % 60);
    Put(s.Gga.UtcTime, text);
    for (int i = 0; i < kSatelliteSlots; ++i) {
        Put(s.Gsv.Azimuth[i], std::to_string((29 * i + second) % 360));
        const int snr = 20 + (2 * i + second) % 30;
        Put(s.Gsv.Snr[i], std::to_string(snr));
    }
    StoreState(s);
}

// wholeWindow: repaint everything, as when the window is uncovered;
// otherwise let Qt paint what the tick changed, as it does every second.
template <typename Form, typename Tick>
void RunTicks(benchmark::State& state, Tick tick, bool wholeWindow) {
    Publish(BusyState());
    auto* form = new Form;
    form->show();
    QCoreApplication::processEvents();
    int second = 0;
    for (auto _ : state) {
        Advance(++second);
        (form->*tick)();
        if (wholeWindow)
            form->repaint();
        else
            QCoreApplication::processEvents();
    }
    delete form;
}

void BM_NavigationTick(benchmark::State& state) {
    RunTicks<TNavigationForm>(state, &TNavigationForm::ShowTimerTimer, state.range(0) != 0);
}
BENCHMARK(BM_NavigationTick)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_SatelliteTick(benchmark::State& state) {
    RunTicks<TSatelliteForm>(state, &TSatelliteForm::Timer1Timer, state.range(0) != 0);
}
BENCHMARK(BM_SatelliteTick)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_SingleQualityTick(benchmark::State& state) {
    RunTicks<TSingleQualityForm>(state, &TSingleQualityForm::SingleTimerTimer, state.range(0) != 0);
}
BENCHMARK(BM_SingleQualityTick)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// What a resize costs the sky plot: layout and the static background.
void BM_SkyBackground(benchmark::State& state) {
    for (auto _ : state) {
        const QImage image = RenderSkyBackground(LayoutSkyPlot(316), QColor(240, 240, 240));
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_SkyBackground)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
