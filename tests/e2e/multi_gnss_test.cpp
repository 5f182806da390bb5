// A receiver of today, replayed into the whole program: a u-blox M9N that
// speaks for four systems in 1.4 KB a second.
#include <QRegularExpression>
#include <set>

#include "decimal_degrees.h"
#include "whole_program.h"

namespace {

using MultiGnss = WholeProgram;

std::string CapturePath(const char* name) {
    for (const std::string& path : CorpusLogPaths())
        if (path.find(name) != std::string::npos)
            return path;
    return {};
}

// The decimal-degree texts of the capture's GNGGA latitudes, as the
// position plot writes them.
std::set<std::string> CapturedLatitudes(const std::string& path) {
    std::set<std::string> texts;
    const std::string log = LoadReceiverLog(path);
    for (std::size_t at = log.find("$GNGGA,"); at != std::string::npos;
         at = log.find("$GNGGA,", at + 1)) {
        const std::size_t start = log.find(',', at + 7) + 1;
        const std::string latitude = log.substr(start, log.find(',', start) - start);
        char text[kDecimalDegreeTextSize];
        DecimalDegreeText(latitude, 2, text);
        texts.insert(text);
    }
    return texts;
}

TEST_F(MultiGnss, AReplayedReceiverOfFourSystemsIsPlottedAndItsSkyShown) {
    const std::string capture = CapturePath("ublox-neo-m9n");
    ASSERT_FALSE(capture.empty());
    WriteFileBytes("RoadmapLog.txt", "");
    WriteFileBytes("SatelliteLog.txt", "");
    GpsSim receiver("COM3", {"--replay", QString::fromStdString(capture)});
    ASSERT_TRUE(receiver.Start());
    StartProgram();
    Choose("ComPortComboBox", "COM_3");

    // Its positions reach the plot: "a = 0/1, <latitude>" lines.
    const std::set<std::string> latitudes = CapturedLatitudes(capture);
    ASSERT_GT(latitudes.size(), 1u);
    const QRegularExpression positionLine(QStringLiteral("a = [01], (\\d+\\.\\d{6})\\r\\n"));
    std::vector<std::string> plotted;
    ASSERT_GE(SecondsUntil(
                  [&] {
                      plotted.clear();
                      const QString trace = QString::fromStdString(ReadFileBytes("RoadmapLog.txt"));
                      for (auto m = positionLine.globalMatch(trace); m.hasNext();) {
                          const std::string text = m.next().captured(1).toStdString();
                          if (text.rfind("38.", 0) == 0) // latitudes; longitudes are 122.
                              plotted.push_back(text);
                      }
                      return plotted.size() >= 3;
                  },
                  12000),
              0)
        << ReadFileBytes("RoadmapLog.txt");
    for (const std::string& text : plotted)
        EXPECT_EQ(latitudes.count(text), 1u) << text;

    // The sky plot shows satellites of at least three systems.
    const QRegularExpression satelliteLine(QStringLiteral("SV = ([A-Z]?)\\d+,"));
    std::set<QString> systems;
    for (auto m =
             satelliteLine.globalMatch(QString::fromStdString(ReadFileBytes("SatelliteLog.txt")));
         m.hasNext();)
        systems.insert(m.next().captured(1));
    EXPECT_GE(systems.size(), 3u) << ReadFileBytes("SatelliteLog.txt");
    EXPECT_TRUE(notifier_.shown.empty()) << Told(notifier_);
}

} // namespace
