// What the five readout windows share: the trace file they write only when it
// was left in the working directory, and a close after which they write
// nothing, clear their open flag and go away.
#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <regex>
#include <string>

#include "navigation_form.h"
#include "program_flags.h"
#include "readout_test_util.h"
#include "recording_notifier.h"
#include "roadmap_form.h"
#include "satellite_form.h"
#include "sentence_form.h"
#include "single_quality_form.h"
#include "test_support.h"
#include "views.h"
#include "window_tick_stamp.h"

namespace {

struct ReadoutWindow {
    const char* name;
    QWidget* (*create)();
    const char* traceFile;
    std::function<void(QWidget*)> tick; // the form's own timer handler
    const char* startLabel;
    const char* finishLabel;
    bool* openFlag;
    std::string batch; // the receiver's bytes the ticks show
    std::string body;  // pattern of what one tick writes between its two timing lines
};

void PrintTo(const ReadoutWindow& window, std::ostream* out) {
    *out << window.name;
}

// `text` matched as it stands.
std::string Literal(const std::string& text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

// "<label> : %15.10f seconds\r\n"
std::string Timing(const char* label) {
    return Literal(label) + R"( : [ 0-9]{4}\.[0-9]{10} seconds\r\n)";
}

const std::string kGga = "$GPGGA,123519,2502.1234,N,12130.5000,E,1,08,0.9,545.4,M,46.9,M,,*40";
const std::string kReply = "$PXEMA,VERSION,1.93*0E";

ReadoutWindow Navigation() {
    return {"Navigation",
            CreateNavigationForm,
            "NavigationLog.txt",
            [](QWidget* form) { static_cast<TNavigationForm*>(form)->ShowTimerTimer(); },
            "Start Navigation Timer",
            "Finish Navigation Timer",
            &NavigationOpen,
            NmeaBurst(1),
            ""};
}

ReadoutWindow Satellite() {
    // Only a satellite with a signal is traced, in table order; at elevation
    // 90 it stands at the centre, the same distance from the left and the top.
    return {"Satellite",
            CreateSatelliteForm,
            "SatelliteLog.txt",
            [](QWidget* form) { static_cast<TSatelliteForm*>(form)->Timer1Timer(); },
            "Start Satellite Timer",
            "Finish Satellite Timer",
            &SatelliteOpen,
            FramedSentence("GPGSA,A,3,07,,,,,,,,,,,,2.5,1.3,2.1") +
                FramedSentence("GPGSV,1,1,03,07,90,123,40,09,30,100,,11,45,200,33"),
            Literal("SV = 07, E=90 ,A=123\xA2\x58, ") + R"(\(([0-9]+\.[0-9]{6}),\1\)\r\n)" +
                Literal("SV = 11, E=45 ,A=200\xA2\x58, ") +
                R"(\([0-9]+\.[0-9]{6},[0-9]+\.[0-9]{6}\)\r\n)"};
}

ReadoutWindow SingleQuality() {
    return {"SingleQuality",
            CreateSingleQualityForm,
            "SingleLog.txt",
            [](QWidget* form) { static_cast<TSingleQualityForm*>(form)->SingleTimerTimer(); },
            "Start Single Timer",
            "Finish Single Timer",
            &SingleQualityOpen,
            NmeaBurst(1),
            ""};
}

ReadoutWindow Roadmap() {
    return {"Roadmap",
            CreateRoadmapForm,
            "RoadmapLog.txt",
            [](QWidget* form) { static_cast<TRoadmapForm*>(form)->RoadmapTimerTimer(); },
            "Start Roadmap Timer",
            "Finish Roadmap Timer",
            &RoadmapOpen,
            FramedSentence("GPGGA,120000.00,,,,,0,00,,,M,,M,,"),
            Literal("GGA No Single\r\n")};
}

ReadoutWindow Sentence() {
    // The finish line of this window is spelt with a small f.
    return {"Sentence",
            CreateSentenceForm,
            "SentenceLog.txt",
            [](QWidget* form) { static_cast<TSentenceForm*>(form)->ShowTimerTimer(); },
            "Start Sentence Timer",
            "finish Sentence Timer",
            &SentenceOpen,
            kGga + "\r\n" + kReply + "\r\n",
            Literal(kGga + "\r\n" + kReply + "\r\n")};
}

class ReadoutLifecycle : public ::testing::TestWithParam<ReadoutWindow> {
protected:
    void SetUp() override {
        ClearReceiverState();
        WindowTimerStart(); // as the main status timer does each second
    }
    void TearDown() override {
        RunDeferredDeletes();
        ClearReceiverState();
    }
    // As the main window opens one: the flag first, then the window.
    QWidget* Open() {
        *GetParam().openFlag = true;
        return GetParam().create();
    }

    TempWorkDir dir;
    ScopedRecordingNotifier notifier;
};

} // namespace

TEST_P(ReadoutLifecycle, TraceFileOnlyWhenPresentAndNothingAfterClose) {
    const ReadoutWindow& window = GetParam();
    const char* file = window.traceFile;
    StoreBytes(window.batch);

    // No file, no trace.
    {
        QPointer<QWidget> form = Open();
        window.tick(form);
        form->close();
        RunDeferredDeletes();
        EXPECT_FALSE(FileExists(file));
    }

    // A file left from an earlier run is emptied at open and gets the ticks.
    WriteFileBytes(file, "left from an earlier run\r\n");
    QPointer<QWidget> form = Open();
    EXPECT_EQ(ReadFileBytes(file), "");
    window.tick(form);
    window.tick(form);
    const std::string trace = ReadFileBytes(file);
    const std::regex twoTicks("(?:" + Timing(window.startLabel) + window.body +
                              Timing(window.finishLabel) + "){2}");
    EXPECT_TRUE(std::regex_match(trace, twoTicks)) << trace;

    // Closed: the flag is down and nothing more is written, though the
    // window lives until its deferred delete.
    EXPECT_TRUE(*window.openFlag);
    form->close();
    EXPECT_FALSE(*window.openFlag);
    ASSERT_FALSE(form.isNull());
    window.tick(form);
    StoreBytes(window.batch);
    QApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(ReadFileBytes(file), trace);
    RunDeferredDeletes();
    EXPECT_TRUE(form.isNull());

    // The next window of the kind starts the trace afresh.
    form = Open();
    EXPECT_EQ(ReadFileBytes(file), "");
    form->close();
}

INSTANTIATE_TEST_SUITE_P(Windows, ReadoutLifecycle,
                         ::testing::Values(Navigation(), Satellite(), SingleQuality(), Roadmap(),
                                           Sentence()),
                         [](const auto& info) { return std::string(info.param.name); });
