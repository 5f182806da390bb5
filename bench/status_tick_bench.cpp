// The cost of one status tick (ShowTimerTimer), the main window's once-a-second work.
#include <QApplication>
#include <QComboBox>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <pty.h>
#include <unistd.h>

#include "gps_thread.h"
#include "main_form.h"
#include "program_flags.h"
#include "receiver_state.h"
#include "status_timer.h"
#include "stored_batch.h"
#include "trace_file.h"

namespace {

// Reads the real clock, never sets it.
class ReadOnlyClock : public SystemClock {
public:
    timespec Now() const override { return real_.Now(); }
    bool Set(const timespec&) override { return false; }

private:
    RealSystemClock real_;
};

class NullDisplay : public StatusDisplay {
public:
    void ShowCurrentTime(const std::string& text) override { benchmark::DoNotOptimize(text); }
    void ShowFixTime(const std::string& text) override { benchmark::DoNotOptimize(text); }
};

// A receiver that is still searching: the clock counts every tick.
void FillSearchingState() {
    StoreBytes(FramedSentence("GPGGA,123519.00,,,,,0,00,,,M,,M,,") +
               FramedSentence("GPRMC,123519.00,V,,,,,,,071225,,"));
}

// The unit alone: snapshot, time text, fix state machine, fix time text.
void BM_StatusTimerTick(benchmark::State& state) {
    FillSearchingState();
    ReadOnlyClock clock;
    TraceFile trace("MainLog.txt"); // absent: tracing off
    StatusTimer timer(clock, trace);
    NullDisplay display;
    for (auto _ : state)
        timer.Tick(display);
}
BENCHMARK(BM_StatusTimerTick)->Unit(benchmark::kMicrosecond);

// The whole tick as the window runs it, with the two edits updated.
void BM_MainFormTick(benchmark::State& state) {
    FillSearchingState();
    ReadOnlyClock clock;
    TMainForm form(&clock);
    for (auto _ : state) {
        form.ShowTimerTimer();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_MainFormTick)->Unit(benchmark::kMicrosecond);

// The same with a started link, so each tick also updates the status line
// ("no data for N s": nothing is sent on the pty). In a temporary working
// directory whose COM1 leads to a pseudo-terminal.
void BM_MainFormTickWithLink(benchmark::State& state) {
    char folder[] = "/tmp/quillmar-tick-XXXXXX";
    char pty[256] = {};
    int master = -1, slave = -1;
    if (mkdtemp(folder) == nullptr || openpty(&master, &slave, pty, nullptr, nullptr) != 0) {
        state.SkipWithError("no temporary folder or pseudo-terminal");
        return;
    }
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    std::filesystem::create_symlink(pty, "COM1");
    FillSearchingState();
    ReadOnlyClock clock;
    {
        TMainForm form(&clock);
        auto* ports = form.findChild<QComboBox*>(QStringLiteral("ComPortComboBox"));
        ports->setCurrentIndex(0);
        emit ports->activated(0);
        for (auto _ : state) {
            form.ShowTimerTimer();
            QCoreApplication::processEvents();
        }
        form.FormClose();
    }
    WaitForReceiveLoops(5000);
    ::close(master);
    ::close(slave);
    std::filesystem::current_path(before);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_MainFormTickWithLink)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
