// The signal bars: levels, wipe rule and colours, the pixels a tick leaves
// in each box, and the window.
#include <QLabel>
#include <QPointer>
#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "program_flags.h"
#include "readout_style.h"
#include "readout_test_util.h"
#include "single_quality_bars.h"
#include "single_quality_form.h"
#include "test_support.h"
#include "views.h"
#include "window_probe.h"

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
    ClearReceiverState();
    QPointer<QWidget> widget = CreateSingleQualityForm();
    QWidget* form = widget.data();
    form->show();
    EXPECT_EQ(form->windowTitle(), "Single Quality");
    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    // Where the user finds it, at a size the user cannot change.
    EXPECT_EQ(form->pos(), QPoint(1, 124));
    EXPECT_EQ(form->size(), QSize(300, 279));
    form->resize(400, 400);
    EXPECT_EQ(form->size(), QSize(300, 279));

    // Eight columns from left to right: the SNR on top, the bar, the PRN below.
    std::vector<const QWidget*> snrs, boxes, prns;
    for (int n = 1; n <= 8; ++n) {
        const QString i = QString::number(n);
        auto* snr = form->findChild<QLabel*>("StaticText" + i);
        auto* box = form->findChild<QWidget*>("SignalPaintBox_" + i);
        auto* prn = form->findChild<QLabel*>("SateLabel" + i);
        ASSERT_TRUE(snr && box && prn) << n;
        EXPECT_EQ(snr->text(), "00");
        EXPECT_EQ(prn->text(), "XX");
        const QRect top = RectIn(snr, form), bar = RectIn(box, form), bottom = RectIn(prn, form);
        EXPECT_LT(top.center().y(), bar.top()) << n;
        EXPECT_GT(bottom.top(), bar.bottom()) << n;
        EXPECT_LE(std::abs(top.left() - bar.left()), 3) << n;
        EXPECT_LE(std::abs(bottom.left() - bar.left()), 3) << n;
        snrs.push_back(snr), boxes.push_back(box), prns.push_back(prn);
    }
    EXPECT_TRUE(LeftToRight(snrs, form));
    EXPECT_TRUE(LeftToRight(boxes, form));
    EXPECT_TRUE(LeftToRight(prns, form));

    // The scale stands left of the first bar with the bars' top and height;
    // "  ID " heads the PRN row.
    auto* scale = form->findChild<QLabel*>("BarImage");
    auto* id = form->findChild<QLabel*>("StaticText13");
    ASSERT_TRUE(scale && id);
    EXPECT_EQ(id->text(), "  ID ");
    const QRect scaleAt = RectIn(scale, form), firstBar = RectIn(boxes[0], form);
    EXPECT_LT(scaleAt.right(), firstBar.left());
    EXPECT_EQ(scaleAt.top(), firstBar.top());
    EXPECT_EQ(scaleAt.height(), firstBar.height());
    EXPECT_LE(std::abs(RectIn(id, form).center().y() - RectIn(prns[0], form).center().y()), 3);
    // All in the window, none over another (a bar may tuck under the foot of its SNR box).
    std::vector<const QWidget*> texts = snrs, bars = boxes;
    texts.insert(texts.end(), prns.begin(), prns.end());
    bars.insert(bars.end(), prns.begin(), prns.end());
    for (const QWidget* side : {scale, id}) {
        texts.push_back(side);
        bars.push_back(side);
    }
    EXPECT_EQ(CrowdedOrCut(texts, form), std::vector<std::string>());
    EXPECT_EQ(CrowdedOrCut(bars, form), std::vector<std::string>());

    // A red dashed rule runs across the window between the bars and the PRNs.
    auto* rule = form->findChild<QLabel*>("Label9");
    ASSERT_NE(rule, nullptr);
    EXPECT_EQ(rule->text(), QString(84, '-'));
    const QRect ruleAt = RectIn(rule, form);
    EXPECT_GE(ruleAt.top(), firstBar.bottom());
    EXPECT_LE(ruleAt.bottom(), RectIn(prns[0], form).top());
    EXPECT_LE(ruleAt.left(), scaleAt.left());
    EXPECT_GE(ruleAt.right(), RectIn(boxes[7], form).right());

    // A batch is shown without anyone calling the tick.
    ReceiverState s{};
    Put(s.Gsv.SatellitesInView, "2");
    Put(s.Gsv.Prn[0], "01");
    Put(s.Gsv.Snr[0], "40");
    Put(s.Gsv.Prn[1], "04");
    Put(s.Gsv.Snr[1], "20");
    Put(s.Gsa.FixType, "3");
    StoreState(s);
    auto* firstSnr = form->findChild<QLabel*>("StaticText1");
    ASSERT_TRUE(WaitUntil([&] { return firstSnr->text() == "40"; }, 1300));
    EXPECT_EQ(form->findChild<QLabel*>("SateLabel1")->text(), "01");
    EXPECT_EQ(form->findChild<QLabel*>("StaticText2")->text(), "20");
    EXPECT_EQ(form->findChild<QLabel*>("SateLabel2")->text(), "04");

    // The scale's bands, red, blue, green, yellow and black from the top,
    // change colour where a bar of 40 or of 20 ends.
    const QImage shown = Grab(form);
    const QRgb red = qRgb(255, 0, 0);
    EXPECT_GT(CountPixels(shown, ruleAt, Reddish), 40);
    const int bandX = scaleAt.right() - 2;
    const auto firstRow = [&](int x, int from, QRgb colour) {
        for (int y = from; y < shown.height(); ++y)
            if (shown.pixel(x, y) == colour)
                return y;
        return -1;
    };
    const int top = scaleAt.top();
    EXPECT_EQ(shown.pixel(bandX, top), red);
    const int blueFrom = firstRow(bandX, top, qRgb(0, 0, 255));
    const int greenFrom = firstRow(bandX, top, qRgb(0, 128, 0));
    const int yellowFrom = firstRow(bandX, top, qRgb(255, 255, 0));
    const int blackFrom = firstRow(bandX, top, qRgb(0, 0, 0));
    EXPECT_TRUE(top < blueFrom && blueFrom < greenFrom && greenFrom < yellowFrom &&
                yellowFrom < blackFrom && blackFrom < scaleAt.bottom())
        << blueFrom << " " << greenFrom << " " << yellowFrom << " " << blackFrom;
    EXPECT_EQ(shown.pixel(bandX, scaleAt.bottom()), qRgb(0, 0, 0));
    const int bar40 = firstRow(RectIn(boxes[0], form).center().x(), top, red);
    const int bar20 = firstRow(RectIn(boxes[1], form).center().x(), top, red);
    EXPECT_LE(std::abs(bar40 - blueFrom), 3) << bar40;
    EXPECT_LE(std::abs(bar20 - yellowFrom), 3) << bar20;

    form->close();
    RunDeferredDeletes();
    ClearReceiverState();
}

// Gathered from several systems, a column may show another satellite from
// one second to the next: the bar left there was the other's.
TEST(SingleQualityForm, AColumnThatChangesSatelliteShowsOnlyTheNewOnesBar) {
    TempWorkDir dir;
    const auto store = [](const std::string& used, const std::string& gsv) {
        StoreBytes(FramedSentence("GNGSA,A,3," + used + ",,,,,,,,,,,1.5,0.9,1.2,1") +
                   FramedSentence("GPGSV,1,1,03," + gsv + ",1") +
                   FramedSentence("GLGSV,1,1,01,70,50,050,05,1"));
    };
    // 05 is used and strong; 12 weak. Then 05 leaves the fix: 12 takes column 1.
    store("05", "05,40,100,45,12,30,200,10,20,10,300,15");
    QPointer<QWidget> widget = CreateSingleQualityForm();
    auto* form = static_cast<TSingleQualityForm*>(widget.data());
    form->show();
    form->SingleTimerTimer();
    auto* first = form->findChild<SignalPaintBox*>("SignalPaintBox_1");
    ASSERT_NE(first, nullptr);
    const QRgb face = ButtonFace().rgb();
    EXPECT_LT(TopOf(first->pixels(), 12, qRgb(255, 0, 0)), 4 * (50 - 45) + 4);
    store("12", "05,40,100,,12,30,200,20,20,10,300,15");
    form->SingleTimerTimer();
    EXPECT_EQ(form->findChild<QLabel*>("SateLabel1")->text(), "12");
    // 12 rose from its own 10 to 20: only its bar, nothing of 05's 45 above it.
    const int top = TopOf(first->pixels(), 12, qRgb(255, 0, 0));
    EXPECT_GE(top, 4 * (50 - 20) - 4);
    EXPECT_EQ(first->pixels().pixel(12, 4 * (50 - 45) + 2), face);
    // Every id is shown whole, three characters too ("R06").
    bool threeCharacters = false;
    for (int i = 1; i <= 8; ++i) {
        const auto* label = form->findChild<QLabel*>("SateLabel" + QString::number(i));
        threeCharacters = threeCharacters || label->text().size() == 3;
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
            << label->text().toStdString();
    }
    EXPECT_TRUE(threeCharacters);
    form->close();
    RunDeferredDeletes();
    ClearReceiverState();
}
