// The signal bars: levels, wipe rule and colours, the pixels a tick leaves
// in each box, and the window.
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <climits>
#include <gtest/gtest.h>

#include "batch_ticker.h"
#include <regex>

#include "program_flags.h"
#include "readout_style.h"
#include "readout_test_util.h"
#include "single_quality_bars.h"
#include "single_quality_form.h"
#include "test_support.h"
#include "trace_file.h"
#include "views.h"
#include "window_tick_stamp.h"

namespace {

// Slot i gets PRN, SNR text and the level pair {previous, current}.
void SetSlot(ReceiverState& s, int i, const char* prn, const char* snr, int previous, int current) {
    Put(s.Gsv.Prn[i], prn);
    Put(s.Gsv.Snr[i], snr);
    s.Gsv.SnrLevel[i] = {previous, current};
}

// The topmost row of the box holding the given colour in column x, or -1.
int TopOf(const QImage& box, int x, QRgb colour) {
    for (int y = 0; y < box.height(); ++y)
        if (box.pixel(x, y) == colour)
            return y;
    return -1;
}

} // namespace

TEST(SignalBars, LevelsWipeRuleAndColours) {
    ReceiverState s{};
    SetSlot(s, 0, "01", "35", 35, 35); // steady
    SetSlot(s, 1, "04", "57", 50, 50); // above the scale
    SetSlot(s, 2, "07", "20", 40, 20); // fell
    SetSlot(s, 3, "08", "40", 20, 40); // rose
    SetSlot(s, 4, "11", "", 12, 0);    // lost
    Put(s.Gsa.FixType, "3");
    const SignalBars bars = BuildSignalBars(s, 25, 200);
    EXPECT_EQ(bars.k, 4);
    EXPECT_EQ(bars.penWidth, 5);
    EXPECT_EQ(bars.colour, kBarRed);

    EXPECT_EQ(bars.columns[0].bar, (PixelBox{10, 60, 15, 200}));
    EXPECT_TRUE(bars.columns[0].wipe);
    EXPECT_EQ(bars.columns[1].bar.top, 0);
    EXPECT_EQ(bars.columns[1].snrText, "57");
    EXPECT_EQ(bars.columns[2].bar.top, 120);
    EXPECT_TRUE(bars.columns[2].wipe);
    EXPECT_EQ(bars.columns[2].wipeBox, (PixelBox{10, 0, 15, 120}));
    EXPECT_EQ(bars.columns[3].bar.top, 40);
    EXPECT_FALSE(bars.columns[3].wipe);
    EXPECT_EQ(bars.columns[4].bar, (PixelBox{10, 200, 15, 200}));
    EXPECT_TRUE(bars.columns[4].wipe);
    EXPECT_EQ(bars.columns[4].prnText, "11");
    // Slots past the satellites in view still show what they hold.
    EXPECT_EQ(bars.columns[7].prnText, "");
    EXPECT_EQ(bars.columns[7].bar.top, 200);

    Put(s.Gsa.FixType, "2");
    EXPECT_EQ(BuildSignalBars(s, 25, 200).colour, kBarBlue);
    Put(s.Gsa.FixType, "1");
    EXPECT_EQ(BuildSignalBars(s, 25, 200).colour, kBarBlack);
    Put(s.Gsa.FixType, "");
    EXPECT_EQ(BuildSignalBars(s, 25, 200).colour, kBarBlack);
    EXPECT_EQ(BuildSignalBars(s, 25, 100).columns[0].bar.top, 30); // k = 2
}

TEST(SignalBars, LevelsOutsideTheScaleAreHeldToIt) {
    ReceiverState s{};
    SetSlot(s, 0, "01", "", INT_MIN, INT_MAX);
    SetSlot(s, 1, "02", "", INT_MAX, INT_MIN);
    const SignalBars bars = BuildSignalBars(s, 25, 200);
    EXPECT_EQ(bars.columns[0].level, 50);
    EXPECT_EQ(bars.columns[0].bar.top, 0);
    EXPECT_FALSE(bars.columns[0].wipe);
    EXPECT_EQ(bars.columns[1].level, 0);
    EXPECT_EQ(bars.columns[1].bar.top, 200);
    EXPECT_TRUE(bars.columns[1].wipe);
}

TEST(SignalBars, WidePenCoversTheBarAndIsClippedToTheBox) {
    EXPECT_EQ(PenCoverage({10, 60, 15, 200}, 5, 25, 200), (PixelBox{8, 58, 18, 200}));
    EXPECT_EQ(PenCoverage({10, 0, 15, 120}, 5, 25, 200), (PixelBox{8, 0, 18, 123}));
    EXPECT_TRUE(PenCoverage({10, 300, 15, 400}, 5, 25, 200).empty());
}

// --- Pixels and the window ------------------------------------------------------

TEST(SingleQualityForm, BarsPaintKeepAndWipe) {
    TempWorkDir dir;
    // Two batches: satellite 01 rises from no signal to 40, 04 stays at 35.
    ReceiverState s{};
    Put(s.Gsv.SatellitesInView, "2");
    SetSlot(s, 0, "01", "", 0, 0);
    SetSlot(s, 1, "04", "35", 0, 35);
    PublishState(s);
    SetSlot(s, 0, "01", "40", 0, 40);
    Put(s.Gsa.FixType, "3");
    PublishState(s);
    QPointer<QWidget> widget = CreateSingleQualityForm();
    auto* form = static_cast<TSingleQualityForm*>(widget.data());
    form->show();
    form->SingleTimerTimer();
    auto* first = form->findChild<SignalPaintBox*>("SignalPaintBox_1");
    auto* second = form->findChild<SignalPaintBox*>("SignalPaintBox_2");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    const QRgb red = qRgb(255, 0, 0), face = ButtonFace().rgb();
    // A rising bar keeps its pen edge above the level; a steady one is wiped
    // above it.
    EXPECT_EQ(TopOf(first->pixels(), 12, red), 38);
    EXPECT_EQ(first->pixels().pixel(12, 199), red);
    EXPECT_EQ(first->pixels().pixel(20, 100), face);
    const int top = TopOf(second->pixels(), 12, red);
    EXPECT_GE(top, 60);
    EXPECT_LE(top, 64);
    EXPECT_EQ(second->pixels().pixel(12, 30), face);

    // Uncovering repaints from the kept pixels, without a tick.
    const QImage shown = second->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.pixel(12, 150), red);
    EXPECT_EQ(shown.pixel(12, 30), face);

    // The level falls from 40 to 20: the old bar above 120 is wiped away.
    SetSlot(s, 0, "01", "20", 40, 20);
    Put(s.Gsa.FixType, "2");
    PublishState(s);
    form->SingleTimerTimer();
    const QRgb blue = qRgb(0, 0, 255);
    EXPECT_EQ(first->pixels().pixel(12, 100), face);
    EXPECT_EQ(first->pixels().pixel(12, 150), blue);
    EXPECT_EQ(TopOf(first->pixels(), 12, red), -1);

    // Texts: SNR above, PRN below; an empty slot shows empty texts.
    EXPECT_EQ(form->findChild<QLabel*>("StaticText1")->text(), "20");
    EXPECT_EQ(form->findChild<QLabel*>("SateLabel2")->text(), "04");
    EXPECT_EQ(form->findChild<QLabel*>("SateLabel3")->text(), "");
    SingleQualityOpen = true;
    form->close();
    EXPECT_FALSE(SingleQualityOpen);
    RunDeferredDeletes();
    EXPECT_TRUE(widget.isNull());
    PublishState(ReceiverState{});
}

TEST(SingleQualityForm, LayoutAndScale) {
    TempWorkDir dir;
    auto* form = static_cast<TSingleQualityForm*>(CreateSingleQualityForm());
    EXPECT_TRUE(form->inherits("TSingleQualityForm"));
    EXPECT_EQ(form->windowTitle(), "Single Quality");
    EXPECT_EQ(form->pos(), QPoint(1, 124));
    EXPECT_EQ(form->size(), QSize(300, 279));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(form->findChild<BatchTicker*>("SingleTimer")->isActive());
    for (int n = 1; n <= 8; ++n) {
        const int left = 48 + 32 * (n - 1);
        const QString i = QString::number(n);
        auto* snr = form->findChild<QLabel*>("StaticText" + i);
        auto* box = form->findChild<QWidget*>("SignalPaintBox_" + i);
        auto* prn = form->findChild<QLabel*>("SateLabel" + i);
        ASSERT_TRUE(snr && box && prn) << n;
        EXPECT_EQ(snr->geometry(), QRect(left, 5, 22, 24));
        EXPECT_EQ(snr->text(), "00");
        EXPECT_EQ(box->geometry(), QRect(left, 27, 25, 200));
        EXPECT_EQ(prn->geometry(), QRect(left, 251, 22, 20));
        EXPECT_EQ(prn->text(), "XX");
    }
    EXPECT_EQ(form->findChild<QLabel*>("StaticText13")->text(), "  ID ");
    EXPECT_EQ(form->findChild<QLabel*>("Label9")->text(), QString(84, '-'));
    EXPECT_EQ(form->findChild<QLabel*>("Label9")->pos(), QPoint(7, 228));
    auto* scale = form->findChild<QLabel*>("BarImage");
    EXPECT_EQ(scale->geometry(), QRect(8, 27, 33, 200));
    // Bands line up with the bars: 40 pixels per step of 10.
    const QImage bands = scale->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(bands.pixel(30, 20), qRgb(255, 0, 0));
    EXPECT_EQ(bands.pixel(30, 60), qRgb(0, 0, 255));
    EXPECT_EQ(bands.pixel(30, 100), qRgb(0, 128, 0));
    EXPECT_EQ(bands.pixel(30, 140), qRgb(255, 255, 0));
    EXPECT_EQ(bands.pixel(30, 180), qRgb(0, 0, 0));
    EXPECT_EQ(bands.pixel(30, 39), qRgb(255, 0, 0));
    EXPECT_EQ(bands.pixel(30, 40), qRgb(0, 0, 255));
    form->close();
    RunDeferredDeletes();
}
