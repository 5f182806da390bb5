// The whole program fed hostile bytes: a receiver on a pty that sends four
// bursts a second of damaged, oversized and binary output for about 40 s,
// while every window is open, every trace file is on, the sentence window
// logs and SAVE is pressed. Built with the sanitizers, any bad read, write or
// undefined operation on the way from the line to the pixels and files ends
// the run. HOSTILE_SEED replays a run's bytes (the printed seed); HOSTILE_SECONDS
// sets its length.
#include <QAction>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <pty.h>
#include <random>
#include <termios.h>

#include "close_on_signal.h"
#include "hostile_bytes.h"
#include "roadmap_form.h"
#include "scripted_receiver.h"
#include "sentence_logger.h"
#include "whole_program.h"

namespace {

uint64_t SeedOfRun() {
    if (const char* given = std::getenv("HOSTILE_SEED"))
        return std::strtoull(given, nullptr, 10);
    return std::random_device{}() % 1000000;
}

int SecondsOfRun() {
    const char* given = std::getenv("HOSTILE_SECONDS");
    return given != nullptr ? std::max(1, std::atoi(given)) : 40;
}

// A raw pty linked as COM1: nothing the line discipline would echo, turn into
// signals or hold back for a line end.
struct RawPty {
    RawPty() {
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        termios raw{};
        tcgetattr(slave, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave, TCSANOW, &raw);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        std::filesystem::create_symlink(name, "COM1");
    }
    ~RawPty() {
        ::close(master);
        ::close(slave);
    }
    RawPty(const RawPty&) = delete;
    RawPty& operator=(const RawPty&) = delete;
    int master = -1;
    int slave = -1;
};

// The feed is only as hostile as its generator: a run's worth of one seed
// holds every kind of damage, and a burst is the same whether or not the ones
// before it were made (so a printed seed replays the bytes).
TEST(HostileBytes, ASeedGivesItsBurstsAgainAndARunHoldsEveryKindOfDamage) {
    hostile::BurstMaker run(42), alone(42);
    std::string stream;
    int over4k = 0;
    for (int n = 0; n < 160; ++n) { // 40 s at four bursts a second
        const std::string burst = run.Burst(n);
        over4k += burst.size() > 4096;
        stream += burst;
    }
    EXPECT_EQ(alone.Burst(77), run.Burst(77));
    EXPECT_NE(alone.Burst(78), hostile::BurstMaker(43).Burst(78));
    EXPECT_GE(over4k, 10);

    int valid = 0, damaged = 0, longLines = 0, glued = 0;
    std::size_t start = 0;
    for (std::size_t end; (end = stream.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string_view line(stream.data() + start, end - start);
        longLines += line.size() >= 300;
        if (line.starts_with('$'))
            (ValidNmeaSentence(line) ? valid : damaged) += 1;
        for (std::size_t at = line.find('$', 1); at != std::string::npos;
             at = line.find('$', at + 1))
            glued += 1;
    }
    EXPECT_GT(valid, 500);
    EXPECT_GT(damaged, 200);
    EXPECT_GT(longLines, 20);
    EXPECT_GT(glued, 50) << "sentences without a line end before the next";
    EXPECT_NE(stream.find('\0'), std::string::npos);
    EXPECT_NE(stream.find('\xFF'), std::string::npos);
    EXPECT_NE(stream.find(std::string(40, '9')), std::string::npos);
    for (const char* talker : hostile::kTalkers) {
        for (const char* type : {"GGA", "GSA", "GSV", "RMC", "VTG", "ZDA", "GLL", "TXT"})
            EXPECT_NE(stream.find("$" + std::string(talker) + type + ","), std::string::npos)
                << talker << type;
    }
    EXPECT_NE(stream.find("$PUBX,"), std::string::npos);
}

using HostileFeed = WholeProgram;

TEST_F(HostileFeed, EveryWindowSurvivesFortySecondsOfHostileBytesAndEndsOnSigterm) {
    const uint64_t seed = SeedOfRun();
    const int seconds = SecondsOfRun();
    std::printf("hostile feed: seed %llu for %d s (replay with HOSTILE_SEED=%llu)\n",
                static_cast<unsigned long long>(seed), seconds,
                static_cast<unsigned long long>(seed));
    std::fflush(stdout);
    SCOPED_TRACE("HOSTILE_SEED=" + std::to_string(seed));

    for (const char* trace :
         {"ComLog.txt", "MainLog.txt", "ThreadLog.txt", "NavigationLog.txt", "SatelliteLog.txt",
          "SingleLog.txt", "RoadmapLog.txt", "SentenceLog.txt"})
        WriteFileBytes(trace, "");
    WriteFileBytes("Quillmar.aon", "0 1,3,1,0,"); // COM_1 at 9600 bit/s, 8N1
    RawPty line;
    StartProgram();
    CloseOnTerminationSignals(&form_);
    TSentenceForm* sentence = OpenView<TSentenceForm>();
    auto* navigation = OpenView<TNavigationForm>();
    auto* satellite = OpenView<TSatelliteForm>();
    auto* single = OpenView<TSingleQualityForm>();
    auto* roadmap = OpenView<TRoadmapForm>();
    ASSERT_TRUE(sentence && navigation && satellite && single && roadmap);
    QTest::mouseClick(sentence->StartLog_BitBtn, Qt::LeftButton);
    ASSERT_TRUE(SentenceLog().logging());

    hostile::BurstMaker maker(seed);
    std::string sent; // written by the sender's thread until it is stopped
    ScriptedSender sender(
        line.master,
        [&](int n) {
            std::string burst = maker.Burst(n);
            sent += burst;
            return burst;
        },
        std::chrono::milliseconds(250));

    // Meanwhile the user works every window: coordinate modes, zoom, grid,
    // window sizes (small ones too) and SAVE now and then.
    std::mt19937 user(static_cast<uint32_t>(seed));
    int saves = 0;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < seconds * 1000) {
        RunFor(400);
        ASSERT_TRUE(AllViewsOpen()) << "a window went away";
        switch (user() % 8) {
        case 0:
            navigation->degonlyPopMenuClick();
            break;
        case 1:
            navigation->degandminPopMenuClick();
            break;
        case 2:
            navigation->degminsecPopMenuClick();
            break;
        case 3:
            user() % 2 ? roadmap->ZoomInMenuClick() : roadmap->ZoomOutMenuClick();
            break;
        case 4:
            user() % 2 ? roadmap->GridSizeMenu_50Click() : roadmap->GridSizeMenu_25Click();
            break;
        case 5:
            satellite->resize(static_cast<int>(20 + user() % 500),
                              static_cast<int>(20 + user() % 500));
            roadmap->resize(static_cast<int>(20 + user() % 700),
                            static_cast<int>(20 + user() % 700));
            break;
        case 6: // only taken while there is a fix
            if (sentence->SaveBitBtn1->isEnabled()) {
                QTest::mouseClick(sentence->SaveBitBtn1, Qt::LeftButton);
                ++saves;
            }
            break;
        default:
            break;
        }
    }
    if (saves == 0) {
        ASSERT_GE(SecondsUntil([&] { return sentence->SaveBitBtn1->isEnabled(); }, 20000), 0)
            << "never a fix, so SAVE was never taken";
        QTest::mouseClick(sentence->SaveBitBtn1, Qt::LeftButton);
        ++saves;
    }
    RunFor(1500); // the last SAVE's tick
    sender.Stop();
    std::printf("%zu bursts, %zu bytes sent; %d SAVE presses\n", sender.Sent().size(), sent.size(),
                saves);

    // SIGTERM closes the program as its window's close button would: every
    // window goes, the receive loop ends and lets the port go.
    ASSERT_EQ(::kill(::getpid(), SIGTERM), 0);
    ASSERT_GE(SecondsUntil([&] { return !form_.isVisible(); }, 10000), 0)
        << "SIGTERM did not close the program";
    RunFor(200);
    for (QWidget* window : QApplication::topLevelWidgets())
        EXPECT_FALSE(window->isVisible()) << window->metaObject()->className();
    EXPECT_TRUE(WaitForReceiveLoops(4000));
    EXPECT_EQ(DescriptorsOn("COM1"), 1) << "the port stayed open";

    // The log holds lines as they came: each a piece of what was sent.
    const std::vector<std::string> logged = CrLfSplit(ReadFileBytes("GPS_LOG.txt"));
    EXPECT_GT(logged.size(), 100u);
    for (const std::string& entry : logged)
        ASSERT_NE(sent.find(entry), std::string::npos) << "logged but never sent: " << entry;
    // Records saved are whole: twelve CR LF lines each.
    const std::string records = ReadFileBytes("GPS_INFO.txt");
    EXPECT_EQ(CrLfSplit(records).size() % 12, 0u);
    EXPECT_TRUE(records.empty() || records.ends_with("\r\n"));
    // Every trace was written to.
    for (const char* trace :
         {"ComLog.txt", "MainLog.txt", "ThreadLog.txt", "NavigationLog.txt", "SatelliteLog.txt",
          "SingleLog.txt", "RoadmapLog.txt", "SentenceLog.txt"})
        EXPECT_GT(ReadFileBytes(trace).size(), 0u) << trace;
    for (const auto& shown : notifier_.shown) {
        // Only SAVE without a fix may be told; no file ever failed.
        EXPECT_EQ(shown.text, QString::fromLatin1(kInformationWrong)) << Told(notifier_);
    }
    std::printf("%zu lines logged, %zu information records, %zu notices\n", logged.size(),
                CrLfSplit(records).size() / 12, notifier_.shown.size());
}

} // namespace
