#include "link_status.h"

#include <gtest/gtest.h>

#include "portavel.h"

namespace {

TEST(LinkStatusText, EachStateInWordsAndOnlyItsOwnFields) {
    LinkFacts facts{LinkState::Receiving, "COM_3", "/dev/ttyUSB0",     "9600 bit/s 8N1",
                    "12:34:56",           17,      "permission denied"};
    const std::string head = "COM_3 -> /dev/ttyUSB0 | 9600 bit/s 8N1 | ";
    const std::pair<LinkState, std::string> states[] = {
        {LinkState::Receiving, "receiving, last batch 12:34:56"},
        {LinkState::NoData, "no data for 17 s"},
        {LinkState::ReceiverLost, "receiver lost"},
        {LinkState::Stopped, "stopped"},
        {LinkState::StartFailed, "start failed: permission denied"},
    };
    for (const auto& [state, words] : states) {
        facts.state = state;
        EXPECT_EQ(LinkStatusText(facts), head + words);
    }
    // Parts nobody knows are left out, not shown empty.
    EXPECT_EQ(LinkStatusText({}), "no port | stopped");
    EXPECT_EQ(LinkStatusText({LinkState::Receiving, "COM_3", "", "", "", 0, ""}),
              "COM_3 | receiving");
}

TEST(LinkStatusText, SettingsAndFailuresAsTheLibraryTakesThem) {
    EXPECT_EQ(LineSettingsText(LineCodes{}), "9600 bit/s 8N1");
    // Baud codes are not in speed order; parity code 0 is even.
    EXPECT_EQ(LineSettingsText({8, 2, 0, 1}), "2400 bit/s 7E1.5");
    // Codes the library does not know show the fallback it uses.
    EXPECT_EQ(LineSettingsText({-48, 99, 17, -1}), "9600 bit/s 8N2");
    EXPECT_EQ(StartFailureText(QVX_COMPORT_INIT_ERR),
              "QVX_COMPORT_INIT_ERR, the device could not be opened");
    EXPECT_EQ(StartFailureText(12345), "ISP_UNKNOWN_ERR");
}

TEST(DataWatch, ReceivingWhileDataComesNoDataCountsFromTheLast) {
    DataWatch watch;
    LinkFacts facts;
    watch.Started(100.0);
    watch.Describe(103.9, facts);
    EXPECT_EQ(facts.state, LinkState::NoData);
    EXPECT_EQ(facts.secondsWithoutData, 3) << "counted from the start";
    watch.DataArrived(104.0, "10:00:04");
    watch.Describe(105.9, facts); // one missing batch is no silence yet
    EXPECT_EQ(facts.state, LinkState::Receiving);
    EXPECT_EQ(facts.lastBatch, "10:00:04");
    watch.Describe(106.0, facts);
    EXPECT_EQ(facts.state, LinkState::NoData);
    EXPECT_EQ(facts.secondsWithoutData, 2);
    // A new start forgets the old data.
    watch.Started(200.0);
    watch.Describe(200.5, facts);
    EXPECT_EQ(facts.state, LinkState::NoData);
    EXPECT_EQ(facts.secondsWithoutData, 0);
}

} // namespace
