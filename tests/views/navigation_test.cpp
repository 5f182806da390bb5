// The navigation readout: every line byte for byte, and its window.
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <gtest/gtest.h>
#include <string>

#include "navigation_form.h"
#include "navigation_lines.h"
#include "readout_test_util.h"
#include "roadmap_plot.h"
#include "test_support.h"
#include "views.h"
#include "window_probe.h"

namespace {

const std::string kDeg = "\xA2\x58";

ReceiverState FullFix() {
    ReceiverState s{};
    Put(s.Zda.Year, "2003");
    Put(s.Zda.Month, "11");
    Put(s.Zda.Day, "04");
    Put(s.Gga.UtcTime, "095312.000");
    Put(s.Gga.Latitude, "2425.1234");
    Put(s.Gga.NorthSouth, "N");
    Put(s.Gga.Longitude, "12130.5678");
    Put(s.Gga.EastWest, "E");
    Put(s.Gga.Altitude, "123.4");
    Put(s.Rmc.SpeedKnots, "1.5");
    Put(s.Vtg.SpeedKmh, "2.8");
    Put(s.Gsa.FixType, "3");
    Put(s.Rmc.Status, "A");
    return s;
}

std::string Lat(const ReceiverState& s, CoordinateMode mode) {
    return BuildNavigationLines(s, mode).lines[2];
}
std::string Lon(const ReceiverState& s, CoordinateMode mode) {
    return BuildNavigationLines(s, mode).lines[3];
}

} // namespace

TEST(NavigationLines, ThreeCoordinateModes) {
    const ReceiverState s = FullFix();
    EXPECT_EQ(Lat(s, CoordinateMode::DegOnly), "Latitude : 24.418723" + kDeg + " N");
    EXPECT_EQ(Lon(s, CoordinateMode::DegOnly), "Longitude : 121.509463" + kDeg + " E");
    EXPECT_EQ(Lat(s, CoordinateMode::DegAndMin), "Latitude : 24" + kDeg + "25.1234' N");
    EXPECT_EQ(Lon(s, CoordinateMode::DegAndMin), "Longitude : 121" + kDeg + "30.5678' E");
    EXPECT_EQ(Lat(s, CoordinateMode::DegMinSec), "Latitude : 24" + kDeg + "25'7.4\" N");
    EXPECT_EQ(Lon(s, CoordinateMode::DegMinSec), "Longitude : 121" + kDeg + "30'34.1\" E");
    EXPECT_EQ(Lat(s, CoordinateMode::None), "Latitude : ");
    EXPECT_EQ(Lon(s, CoordinateMode::None), "Longitude : ");
}

TEST(NavigationLines, FullFixLinesAndColour) {
    const NavigationLines shown = BuildNavigationLines(FullFix(), CoordinateMode::DegMinSec);
    EXPECT_EQ(shown.lines[0], "Today : 2003/11/04");
    EXPECT_EQ(shown.lines[1], "UTC Time : 09:53:12");
    EXPECT_EQ(shown.lines[4], "Alt : 123.4 M (MSL)");
    EXPECT_EQ(shown.lines[5], "Speed : 1.500000 knots");
    EXPECT_EQ(shown.lines[6], "Speed : 2.800000 km/hr");
    EXPECT_EQ(shown.lines[7], "GPS Fix in 3D.");
    EXPECT_EQ(shown.lines[8], "A => GPS Fix Valid");
    EXPECT_EQ(shown.colour, kNavigationRed);
}

TEST(NavigationLines, FixTypeAndStatusDecideTextAndColourApart) {
    ReceiverState s = FullFix();
    Put(s.Gsa.FixType, "1");
    Put(s.Rmc.Status, "V");
    NavigationLines shown = BuildNavigationLines(s, CoordinateMode::DegMinSec);
    EXPECT_EQ(shown.lines[7], "GPS Fix not avaliable.");
    EXPECT_EQ(shown.lines[8], "V => GPS Fix Invalid");
    EXPECT_EQ(shown.colour, kNavigationBlack);
    // The position lines still show what the last GGA carried.
    EXPECT_EQ(shown.lines[2], "Latitude : 24" + kDeg + "25'7.4\" N");

    Put(s.Gsa.FixType, "2");
    Put(s.Rmc.Status, "A");
    shown = BuildNavigationLines(s, CoordinateMode::DegMinSec);
    EXPECT_EQ(shown.lines[7], "GPS Fix in 2D.");
    EXPECT_EQ(shown.colour, kNavigationRed);
    Put(s.Gsa.FixType, "7");
    EXPECT_EQ(BuildNavigationLines(s, CoordinateMode::DegMinSec).lines[7], "GPS FIX no data");
}

TEST(NavigationLines, DegOnlyCarriesIntoTheDegreeAsThePositionPlotDoes) {
    ReceiverState s = FullFix();
    // Seconds read 60.0 at the very end of a minute; the position is still right.
    Put(s.Gga.Latitude, "2459.9999");
    EXPECT_EQ(Lat(s, CoordinateMode::DegMinSec), "Latitude : 24" + kDeg + "59'60.0\" N");
    // 24 deg 59.99997 min is 24.9999995 deg: six decimals round it to the next degree.
    Put(s.Gga.Latitude, "2459.99997");
    EXPECT_EQ(Lat(s, CoordinateMode::DegOnly), "Latitude : 25.000000" + kDeg + " N");
    Put(s.Gga.Latitude, "0959.99999");
    EXPECT_EQ(Lat(s, CoordinateMode::DegOnly), "Latitude : 10.000000" + kDeg + " N");
    Put(s.Gga.Longitude, "12159.99997");
    EXPECT_EQ(Lon(s, CoordinateMode::DegOnly), "Longitude : 122.000000" + kDeg + " E");
    Put(s.Gga.Longitude, "17959.999999");
    EXPECT_EQ(Lon(s, CoordinateMode::DegOnly), "Longitude : 180.000000" + kDeg + " E");
    Put(s.Gga.Latitude, "2459.99996");
    EXPECT_EQ(Lat(s, CoordinateMode::DegOnly), "Latitude : 24.999999" + kDeg + " N");

    // The position plot shows the same number for the same slot.
    for (const char* latitude : {"2459.99997", "2425.1234", "0000.00001", "8959.999999", "24"}) {
        Put(s.Gga.Latitude, latitude);
        char plotted[kRoadmapTextSize];
        DecimalDegreeText(latitude, 2, plotted);
        EXPECT_EQ(LatitudeText(s.Gga, CoordinateMode::DegOnly), plotted + kDeg + " N") << latitude;
    }
    for (const char* longitude : {"12159.99997", "00000.000006", "12130.5678"}) {
        Put(s.Gga.Longitude, longitude);
        char plotted[kRoadmapTextSize];
        DecimalDegreeText(longitude, 3, plotted);
        EXPECT_EQ(LongitudeText(s.Gga, CoordinateMode::DegOnly), plotted + kDeg + " E")
            << longitude;
    }
}

TEST(NavigationLines, EmptyStateShowsOnlyTheFixedCharacters) {
    const ReceiverState empty{};
    const NavigationLines shown = BuildNavigationLines(empty, CoordinateMode::DegMinSec);
    EXPECT_EQ(shown.lines[0], "Today : //");
    EXPECT_EQ(shown.lines[1], "UTC Time : ");
    EXPECT_EQ(shown.lines[2], "Latitude : " + kDeg + "'0.0\" ");
    EXPECT_EQ(shown.lines[3], "Longitude : " + kDeg + "'0.0\" ");
    EXPECT_EQ(shown.lines[4], "Alt :  M (MSL)");
    EXPECT_EQ(shown.lines[5], "Speed : 0.000000 knots");
    EXPECT_EQ(shown.lines[6], "Speed : 0.000000 km/hr");
    EXPECT_EQ(shown.lines[7], "GPS FIX no data");
    EXPECT_EQ(shown.lines[8], "");
    EXPECT_EQ(shown.colour, kNavigationBlack);
    EXPECT_EQ(Lat(empty, CoordinateMode::DegOnly), "Latitude : " + kDeg + " ");
    EXPECT_EQ(Lon(empty, CoordinateMode::DegOnly), "Longitude : " + kDeg + " ");
    EXPECT_EQ(Lat(empty, CoordinateMode::DegAndMin), "Latitude : " + kDeg + "' ");
    EXPECT_EQ(Lon(empty, CoordinateMode::DegAndMin), "Longitude : " + kDeg + "' ");
}

TEST(NavigationLines, PartlyFilledSlotsEndAtTheirFirstMissingCharacter) {
    ReceiverState s = FullFix();
    Put(s.Gga.UtcTime, "0953");
    Put(s.Zda.Month, "");
    Put(s.Gga.NorthSouth, "");
    const NavigationLines shown = BuildNavigationLines(s, CoordinateMode::DegAndMin);
    EXPECT_EQ(shown.lines[1], "UTC Time : 09:53:");
    EXPECT_EQ(shown.lines[0], "Today : 2003//04");
    EXPECT_EQ(shown.lines[2], "Latitude : 24" + kDeg + "25.1234' ");
}

TEST(NavigationLines, HostileSlotsStayBoundedAndKeepTheirTail) {
    // Exponents are the only way a narrow slot reaches huge numbers.
    for (const char* latitude : {"249e9999999", "24591e99999", "24-9e999999"}) {
        ReceiverState s = FullFix();
        Put(s.Gga.Latitude, latitude);
        Put(s.Gga.Longitude, "121-9e999999");
        for (CoordinateMode mode :
             {CoordinateMode::DegOnly, CoordinateMode::DegAndMin, CoordinateMode::DegMinSec}) {
            const std::string lat = LatitudeText(s.Gga, mode);
            const std::string lon = LongitudeText(s.Gga, mode);
            EXPECT_LE(lat.size(), 29u) << latitude;
            EXPECT_LE(lon.size(), 29u) << latitude;
            EXPECT_TRUE(lat.ends_with(" N")) << lat;
            EXPECT_TRUE(lon.ends_with(" E")) << lon;
            EXPECT_NE(lat.find(kDeg), std::string::npos) << lat;
        }
    }
    ReceiverState s = FullFix();
    Put(s.Rmc.SpeedKnots, "9e9999");
    Put(s.Vtg.SpeedKmh, "-9e999");
    const NavigationLines shown = BuildNavigationLines(s, CoordinateMode::DegMinSec);
    for (const std::string& line : shown.lines)
        EXPECT_LT(line.size(), 128u);
    EXPECT_TRUE(shown.lines[5].ends_with(" knots"));
    EXPECT_TRUE(shown.lines[6].ends_with(" km/hr"));
    EXPECT_EQ(shown.lines[6].rfind("Speed : -", 0), 0u);
    // A slot filled to its width has no terminator; nothing reads past it.
    std::memset(s.Gga.Altitude, '7', sizeof s.Gga.Altitude);
    EXPECT_EQ(BuildNavigationLines(s, CoordinateMode::DegOnly).lines[4], "Alt : 7777777 M (MSL)");
}

TEST(NavigationLines, DecimalRoundingHalfAwayFromZero) {
    char out[64];
    FormatDecimal(out, sizeof out, 0.0375L * 60, 1, 2, false); // 2.25 in decimal
    EXPECT_STREQ(out, "2.3");
    FormatDecimal(out, sizeof out, 99.96L, 1, 2, false);
    EXPECT_STREQ(out, "100.0");
    FormatDecimal(out, sizeof out, -0.5L, 6, 5, true);
    EXPECT_STREQ(out, "-0.500000");
    FormatDecimal(out, sizeof out, 0.25L, 1, 6, false);
    EXPECT_STREQ(out, "   0.3");
    FormatDecimal(out, 8, 1e300L, 6, 5, true); // cut to the buffer
    EXPECT_EQ(std::strlen(out), 7u);
}

TEST(NavigationLines, FirstItemWithTagOneDecidesTheMode) {
    EXPECT_EQ(CoordinateModeFromTags(0, 0, 1), CoordinateMode::DegMinSec);
    EXPECT_EQ(CoordinateModeFromTags(0, 1, 1), CoordinateMode::DegAndMin);
    EXPECT_EQ(CoordinateModeFromTags(1, 1, 0), CoordinateMode::DegOnly);
    EXPECT_EQ(CoordinateModeFromTags(0, 0, 0), CoordinateMode::None);
    EXPECT_EQ(CoordinateModeFromTags(2, 0, 0), CoordinateMode::None);
}

// --- The window ---------------------------------------------------------------

TEST(NavigationForm, LayoutMenuAndModeChangeAtTheNextTick) {
    TempWorkDir dir;
    ClearReceiverState();
    QPointer<QWidget> form = CreateNavigationForm();
    form->show();
    EXPECT_EQ(form->windowTitle(), "Navigation");
    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    // Where the user finds it, at a size the user cannot change.
    EXPECT_EQ(form->pos(), QPoint(310, 124));
    EXPECT_EQ(form->size(), QSize(261, 245));
    form->resize(400, 300);
    EXPECT_EQ(form->size(), QSize(261, 245));

    // One text box covers the window, in big letters, with the placeholder
    // lines until the first tick.
    auto* memo = form->findChild<QPlainTextEdit*>("GGAMemo");
    ASSERT_NE(memo, nullptr);
    EXPECT_TRUE(RectIn(memo, form).contains(form->rect()));
    EXPECT_EQ(memo->font().pixelSize(), 21);
    EXPECT_TRUE(memo->toPlainText().startsWith("Today : //\nUTC Time : 00:00:00"));
    const QRect text = RectIn(memo->viewport(), form);

    // A stored batch is shown without anyone calling the tick.
    StoreState(FullFix());
    ASSERT_TRUE(WaitUntil(
        [&] { return memo->toPlainText().startsWith("Today : 2003/11/04\nUTC Time : 09:53:12"); },
        1300))
        << memo->toPlainText().toStdString();
    QStringList lines = memo->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 9);
    EXPECT_EQ(lines[2], QString::fromUtf8("Latitude : 24°25'7.4\" N"));
    // A valid fix is written in red.
    QImage shown = Grab(form);
    EXPECT_GT(CountPixels(shown, text, Reddish), 200);
    EXPECT_LT(CountPixels(shown, text, Dark), 20);

    // The text box's context menu offers the three modes; each shows from the next tick.
    auto* nav = static_cast<TNavigationForm*>(form.data());
    const struct {
        const char* item;
        const char* latitude;
    } modes[] = {{"deg only", "Latitude : 24.418723° N"},
                 {"deg and min ", "Latitude : 24°25.1234' N"},
                 {"deg min sec", "Latitude : 24°25'7.4\" N"}};
    for (const auto& mode : modes) {
        const QPoint at(40, 40);
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, at,
                                     memo->viewport()->mapToGlobal(at));
        QApplication::sendEvent(memo->viewport(), &rightClick);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr) << mode.item;
        QStringList items;
        for (QAction* item : menu->actions()) {
            items << item->text();
            EXPECT_FALSE(item->isCheckable()) << item->text().toStdString();
        }
        EXPECT_EQ(items, QStringList({"deg only", "deg and min ", "deg min sec"}));
        const QString before = memo->toPlainText();
        Click(menu, menu->actionGeometry(menu->actions()[items.indexOf(mode.item)]).center());
        EXPECT_FALSE(menu->isVisible()) << mode.item;
        EXPECT_EQ(memo->toPlainText(), before) << mode.item;
        nav->ShowTimerTimer();
        EXPECT_EQ(memo->toPlainText().split('\n')[2], QString::fromUtf8(mode.latitude));
    }

    // Whatever the user types is replaced at the next tick.
    memo->setPlainText("typed by the user");
    nav->ShowTimerTimer();
    EXPECT_EQ(memo->toPlainText().split('\n').size(), 9);
    EXPECT_EQ(memo->toPlainText().split('\n')[0], "Today : 2003/11/04");

    // An invalid fix turns the whole text black.
    ReceiverState invalid = FullFix();
    Put(invalid.Rmc.Status, "V");
    StoreState(invalid);
    nav->ShowTimerTimer();
    shown = Grab(form);
    EXPECT_LT(CountPixels(shown, text, Reddish), 20);
    EXPECT_GT(CountPixels(shown, text, Dark), 200);

    form->close();
    RunDeferredDeletes();
    ClearReceiverState();
}
