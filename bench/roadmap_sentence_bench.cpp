// One tick of the position plot and of the sentence log at their default
// sizes, painting included. Runs offscreen in a temporary working directory.
#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "replay_reader.h"
#include "roadmap_form.h"
#include "sentence_form.h"
#include "sentence_logger.h"
#include "stored_batch.h"

namespace {

// A new GGA position a few metres from the last one, as a moving receiver gives.
void PublishPosition(int step) {
    char body[96];
    std::snprintf(body, sizeof body,
                  "GPGGA,123519,2502.%04d,N,12130.5000,E,1,08,0.9,545.4,M,46.9,M,,",
                  1234 + step % 40);
    StoreBytes(FramedSentence(body));
}

// A full burst of standard sentences; a module reply only follows a command.
void PublishBurst(int step) {
    char gga[96];
    std::snprintf(gga, sizeof gga,
                  "GPGGA,12351%d,2502.1234,N,12130.5000,E,1,08,0.9,545.4,M,46.9,M,,", step % 10);
    StoreBytes(
        FramedSentence(gga) + FramedSentence("GPGLL,2502.1234,N,12130.5000,E,123519,A") +
        FramedSentence("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1") +
        FramedSentence("GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00") +
        FramedSentence("GPGSV,3,2,11,14,25,170,00,16,57,208,39,18,67,296,40,19,40,246,00") +
        FramedSentence("GPGSV,3,3,11,22,42,067,42,24,14,311,43,27,05,244,00,,,,") +
        FramedSentence("GPRMC,123519,A,2502.1234,N,12130.5000,E,022.4,054.7,230394,003.1,W") +
        FramedSentence("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K") +
        FramedSentence("GPZDA,123519,23,03,1994,00,00"));
}

void BM_RoadmapTick(benchmark::State& state) {
    auto* form = new TRoadmapForm();
    form->show();
    QCoreApplication::processEvents();
    int step = 0;
    for (auto _ : state) {
        PublishPosition(step++);
        form->RoadmapTimerTimer();
        QCoreApplication::processEvents(); // paints what the tick invalidated
    }
    form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
BENCHMARK(BM_RoadmapTick)->Unit(benchmark::kMicrosecond);

// Each tick shows the next burst of Publish.
template <typename Publish>
void SentenceTick(benchmark::State& state, bool logging, Publish publish) {
    auto* form = new TSentenceForm();
    form->show();
    QCoreApplication::processEvents();
    if (logging)
        form->StartLog_BitBtnClick();
    int step = 0;
    for (auto _ : state) {
        publish(step++);
        form->ShowTimerTimer();
        QCoreApplication::processEvents();
    }
    if (logging)
        form->StopLog_BitBtnClick();
    form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Logging off: what the window costs by itself.
void BM_SentenceTick(benchmark::State& state) {
    SentenceTick(state, false, PublishBurst);
}
BENCHMARK(BM_SentenceTick)->Unit(benchmark::kMicrosecond);

// Logging on: adds the append and fdatasync of GPS_LOG.txt, which depend on the disk.
void BM_SentenceTickLogging(benchmark::State& state) {
    SentenceTick(state, true, PublishBurst);
}
BENCHMARK(BM_SentenceTickLogging)->Unit(benchmark::kMicrosecond);

// A multi-GNSS receiver recorded in the field (u-blox NEO-M9N, about 23 lines a
// second), each burst as it came.
void BM_SentenceTickGnss(benchmark::State& state) {
    std::vector<std::string> bursts;
    std::string error;
    if (!LoadReplayFile(std::string(QUILLMAR_CORPUS_DIR) + "/ublox-neo-m9n-nmea.log", bursts,
                        error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    SentenceTick(state, false, [&](int step) {
        StoreBytes(bursts[static_cast<std::size_t>(step) % bursts.size()]);
    });
}
BENCHMARK(BM_SentenceTickGnss)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::string dir = (std::filesystem::temp_directory_path() / "quillmar-bench-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr || chdir(dir.c_str()) != 0)
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
