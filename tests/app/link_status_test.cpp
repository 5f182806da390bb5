#include "link_status.h"

#include <gtest/gtest.h>

#include "portavel.h"

namespace {

LinkFacts Facts(LinkState state) {
    LinkFacts facts;
    facts.state = state;
    facts.port = "COM_3";
    facts.device = "/dev/ttyUSB0";
    facts.settings = "9600 bit/s 8N1";
    return facts;
}

TEST(LinkStatusText, EachStateInWordsAfterPortDeviceAndSettings) {
    LinkFacts receiving = Facts(LinkState::Receiving);
    receiving.lastBatch = "12:34:56";
    EXPECT_EQ(LinkStatusText(receiving),
              "COM_3 -> /dev/ttyUSB0 | 9600 bit/s 8N1 | receiving, last batch 12:34:56");
    LinkFacts quiet = Facts(LinkState::NoData);
    quiet.secondsWithoutData = 17;
    EXPECT_EQ(LinkStatusText(quiet), "COM_3 -> /dev/ttyUSB0 | 9600 bit/s 8N1 | no data for 17 s");
    EXPECT_EQ(LinkStatusText(Facts(LinkState::ReceiverLost)),
              "COM_3 -> /dev/ttyUSB0 | 9600 bit/s 8N1 | receiver lost");
    EXPECT_EQ(LinkStatusText(Facts(LinkState::Stopped)),
              "COM_3 -> /dev/ttyUSB0 | 9600 bit/s 8N1 | stopped");
    LinkFacts failed = Facts(LinkState::StartFailed);
    failed.failure = "permission denied";
    EXPECT_EQ(LinkStatusText(failed),
              "COM_3 -> /dev/ttyUSB0 | 9600 bit/s 8N1 | start failed: permission denied");

    // Fields of other states are not shown.
    LinkFacts stale = Facts(LinkState::Stopped);
    stale.lastBatch = "12:34:56";
    stale.secondsWithoutData = 3;
    stale.failure = "old";
    EXPECT_EQ(LinkStatusText(stale), "COM_3 -> /dev/ttyUSB0 | 9600 bit/s 8N1 | stopped");
}

TEST(LinkStatusText, MissingPartsAreLeftOutNotShownEmpty) {
    LinkFacts none;
    EXPECT_EQ(LinkStatusText(none), "no port | stopped");
    none.settings = "4800 bit/s 8N1";
    none.device = "/dev/ttyS0"; // no port chosen: a device alone means nothing
    EXPECT_EQ(LinkStatusText(none), "no port | 4800 bit/s 8N1 | stopped");
    LinkFacts noDevice = Facts(LinkState::Receiving);
    noDevice.device.clear();
    EXPECT_EQ(LinkStatusText(noDevice), "COM_3 | 9600 bit/s 8N1 | receiving");
    EXPECT_EQ(LinkStatusText(Facts(LinkState::StartFailed)),
              "COM_3 -> /dev/ttyUSB0 | 9600 bit/s 8N1 | start failed");
}

TEST(LineSettingsText, WhatTheLineGetsForTheCodes) {
    EXPECT_EQ(LineSettingsText(LineCodes{}), "9600 bit/s 8N1");
    // Baud codes are not in speed order; parity code 0 is even.
    EXPECT_EQ(LineSettingsText({8, 2, 0, 1}), "2400 bit/s 7E1.5");
    EXPECT_EQ(LineSettingsText({9, 0, 2, 2}), "4800 bit/s 5O2");
    EXPECT_EQ(LineSettingsText({6, 1, 3, 0}), "115200 bit/s 6M1");
    EXPECT_EQ(LineSettingsText({7, 3, 4, 0}), "128000 bit/s 8S1");
    // Codes the library does not know show the fallback it uses.
    EXPECT_EQ(LineSettingsText({-48, 99, 17, -1}), "9600 bit/s 8N2");
}

TEST(StartFailureText, NameFirstThenWords) {
    EXPECT_EQ(StartFailureText(QVX_COMPORT_NUMBER_ERR),
              "QVX_COMPORT_NUMBER_ERR, no port of the list is selected");
    EXPECT_EQ(StartFailureText(QVX_COMPORT_INIT_ERR),
              "QVX_COMPORT_INIT_ERR, the device could not be opened");
    EXPECT_EQ(StartFailureText(QVX_COMPORT_SET_COM_STATE_ERR),
              "QVX_COMPORT_SET_COM_STATE_ERR, the device refused the line settings");
    EXPECT_EQ(StartFailureText(12345), "ISP_UNKNOWN_ERR");
}

TEST(DataWatch, ReceivingWhileDataComesNoDataCountsFromTheLast) {
    DataWatch watch;
    LinkFacts facts;
    watch.Started(100.0);
    watch.Describe(100.4, facts);
    EXPECT_EQ(facts.state, LinkState::NoData);
    EXPECT_EQ(facts.secondsWithoutData, 0);
    watch.Describe(103.9, facts);
    EXPECT_EQ(facts.secondsWithoutData, 3) << "counted from the start";

    watch.DataArrived(104.0, "10:00:04");
    watch.Describe(104.1, facts);
    EXPECT_EQ(facts.state, LinkState::Receiving);
    EXPECT_EQ(facts.lastBatch, "10:00:04");
    // One missing batch is no silence yet; two seconds are.
    watch.Describe(105.9, facts);
    EXPECT_EQ(facts.state, LinkState::Receiving);
    watch.Describe(106.0, facts);
    EXPECT_EQ(facts.state, LinkState::NoData);
    EXPECT_EQ(facts.secondsWithoutData, 2);
    watch.Describe(164.5, facts);
    EXPECT_EQ(LinkStatusText(facts).substr(LinkStatusText(facts).rfind('|')), "| no data for 60 s");

    // A new start forgets the old data; a clock read before the start counts 0.
    watch.Started(200.0);
    watch.Describe(199.0, facts);
    EXPECT_EQ(facts.state, LinkState::NoData);
    EXPECT_EQ(facts.secondsWithoutData, 0);
}

} // namespace
