// The windows' tick follows the receiver's batches: soon after a batch is
// stored, once a second without batches, never twice for one split burst.
// Batches are signalled from a thread of their own, as the receive loop does.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "batch_signal.h"
#include "batch_ticker.h"

namespace {

class BatchTickerTest : public ::testing::Test {
protected:
    BatchTickerTest() { clock.start(); }

    // Signals a batch from another thread, `delayMs` from now.
    void BatchAfter(int delayMs) {
        senders.emplace_back([delayMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            emit BatchSignal::Instance().Stored(1);
        });
    }
    void RunFor(int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
    ~BatchTickerTest() override {
        for (std::thread& t : senders)
            t.join();
    }

    QElapsedTimer clock;
    std::vector<qint64> ticks; // ms since the test began
    std::vector<std::thread> senders;
    QObject owner;
    BatchTicker ticker{"ShowTimer", [this] { ticks.push_back(clock.elapsed()); }, &owner};
};

TEST_F(BatchTickerTest, ABatchTicksAtOnceAndTheSecondRestartsFromIt) {
    ticker.start();
    BatchAfter(300);
    RunFor(1900);
    // The batch's tick within milliseconds; the next one a second and a
    // quarter later, not at the second the ticker started.
    ASSERT_GE(ticks.size(), 2u);
    EXPECT_GE(ticks[0], 300);
    EXPECT_LT(ticks[0], 300 + 60);
    EXPECT_NEAR(ticks[1] - ticks[0], BatchTicker::kPeriodMs + BatchTicker::kBatchGraceMs, 60);
    EXPECT_EQ(ticks.size(), 2u);
}

TEST_F(BatchTickerTest, ASilentLineStillTicksOnceASecond) {
    ticker.start();
    RunFor(3300);
    ASSERT_EQ(ticks.size(), 3u);
    EXPECT_NEAR(ticks[0], 1000, 60);
    EXPECT_NEAR(ticks[1] - ticks[0], 1000, 60);
    EXPECT_NEAR(ticks[2] - ticks[1], 1000, 60);
}

TEST_F(BatchTickerTest, TwoBatchesFiftyMillisecondsApartGiveOneTick) {
    ticker.start();
    BatchAfter(100);
    BatchAfter(150);
    RunFor(700);
    ASSERT_EQ(ticks.size(), 1u);
    EXPECT_LT(ticks[0], 100 + 60);
}

TEST_F(BatchTickerTest, ABatchJustAfterATimerTickIsShownTwoHundredMillisecondsLater) {
    ticker.start();
    BatchAfter(1080); // 80 ms after the first timer tick
    RunFor(1600);
    ASSERT_EQ(ticks.size(), 2u);
    EXPECT_NEAR(ticks[0], 1000, 60);
    EXPECT_GE(ticks[1] - ticks[0], BatchTicker::kMinSpacingMs);
    EXPECT_LT(ticks[1] - ticks[0], BatchTicker::kMinSpacingMs + 60);
}

TEST_F(BatchTickerTest, ABatchALittleLateStillBeatsTheTimer) {
    // A long burst on a slow line is stored later than the one before it.
    ticker.start();
    BatchAfter(100);
    BatchAfter(100 + 1150);
    RunFor(1500);
    ASSERT_EQ(ticks.size(), 2u);
    EXPECT_NEAR(ticks[1] - ticks[0], 1150, 60);
}

TEST_F(BatchTickerTest, StoppedItNeitherTicksNorFollowsBatches) {
    ticker.start();
    ticker.stop();
    BatchAfter(100);
    RunFor(1300);
    EXPECT_TRUE(ticks.empty());
    EXPECT_FALSE(ticker.isActive());
    ticker.start();
    BatchAfter(100);
    RunFor(300);
    EXPECT_EQ(ticks.size(), 1u);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
