// Files and ports that cannot be used, met by the whole program: trace files,
// the sentence log and information files, the settings file, the splash
// picture and COMn entries that are no terminal. Paths are made unusable in
// ways that stop root too (a directory in the file's place, a link to
// /dev/full, a dangling link); the permission variant runs only without root.
#include <QStringList>
#include <filesystem>
#include <sys/stat.h>

#include "sentence_logger.h"
#include "settings_file.h"
#include "slot_text.h"
#include "whole_program.h"

namespace fs = std::filesystem;

namespace {

const char* const kTraceFiles[] = {"ComLog.txt",        "MainLog.txt",      "ThreadLog.txt",
                                   "NavigationLog.txt", "SatelliteLog.txt", "SingleLog.txt",
                                   "RoadmapLog.txt",    "SentenceLog.txt"};

std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    EXPECT_EQ(at, text.size()) << "a line was cut short";
    return lines;
}

bool IsEmptyFolder(const char* path) {
    return fs::is_directory(fs::symlink_status(path)) && fs::is_empty(path);
}

bool LinksTo(const char* path, const std::string& target) {
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(path)) && fs::read_symlink(path, ec) == target;
}

using FileFaults = WholeProgram;

// How every trace file is made unusable in one run.
enum class TraceBlock { Folder, FullDisk, DanglingLink, RemovedWhileTracing };

std::string BlockName(const testing::TestParamInfo<TraceBlock>& info) {
    const char* names[] = {"Folder", "FullDisk", "DanglingLink", "RemovedWhileTracing"};
    return names[static_cast<int>(info.param)];
}
void PrintTo(TraceBlock block, std::ostream* out) {
    *out << BlockName({block, 0});
}

class UnusableTraceFiles : public FileFaults, public testing::WithParamInterface<TraceBlock> {};

TEST_P(UnusableTraceFiles, AreSkippedWithoutAWordAndTheProgramReceives) {
    const TraceBlock block = GetParam();
    for (const char* name : kTraceFiles) {
        switch (block) {
        case TraceBlock::Folder:
            fs::create_directory(name);
            break;
        case TraceBlock::FullDisk:
            fs::create_symlink("/dev/full", name);
            break;
        case TraceBlock::DanglingLink:
            fs::create_symlink(dir_.path() + "/gone/" + name, name);
            break;
        case TraceBlock::RemovedWhileTracing:
            WriteFileBytes(name, "");
            break;
        }
    }
    GpsSim sim("COM3", {"--seed", "5"});
    ASSERT_TRUE(sim.Start());
    WriteFileBytes("Quillmar.aon", "2 1,3,1,0,");
    StartProgram();
    const std::function<bool()> received = [] {
        return !SlotEmpty(TakeReceiverSnapshot().Gga.UtcTime);
    };
    ASSERT_GE(SecondsUntil(received, 8000), 0) << Told(notifier_);
    if (block == TraceBlock::RemovedWhileTracing) {
        for (const char* name : kTraceFiles)
            fs::remove(name);
    }
    // Ticks with their trace points, a new connection (the serial library and
    // the receive loop set their traces up again) and a view opened anew.
    RunFor(1500);
    ClickTool("StopComSpeedButton");
    ClickTool("StartComSpeedButton");
    OpenView<TSatelliteForm>()->close();
    RunFor(0);
    form_.SatelliteSpeedButtonClick();
    ASSERT_NE(OpenView<TSatelliteForm>(), nullptr);
    EXPECT_GE(SecondsUntil(received, 8000), 0);
    RunFor(1200);
    EXPECT_FALSE(LookOfViews().sentences.isEmpty());
    EXPECT_TRUE(form_.ShowTimer->isActive());
    EXPECT_TRUE(notifier_.shown.empty()) << Told(notifier_);
    form_.close();
    RunFor(0);

    for (const char* name : kTraceFiles) {
        switch (block) {
        case TraceBlock::Folder:
            EXPECT_TRUE(IsEmptyFolder(name)) << name;
            break;
        case TraceBlock::FullDisk:
            EXPECT_TRUE(LinksTo(name, "/dev/full")) << name;
            break;
        case TraceBlock::DanglingLink:
            EXPECT_TRUE(LinksTo(name, dir_.path() + "/gone/" + name)) << name;
            EXPECT_FALSE(fs::exists(name)) << name << " was created through the link";
            break;
        case TraceBlock::RemovedWhileTracing:
            break; // switched on once, a module's next set-up may start it anew
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Blocks, UnusableTraceFiles,
                         testing::Values(TraceBlock::Folder, TraceBlock::FullDisk,
                                         TraceBlock::DanglingLink, TraceBlock::RemovedWhileTracing),
                         BlockName);

TEST_F(FileFaults, LogAndInformationFilesKeepWhatWasWritten) {
    // Earlier runs left bytes of every kind, and no line end at the end.
    const std::string earlierLog = std::string("$GPGGA,earlier run\r\n\x01\xff\0binary", 29);
    WriteFileBytes("GPS_LOG.txt", earlierLog);
    fs::create_directory("GPS_INFO.txt");
    GpsSim sim("COM3", {"--seed", "11", "--fix-after", "1", "--record", "sent.txt"});
    ASSERT_TRUE(sim.Start());
    WriteFileBytes("Quillmar.aon", "2 1,3,1,0,");
    StartProgram();
    TSentenceForm* sentence = OpenView<TSentenceForm>();
    ASSERT_NE(sentence, nullptr);
    QTest::mouseClick(sentence->StartLog_BitBtn, Qt::LeftButton);
    ASSERT_GE(SecondsUntil([&] { return sentence->SaveBitBtn1->isEnabled(); }, 10000), 0)
        << "no fix";
    ASSERT_TRUE(notifier_.shown.empty()) << Told(notifier_);

    // SAVE with the information file blocked: told, nothing written, and the
    // record number is not used up.
    QTest::mouseClick(sentence->SaveBitBtn1, Qt::LeftButton);
    ASSERT_GE(SecondsUntil([&] { return !notifier_.shown.empty(); }, 3000), 0);
    EXPECT_EQ(notifier_.shown[0].text, kCannotOpenLogFile);
    EXPECT_EQ(notifier_.shown[0].caption, kErrorCaption);
    EXPECT_TRUE(IsEmptyFolder("GPS_INFO.txt"));

    // The user frees the name and puts an older file back: the record follows it.
    fs::remove("GPS_INFO.txt");
    const std::string earlierInfo = "***** 0007 *****\r\nfrom an earlier run\r\n";
    WriteFileBytes("GPS_INFO.txt", earlierInfo);
    QTest::mouseClick(sentence->SaveBitBtn1, Qt::LeftButton);
    ASSERT_GE(SecondsUntil([] { return ReadFileBytes("GPS_INFO.txt").size() > 60; }, 3000), 0);
    const std::string info = ReadFileBytes("GPS_INFO.txt");
    EXPECT_EQ(info.compare(0, earlierInfo.size(), earlierInfo), 0) << "earlier record lost";
    EXPECT_EQ(info.find("***** 0001 *****\r\n", earlierInfo.size()), earlierInfo.size());
    EXPECT_EQ(CrLfLines(info.substr(earlierInfo.size())).size(), 12u);

    // The main window closes while logging: what was shown is in the file.
    RunFor(1100);
    form_.close();
    RunFor(0);
    const std::string log = ReadFileBytes("GPS_LOG.txt");
    const std::string sent = ReadFileBytes("sent.txt");
    ASSERT_EQ(log.compare(0, earlierLog.size(), earlierLog), 0) << "earlier log bytes changed";
    // The first appended line continues the earlier unterminated bytes.
    const std::size_t firstEnd = log.find("\r\n", earlierLog.size());
    ASSERT_NE(firstEnd, std::string::npos);
    EXPECT_NE(sent.find(log.substr(earlierLog.size(), firstEnd + 2 - earlierLog.size())),
              std::string::npos);
    // Every later line is one that gps-sim sent, whole.
    const std::vector<std::string> added = CrLfLines(log.substr(firstEnd + 2));
    EXPECT_GE(added.size(), 10u);
    for (const std::string& line : added)
        EXPECT_NE(sent.find(line + "\r\n"), std::string::npos) << "logged, never sent: " << line;
    EXPECT_EQ(notifier_.shown.size(), 1u) << Told(notifier_);
}

TEST_F(FileFaults, ReadOnlyFilesKeepTheirBytes) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes through permission bits; the other tests block the paths "
                        "in ways that stop root too";
    const std::string earlier = "kept\r\n";
    for (const char* name : {"GPS_LOG.txt", "GPS_INFO.txt", "MainLog.txt", "SentenceLog.txt",
                             "ComLog.txt", "SatelliteLog.txt"}) {
        WriteFileBytes(name, earlier);
        ASSERT_EQ(chmod(name, 0444), 0);
    }
    GpsSim sim("COM3", {"--seed", "2", "--fix-after", "1"});
    ASSERT_TRUE(sim.Start());
    WriteFileBytes("Quillmar.aon", "2 1,3,1,0,");
    StartProgram();
    TSentenceForm* sentence = OpenView<TSentenceForm>();
    QTest::mouseClick(sentence->StartLog_BitBtn, Qt::LeftButton);
    ASSERT_GE(SecondsUntil([] { return FixAcquired; }, 10000), 0);
    // SAVE is enabled at the sentence window's next tick.
    ASSERT_GE(SecondsUntil([&] { return sentence->SaveBitBtn1->isEnabled(); }, 3000), 0);
    QTest::mouseClick(sentence->SaveBitBtn1, Qt::LeftButton);
    RunFor(2500);
    form_.close();
    RunFor(0);
    const QStringList expected = {kCannotOpenLogFile, kCannotOpenLogFile};
    QStringList told;
    for (const auto& shown : notifier_.shown)
        told << shown.text;
    EXPECT_EQ(told, expected);
    for (const char* name : {"GPS_LOG.txt", "GPS_INFO.txt", "MainLog.txt", "SentenceLog.txt",
                             "ComLog.txt", "SatelliteLog.txt"})
        EXPECT_EQ(ReadFileBytes(name), earlier) << name;
}

// A settings file the program cannot use as it is.
struct BadSettings {
    const char* name;
    std::function<void()> make;
    const char* toldAtStart; // "" when the port starts
    bool keptAfterStart;     // the file cannot be replaced at a start
};

void PrintTo(const BadSettings& settings, std::ostream* out) {
    *out << settings.name;
}

class UnusableSettings : public FileFaults, public testing::WithParamInterface<BadSettings> {};

TEST_P(UnusableSettings, GiveTheirMessageAndThePortCanStillBeChosen) {
    PtyPort port(3);
    GetParam().make();
    const auto before = fs::symlink_status(kSettingsFileName);
    const bool huge = fs::is_regular_file(before) && fs::file_size(kSettingsFileName) > 4096;
    const std::string bytesBefore = huge ? "" : ReadFileBytes(kSettingsFileName);
    QElapsedTimer startUp;
    startUp.start();
    StartProgram();
    // The settings are read whatever their size: one line at most.
    EXPECT_LT(startUp.elapsed(), 4000);

    QStringList told;
    for (const auto& shown : notifier_.shown)
        told << shown.text;
    const bool started = *GetParam().toldAtStart == '\0';
    if (!started) {
        EXPECT_EQ(told, QStringList{GetParam().toldAtStart});
        EXPECT_FALSE(port.HeldByProgram());
        // Not written: nothing started.
        EXPECT_EQ(fs::symlink_status(kSettingsFileName).type(), before.type());
        EXPECT_EQ(ReadFileBytes(kSettingsFileName), bytesBefore);
        // The user picks the port: the connection starts.
        notifier_.shown.clear();
        Choose("ComPortComboBox", "COM_3");
    }
    EXPECT_TRUE(port.HeldByProgram()) << Told(notifier_);
    EXPECT_TRUE(form_.ShowTimer->isActive());
    EXPECT_GE(SecondsUntil([] { return ReceiveLoopThreads() == 1; }, 3000), 0);
    if (GetParam().keptAfterStart) {
        ASSERT_EQ(notifier_.shown.size(), 1u) << Told(notifier_);
        EXPECT_EQ(notifier_.shown[0].text, "Can not Save User Setting");
        EXPECT_EQ(notifier_.shown[0].caption, "Quillmar");
        EXPECT_EQ(fs::symlink_status(kSettingsFileName).type(), before.type());
        EXPECT_EQ(ReadFileBytes(kSettingsFileName), bytesBefore);
    } else {
        EXPECT_TRUE(notifier_.shown.empty()) << Told(notifier_);
        // Saved with the codes the line got: ten bytes whatever was read.
        const std::string saved = ReadFileBytes(kSettingsFileName);
        EXPECT_EQ(saved.substr(0, 2), "2 ");
        EXPECT_EQ(saved.size(), 10u) << saved;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, UnusableSettings,
    testing::Values(
        // A byte 0 that is no digit selects no port.
        BadSettings{
            "BinaryJunk",
            [] { WriteFileBytes(kSettingsFileName, std::string("\x89PNG\r\n\x1a\n\0\0", 10)); },
            "QVX_COMPORT_NUMBER_ERR", false},
        BadSettings{"Empty", [] { WriteFileBytes(kSettingsFileName, ""); },
                    "QVX_COMPORT_NUMBER_ERR", false},
        // A gigabyte (sparse) behind a valid first line: COM_3 starts at once.
        BadSettings{"Huge",
                    [] {
                        WriteFileBytes(kSettingsFileName, "2 1,3,1,0,");
                        fs::resize_file(kSettingsFileName, 1ull << 30);
                    },
                    "", false},
        BadSettings{"Folder", [] { fs::create_directory(kSettingsFileName); },
                    "QVX_COMPORT_NUMBER_ERR", true},
        // No write bit stops root too.
        BadSettings{"ReadOnly",
                    [] {
                        WriteFileBytes(kSettingsFileName, "2 3,3,1,0,");
                        chmod(kSettingsFileName, 0444);
                    },
                    "", true}),
    [](const testing::TestParamInfo<BadSettings>& info) { return std::string(info.param.name); });

TEST_F(FileFaults, CorruptSplashPictureIsToldAndTheProgramStartsAnyway) {
    // The head of a JPEG whose frame claims 30000 x 30000 pixels, then nothing.
    WriteFileBytes("Logo.jpg",
                   std::string("\xFF\xD8\xFF\xC0\x00\x11\x08\x75\x30\x75\x30\x03\x01\x22\x00\x02"
                               "\x11\x01\x03\x11\x01",
                               21));
    PtyPort port(1);
    WriteFileBytes(kSettingsFileName, "0 1,3,1,0,");
    StartProgram();
    ASSERT_EQ(notifier_.shown.size(), 1u) << Told(notifier_);
    EXPECT_EQ(notifier_.shown[0].kind, RecordingNotifier::Shown::Error);
    EXPECT_TRUE(notifier_.shown[0].text.contains(QStringLiteral("\"Logo.jpg\"")));
    EXPECT_TRUE(port.HeldByProgram());
    // The splash still goes at its first tick, and the views keep ticking.
    EXPECT_GE(SecondsUntil(
                  [] {
                      for (QWidget* w : QApplication::topLevelWidgets())
                          if (w->isVisible() && w->windowTitle() == "Zentu Technology Co., LTD")
                              return false;
                      return true;
                  },
                  6000),
              0);
    EXPECT_TRUE(AllViewsOpen());
    EXPECT_TRUE(fs::exists("Logo.jpg"));
}

TEST_F(FileFaults, PortsThatAreNoTerminalAreRefusedAndNeverWritten) {
    const std::string userBytes = "a user's file that happens to be called COM3\r\n";
    WriteFileBytes("COM3", userBytes);
    fs::create_directory("COM5");
    fs::create_symlink(dir_.path() + "/gone/ttyUSB0", "COM6");
    PtyPort good(4);
    StartProgram();

    // A regular file opens but is no terminal: refused at the line settings,
    // its handle kept until the next start or stop, as for a real port.
    Choose("ComPortComboBox", "COM_3");
    ASSERT_EQ(notifier_.shown.size(), 1u);
    const auto statusName = [this](std::size_t i) {
        return notifier_.shown[i].text.section(QLatin1Char('\n'), 0, 0);
    };
    const auto explanation = [this](std::size_t i) {
        return notifier_.shown[i].text.section(QLatin1Char('\n'), 1).toStdString();
    };
    EXPECT_EQ(statusName(0), "QVX_COMPORT_GET_COM_STATE_ERR");
    EXPECT_NE(explanation(0).find("is a regular file (46 bytes)"), std::string::npos)
        << explanation(0);
    EXPECT_FALSE(form_.ShowTimer->isActive());
    EXPECT_EQ(ReceiveLoopThreads(), 0);
    EXPECT_EQ(DescriptorsOn("COM3"), 1);
    // SEND goes to that handle; the user's bytes must not be overwritten.
    ClickButton("SendBitBtn");
    EXPECT_EQ(ReadFileBytes("COM3"), userBytes);

    Choose("ComPortComboBox", "COM_5");
    Choose("ComPortComboBox", "COM_6");
    ASSERT_EQ(notifier_.shown.size(), 3u) << Told(notifier_);
    EXPECT_EQ(statusName(1), "QVX_COMPORT_INIT_ERR");
    EXPECT_NE(explanation(1).find("COM5 in " + dir_.path() + " is no serial device"),
              std::string::npos)
        << explanation(1);
    EXPECT_EQ(statusName(2), "QVX_COMPORT_INIT_ERR");
    EXPECT_NE(explanation(2).find("COM6 is a link to " + dir_.path() + "/gone/ttyUSB0"),
              std::string::npos)
        << explanation(2);
    EXPECT_EQ(DescriptorsOn("COM3"), 0) << "the next start let the file go";

    // A terminal after all that: it runs.
    Choose("ComPortComboBox", "COM_4");
    EXPECT_EQ(notifier_.shown.size(), 3u) << Told(notifier_);
    EXPECT_TRUE(form_.ShowTimer->isActive());
    EXPECT_GE(SecondsUntil([] { return ReceiveLoopThreads() == 1; }, 3000), 0);
    good.Send("$GPGGA,101010.00,2502.0340,N,12133.8700,E,1,08,1.0,10.0,M,,M,,*44\r\n");
    EXPECT_GE(SecondsUntil([] { return !SlotEmpty(TakeReceiverSnapshot().Gga.UtcTime); }, 4000), 0);

    EXPECT_EQ(ReadFileBytes("COM3"), userBytes);
    EXPECT_TRUE(IsEmptyFolder("COM5"));
    EXPECT_FALSE(fs::exists("COM6"));
    EXPECT_EQ(ReadFileBytes(kSettingsFileName), "3 1,3,1,0,");
}

} // namespace
