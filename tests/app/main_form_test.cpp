#include "main_form.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>

#include "app_fakes.h"
#include "batch_ticker.h"
#include "close_on_signal.h"
#include "gps_thread.h"
#include "main_trace.h"
#include "navigation_form.h"
#include "program_flags.h"
#include "receiver_command_table.h"
#include "receiver_state.h"
#include "recording_notifier.h"
#include "sentence_form.h"
#include "stored_batch.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

QStringList ActionTexts(const QMenu* menu) {
    QStringList texts;
    for (const QAction* action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

QMenu* TopMenu(QMainWindow& form, const QString& title) {
    for (QAction* action : form.menuBar()->actions()) {
        if (action->text() == title)
            return action->menu();
    }
    return nullptr;
}

// A line-setting menu under "Tools" by its title, and one of its items.
QMenu* ToolsMenu(QMainWindow& form, const QString& title) {
    for (QAction* action : TopMenu(form, "Tools")->actions()) {
        if (action->text() == title)
            return action->menu();
    }
    return nullptr;
}
QAction* MenuItem(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}
QStringList Checked(QMenu* menu) {
    QStringList marks;
    for (QAction* action : menu->actions())
        if (action->isChecked())
            marks << action->text();
    return marks;
}

// A batch whose RMC carries this status (none for '\0') and whose GGA this time.
void StoreReceiverState(char rmcStatus, const std::string& utcTime = "") {
    std::string bytes;
    if (!utcTime.empty())
        bytes += FramedSentence("GPGGA," + utcTime + ",,,,,0,00,,,M,,M,,");
    if (rmcStatus != '\0')
        bytes += FramedSentence("GPRMC," + utcTime + "," + rmcStatus + ",,,,,,,,,");
    StoreBytes(bytes);
}

void ChooseItem(QComboBox* box, const QString& text) {
    const int index = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    ASSERT_GE(index, 0) << text.toStdString();
    box->setCurrentIndex(index);
    emit box->activated(index);
}

int VisibleViews() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += w->isVisible() && qobject_cast<TMainForm*>(w) == nullptr ? 1 : 0;
    return n;
}

class MainFormTest : public testing::Test {
protected:
    MainFormTest() {
        for (int n = 1; n <= 9; ++n)
            fs::create_symlink("/nonexistent-quillmar/tty" + std::to_string(n),
                               "COM" + std::to_string(n));
    }
    ~MainFormTest() override {
        form.close();
        // No receive loop outlives its test.
        EXPECT_TRUE(WaitForReceiveLoops(5000));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        StoreReceiverState('\0');
        FixAcquired = false;
    }

    // SEND with no port: an armed warm restart still starts the fix search
    // over before the sender finds no port, so the fix flag tells whether
    // one was armed.
    bool SendWouldRestartFirst() {
        FixAcquired = true;
        QTest::mouseClick(Find<QPushButton>("SendBitBtn"), Qt::LeftButton);
        EXPECT_EQ(notifier.shown.back().text, "Select Com Port To Start");
        const bool armed = !FixAcquired;
        FixAcquired = false;
        return armed;
    }

    template <typename T> T* Find(const char* name) {
        T* child = form.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    TempWorkDir dir;
    ScopedRecordingNotifier notifier;
    FakeClock clock;
    TMainForm form{&clock};
};

// The controls of the three rows (tools, then the two rows of the control
// strip), left to right as the window shows them.
const std::vector<const char*> kRows[] = {
    {"SpeedButton1", "SpeedButton2", "SpeedButton3", "SpeedButton4", "SpeedButton5",
     "SentenceSpeedButton", "NavigationSpeedButton", "SingleSpeedButton", "RoadmapSpeedButton",
     "SatelliteSpeedButton", "StopComSpeedButton", "StartComSpeedButton", "SetUTCTimeSpeedButton",
     "SoundSpeedButton", "AboutSpeedButton"},
    {"ComPortComboBox", "CurrentTimeEdit", "DatumsComboBox", "ZoneComboBox", "CountryComboBox",
     "CityComboBox", "HelpBitBtn"},
    {"FixTimeEdit", "Cmd_ComboBox", "Edit2", "AltitudeEdit", "Edit3", "SendBitBtn"},
};

// Where a widget lies in the window.
QRect InForm(const QWidget* widget, const QWidget& form) {
    return QRect(widget->mapTo(&form, QPoint(0, 0)), widget->size());
}

bool IsOrInside(const QWidget* widget, const QWidget* ancestor) {
    for (; widget != nullptr; widget = widget->parentWidget())
        if (widget == ancestor)
            return true;
    return false;
}

TEST_F(MainFormTest, ControlsLieSideBySideInTheStripInTheirOrder) {
    EXPECT_EQ(form.windowTitle(), ".");
    EXPECT_TRUE(form.windowState() & Qt::WindowMaximized);
    const QImage shown = form.grab().toImage();
    ASSERT_EQ(shown.size(), form.size());
    const QWidget* strip = Find<QWidget>("ComPortComboBox")->parentWidget();
    const QRect stripRect = InForm(strip, form);
    EXPECT_TRUE(form.rect().contains(stripRect));

    std::vector<QWidget*> all;
    int rowBottom = -1;
    for (const std::vector<const char*>& names : kRows) {
        std::vector<QWidget*> row;
        for (const char* name : names) {
            QWidget* control = Find<QWidget>(name);
            ASSERT_NE(control, nullptr);
            row.push_back(control);
        }
        // Left to right in this order, and the rows one below the other.
        for (std::size_t i = 1; i < row.size(); ++i)
            EXPECT_LT(InForm(row[i - 1], form).center().x(), InForm(row[i], form).center().x())
                << names[i - 1] << " | " << names[i];
        int top = INT_MAX, bottom = -1;
        for (const QWidget* control : row) {
            top = std::min(top, InForm(control, form).top());
            bottom = std::max(bottom, InForm(control, form).bottom());
        }
        EXPECT_GT(top, rowBottom) << names[0];
        rowBottom = bottom;
        all.insert(all.end(), row.begin(), row.end());
    }

    for (std::size_t i = 0; i < all.size(); ++i) {
        const std::string name = all[i]->objectName().toStdString();
        const QRect rect = InForm(all[i], form);
        EXPECT_TRUE(all[i]->isVisibleTo(&form)) << name;
        EXPECT_TRUE(stripRect.contains(rect)) << name << " leaves the strip";
        // What is under its middle is the control itself, not a neighbour on top of it.
        EXPECT_TRUE(IsOrInside(form.childAt(rect.center()), all[i])) << name;
        // Something is drawn there: not one flat colour.
        const QImage part = shown.copy(rect);
        bool drawn = false;
        for (int y = 0; y < part.height() && !drawn; ++y)
            for (int x = 0; x < part.width() && !drawn; ++x)
                drawn = part.pixel(x, y) != part.pixel(0, 0);
        EXPECT_TRUE(drawn) << name;
        // Neighbours may share a one-pixel edge, as the tool buttons do; none covers another.
        for (std::size_t j = i + 1; j < all.size(); ++j) {
            const QRect common = rect & InForm(all[j], form);
            EXPECT_TRUE(common.isEmpty() || common.width() == 1 || common.height() == 1)
                << name << " and " << all[j]->objectName().toStdString();
        }
    }
}

TEST_F(MainFormTest, ControlsShowTheirStartTextsHintsAndStates) {
    const struct {
        const char* name;
        const char* text;
        bool enabled;
        const char* hint;
    } buttons[] = {
        {"SpeedButton1", "", false, ""},
        {"SpeedButton5", "", false, ""},
        {"SentenceSpeedButton", "", true, ""},
        {"SatelliteSpeedButton", "", true, "Satellite"},
        {"StopComSpeedButton", "stop", true, ""},
        {"StartComSpeedButton", "GO", false, ""},
        {"SetUTCTimeSpeedButton", "Time", true, "not modify System Time"},
        {"SoundSpeedButton", "S", true, "not notify when GPS Fixed."},
        {"AboutSpeedButton", "", true, "About"},
        {"HelpBitBtn", "HELP", true, ""},
        {"SendBitBtn", "SEND", true, ""},
    };
    for (const auto& b : buttons) {
        QAbstractButton* button = Find<QAbstractButton>(b.name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), b.text) << b.name;
        EXPECT_EQ(button->isEnabled(), b.enabled) << b.name;
        EXPECT_EQ(button->toolTip(), b.hint) << b.name;
    }
    // The pictures of the tool buttons without a text.
    for (const char* name : {"SpeedButton1", "SentenceSpeedButton", "AboutSpeedButton"})
        EXPECT_FALSE(Find<QToolButton>(name)->icon().isNull()) << name;
    EXPECT_EQ(Find<QToolButton>("AboutSpeedButton")->statusTip(), "About");
    const QFont sound = Find<QToolButton>("SoundSpeedButton")->font();
    EXPECT_TRUE(sound.bold() && sound.italic() && sound.strikeOut());
    EXPECT_TRUE(Find<QToolButton>("StartComSpeedButton")->font().bold());
    EXPECT_TRUE(Find<QToolButton>("StopComSpeedButton")->font().bold());
    EXPECT_EQ(Find<QToolButton>("StopComSpeedButton")->palette().color(QPalette::ButtonText),
              QColor(0, 0, 255));
    EXPECT_EQ(Find<QPushButton>("SendBitBtn")->palette().color(QPalette::ButtonText),
              QColor(0, 0, 255));
    EXPECT_EQ(Find<QPushButton>("HelpBitBtn")->palette().color(QPalette::ButtonText),
              QColor(0, 128, 0));

    const struct {
        const char* name;
        const char* text;
        int items;
    } boxes[] = {
        {"ComPortComboBox", "Com Port Select", 9},
        {"DatumsComboBox", "Datums", 19},
        {"ZoneComboBox", "Zone", 9},
        {"CountryComboBox", "Country", 0},
        {"CityComboBox", "City", 0},
        {"Cmd_ComboBox", "02.$PXEMSNM,0119,01*", 19},
    };
    for (const auto& b : boxes) {
        QComboBox* box = Find<QComboBox>(b.name);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->currentText(), b.text) << b.name;
        EXPECT_EQ(box->count(), b.items) << b.name;
        EXPECT_TRUE(box->isEditable()) << b.name;
    }
    EXPECT_EQ(Items(Find<QComboBox>("ComPortComboBox")).first(), "COM_1");
    EXPECT_EQ(Items(Find<QComboBox>("DatumsComboBox"))[2], "Japan-Tokyo");
    EXPECT_EQ(Items(Find<QComboBox>("ZoneComboBox")).first(), "Africa");

    const struct {
        const char* name;
        const char* text;
        bool readOnly;
    } edits[] = {
        {"CurrentTimeEdit", "Current Time :", true},
        {"FixTimeEdit", "Fix Time :", true},
        {"Edit2", "Altitude", true},
        {"AltitudeEdit", "100", false},
        {"Edit3", "Meter", true},
    };
    for (const auto& e : edits) {
        QLineEdit* edit = Find<QLineEdit>(e.name);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->text(), e.text) << e.name;
        EXPECT_EQ(edit->isReadOnly(), e.readOnly) << e.name;
    }
    EXPECT_EQ(Find<QLineEdit>("AltitudeEdit")->maxLength(), 5);
    EXPECT_FALSE(form.ShowTimer->isActive());
}

TEST_F(MainFormTest, AClickWhereAControlIsShownReachesThatControl) {
    form.grab(); // lays the window out as it is drawn
    auto clickAt = [this](const char* name) {
        const QRect rect = InForm(Find<QWidget>(name), form);
        QWidget* under = form.childAt(rect.center());
        ASSERT_NE(under, nullptr) << name;
        QTest::mouseClick(under, Qt::LeftButton, {}, under->mapFrom(&form, rect.center()));
    };
    QToolButton* go = Find<QToolButton>("StartComSpeedButton");
    QToolButton* time = Find<QToolButton>("SetUTCTimeSpeedButton");
    clickAt("StartComSpeedButton"); // disabled: nothing happens
    EXPECT_TRUE(notifier.shown.empty());
    clickAt("StopComSpeedButton");
    EXPECT_TRUE(go->isEnabled());
    clickAt("SetUTCTimeSpeedButton");
    EXPECT_EQ(time->toolTip(), "modify System Time By GPS UTC Time");
    clickAt("SendBitBtn");
    ASSERT_EQ(notifier.shown.size(), 1u);
    EXPECT_EQ(notifier.shown[0].text, "Select Com Port To Start");
    clickAt("StartComSpeedButton"); // nothing selected: fails on the number
    EXPECT_FALSE(go->isEnabled());
    EXPECT_EQ(notifier.shown.back().text, "QVX_COMPORT_NUMBER_ERR");
}

TEST_F(MainFormTest, CommandBoxAndHelpWindowListTheSameCommands) {
    QComboBox* command = Find<QComboBox>("Cmd_ComboBox");
    ASSERT_EQ(command->count(), kReceiverCommandCount);
    for (int i = 0; i < kReceiverCommandCount; ++i)
        EXPECT_EQ(command->itemText(i), QString::fromLatin1(ReceiverCommandTable[i].item));
    EXPECT_EQ(command->itemText(15), "16.$PXEMSLP*");

    QTest::mouseClick(Find<QPushButton>("HelpBitBtn"), Qt::LeftButton);
    ASSERT_TRUE(HelpOpen);
    QPlainTextEdit* memo = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == "Help")
            memo = w->findChild<QPlainTextEdit*>();
    ASSERT_NE(memo, nullptr);
    const QStringList lines = memo->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), command->count());
    for (int i = 0; i < command->count(); ++i)
        EXPECT_TRUE(lines[i].startsWith(command->itemText(i) + '\t')) << lines[i].toStdString();
}

TEST_F(MainFormTest, MenusAndTheirStartMarks) {
    EXPECT_EQ(ActionTexts(TopMenu(form, "View")),
              (QStringList{"NMEA Sentence ", "Navigation", "Single Quality",
                           "Real-time Position Plot", "Satellite Position"}));
    EXPECT_EQ(ActionTexts(TopMenu(form, "&Help")), (QStringList{"-", "&About..."}));
    QMenu* tools = TopMenu(form, "Tools");
    ASSERT_NE(tools, nullptr);
    QStringList visible;
    for (QAction* a : tools->actions())
        if (a->isVisible())
            visible << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(visible, (QStringList{"Baud Rate", "-", "Find Receiver..."}));

    QMenu* baud = ToolsMenu(form, "Baud Rate");
    ASSERT_NE(baud, nullptr);
    EXPECT_EQ(ActionTexts(baud),
              (QStringList{"1200 bps", "2400 bps", "4800 bps", "9600 bps", "14400 bps", "19200 bps",
                           "38400 bps", "57600 bps", "115200 bps", "-", "Detect"}));
    EXPECT_EQ(ActionTexts(ToolsMenu(form, "Stop Bits")),
              (QStringList{"1 stop bit", "1.5 stop bits", "2 stop bits"}));
    EXPECT_EQ(
        ActionTexts(ToolsMenu(form, "Parity")),
        (QStringList{"Even Parity", "No Parity", "Odd Parity", "Mark Parity", "Space Parity"}));
    EXPECT_EQ(ActionTexts(ToolsMenu(form, "Data Bits")),
              (QStringList{"5 Bits", "6 Bits", "7 Bits", "8 Bits"}));

    EXPECT_TRUE(Checked(baud).isEmpty());
    EXPECT_EQ(Checked(ToolsMenu(form, "Stop Bits")), QStringList{"1 stop bit"});
    EXPECT_EQ(Checked(ToolsMenu(form, "Parity")), QStringList{"No Parity"});
    EXPECT_EQ(Checked(ToolsMenu(form, "Data Bits")), QStringList{"8 Bits"});

    form.FormShow(); // no settings file
    EXPECT_EQ(Checked(baud), QStringList{"9600 bps"});
    MenuItem(baud, "19200 bps")->trigger();
    EXPECT_EQ(Checked(baud), QStringList{"19200 bps"});
    MenuItem(ToolsMenu(form, "Parity"), "Odd Parity")->trigger();
    EXPECT_EQ(Checked(ToolsMenu(form, "Parity")), QStringList{"Odd Parity"});
}

TEST_F(MainFormTest, SettingsFileMarksItsItemsAndStartsItsPort) {
    PtyPort port(4);
    WriteFileBytes("Quillmar.aon", "3 4,3,1,2,");
    form.FormShow();
    EXPECT_EQ(Checked(ToolsMenu(form, "Baud Rate")), QStringList{"38400 bps"});
    EXPECT_EQ(Checked(ToolsMenu(form, "Stop Bits")), (QStringList{"1 stop bit", "2 stop bits"}))
        << "the form's own start mark stays";
    EXPECT_EQ(Find<QComboBox>("ComPortComboBox")->currentText(), "COM_4");
    EXPECT_TRUE(port.HeldByProgram());
    EXPECT_EQ(port.Speed(), B38400);
    EXPECT_TRUE(form.ShowTimer->isActive());
    EXPECT_TRUE(notifier.shown.empty());
}

TEST_F(MainFormTest, ACutSettingsFileMarksTheItemsInForce) {
    PtyPort port(3);
    WriteFileBytes("Quillmar.aon", "2 2");
    form.FormShow();
    EXPECT_EQ(Checked(ToolsMenu(form, "Baud Rate")), QStringList{"14400 bps"});
    EXPECT_EQ(Checked(ToolsMenu(form, "Data Bits")), QStringList{"8 Bits"});
    EXPECT_EQ(Checked(ToolsMenu(form, "Parity")), QStringList{"No Parity"});
    EXPECT_EQ(Checked(ToolsMenu(form, "Stop Bits")), (QStringList{"1 stop bit", "2 stop bits"}))
        << "the form's own start mark stays";
    EXPECT_TRUE(port.HeldByProgram());
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "2 2,3,1,2,");
}

TEST_F(MainFormTest, FirstShowingOpensTheSixViewsAndFillsTheLists) {
    form.show();
    ASSERT_TRUE(ProcessEventsUntil([] { return SatelliteOpen; }, 5000));
    EXPECT_TRUE(SingleQualityOpen && NavigationOpen && SentenceOpen && HelpOpen && RoadmapOpen);
    EXPECT_EQ(VisibleViews(), 6);
    EXPECT_FALSE(FileExists("MainLog.txt"));
    EXPECT_FALSE(FileExists("Quillmar.aon"));
    EXPECT_TRUE(notifier.shown.empty());
    EXPECT_FALSE(form.ShowTimer->isActive());
    EXPECT_EQ(ReceiveLoopThreads(), 0);

    QComboBox* countries = Find<QComboBox>("CountryComboBox");
    QComboBox* cities = Find<QComboBox>("CityComboBox");
    EXPECT_EQ(countries->count(), 194);
    EXPECT_EQ(cities->count(), 242);
    EXPECT_EQ(Items(cities).count("None"), 6);
    EXPECT_EQ(countries->currentText(), "Country");
    EXPECT_EQ(cities->currentText(), "City");
    // Sorted the way a Windows list sorts: without regard to case.
    const QStringList all = Items(countries);
    EXPECT_LT(all.indexOf("Venezueia"), all.indexOf("vFiji Islands"));
    EXPECT_LT(all.indexOf("vFiji Islands"), all.indexOf("Vietnam"));

    // A second request while a view is open does nothing; after closing, a new one.
    form.SatelliteSpeedButtonClick();
    EXPECT_EQ(VisibleViews(), 6);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == "Satellite")
            w->close();
    EXPECT_FALSE(SatelliteOpen);
    EXPECT_EQ(VisibleViews(), 5);
    form.SatelliteSpeedButtonClick();
    EXPECT_TRUE(SatelliteOpen);
    EXPECT_EQ(VisibleViews(), 6);

    // Closing the main window closes them all.
    form.close();
    EXPECT_EQ(VisibleViews(), 0);
    EXPECT_FALSE(SingleQualityOpen || NavigationOpen || SentenceOpen || HelpOpen || RoadmapOpen ||
                 SatelliteOpen);
}

TEST_F(MainFormTest, CascadeNarrowsByZoneAndCountryAndBuildsThePlaceCommand) {
    form.FormShow();
    QComboBox* zones = Find<QComboBox>("ZoneComboBox");
    QComboBox* countries = Find<QComboBox>("CountryComboBox");
    QComboBox* cities = Find<QComboBox>("CityComboBox");
    QComboBox* command = Find<QComboBox>("Cmd_ComboBox");

    ChooseItem(zones, "Asia");
    EXPECT_EQ(countries->count(), 42);
    EXPECT_EQ(cities->count(), 49);
    EXPECT_EQ(countries->currentText(), "Country");
    EXPECT_EQ(cities->currentText(), "City");
    ChooseItem(countries, "India, S");
    EXPECT_EQ(Items(cities), (QStringList{"Bombay", "Madurai", "Mumbai"}));
    EXPECT_EQ(cities->currentText(), "City");
    EXPECT_EQ(command->currentText(), "02.$PXEMSNM,0119,01*") << "nothing chosen yet";

    ChooseItem(zones, "Africa");
    ChooseItem(countries, "Algeria");
    ChooseItem(cities, "Algiers");
    EXPECT_EQ(command->currentText(), "   $PXEMSTR,SSIP,0.642,0.053,100,-1*");
    EXPECT_TRUE(SendWouldRestartFirst());
    EXPECT_TRUE(SendWouldRestartFirst()) << "a SEND without a port keeps it armed";

    // The altitude rebuilds the command; a text that is no number leaves the
    // command and the armed restart be.
    QLineEdit* altitude = Find<QLineEdit>("AltitudeEdit");
    altitude->setText("-25");
    EXPECT_EQ(command->currentText(), "   $PXEMSTR,SSIP,0.642,0.053,-25,-1*");
    notifier.shown.clear();
    altitude->setText("1a");
    EXPECT_EQ(command->currentText(), "   $PXEMSTR,SSIP,0.642,0.053,-25,-1*");
    ASSERT_EQ(notifier.shown.size(), 1u);
    EXPECT_EQ(notifier.shown[0].kind, RecordingNotifier::Shown::Error);
    EXPECT_EQ(notifier.shown[0].text, "'1a' is not a valid integer value");
    altitude->setText("");
    EXPECT_EQ(notifier.shown.back().text, "'' is not a valid integer value");
    EXPECT_TRUE(SendWouldRestartFirst());
    altitude->setText("100");

    // A datum replaces it and cancels the warm restart.
    ChooseItem(Find<QComboBox>("DatumsComboBox"), "Japan-Tokyo");
    EXPECT_EQ(command->currentText(), "   $PXEMSGS,02,-148,507,685*5C");
    EXPECT_FALSE(SendWouldRestartFirst());

    // Typing into the command box is a user change; placing a city is not.
    ChooseItem(cities, "Algiers");
    EXPECT_TRUE(SendWouldRestartFirst());
    QTest::keyClicks(command->lineEdit(), "x");
    EXPECT_FALSE(SendWouldRestartFirst());
}

TEST_F(MainFormTest, NoneFindsThePlaceOfTheChosenCountry) {
    form.FormShow();
    QComboBox* countries = Find<QComboBox>("CountryComboBox");
    QComboBox* cities = Find<QComboBox>("CityComboBox");
    ChooseItem(Find<QComboBox>("ZoneComboBox"), "Oceania/Australia");
    ChooseItem(countries, "Tonga");
    ChooseItem(cities, "None");
    const CityRow* tonga = nullptr;
    for (const CityRow& row : CityTable)
        if (std::string(row.Country) == "Tonga")
            tonga = &row;
    ASSERT_NE(tonga, nullptr);
    EXPECT_EQ(Find<QComboBox>("Cmd_ComboBox")->currentText().toStdString(),
              InitialPositionCommand(*tonga, 100));

    // With no country chosen, the first "None" of the table.
    form.FormShow();
    ChooseItem(Find<QComboBox>("ZoneComboBox"), "Africa");
    ChooseItem(cities, "None");
    EXPECT_EQ(Find<QComboBox>("Cmd_ComboBox")->currentText().toStdString(),
              InitialPositionCommand(*FindCity("None"), 100));
}

TEST_F(MainFormTest, GoIsEnabledOnlyByStop) {
    QToolButton* go = Find<QToolButton>("StartComSpeedButton");
    form.FormShow();
    EXPECT_FALSE(go->isEnabled());
    QTest::mouseClick(Find<QToolButton>("StopComSpeedButton"), Qt::LeftButton);
    EXPECT_TRUE(go->isEnabled());
    QTest::mouseClick(go, Qt::LeftButton); // nothing selected: fails on the number
    EXPECT_FALSE(go->isEnabled());
    ASSERT_EQ(notifier.shown.size(), 1u);
    EXPECT_EQ(notifier.shown[0].text, "QVX_COMPORT_NUMBER_ERR");
}

TEST_F(MainFormTest, TypingAPortNameTriesEachChange) {
    QComboBox* ports = Find<QComboBox>("ComPortComboBox");
    QTest::keyClicks(ports->lineEdit(), "X");
    ASSERT_EQ(notifier.shown.size(), 1u);
    EXPECT_EQ(notifier.shown[0].text, "QVX_COMPORT_NUMBER_ERR");
    EXPECT_EQ(ports->count(), 9) << "typing adds no item";
}

TEST_F(MainFormTest, PortListShowsWhereEachPortLeads) {
    QComboBox* ports = Find<QComboBox>("ComPortComboBox");
    auto hint = [ports](int item) { return ports->itemData(item, Qt::ToolTipRole).toString(); };
    // Where each item leads is looked up whenever the list opens.
    fs::remove("COM3");
    WriteFileBytes("device", "");
    fs::remove("COM4");
    fs::create_symlink(fs::current_path() / "device", "COM4");
    ports->showPopup();
    ports->hidePopup();
    EXPECT_EQ(hint(2), "/dev/ttyS2");
    EXPECT_EQ(hint(3), QString::fromStdString(fs::canonical("device").string()));
    EXPECT_EQ(hint(4), "/nonexistent-quillmar/tty5 (missing)");
}

TEST_F(MainFormTest, TogglesShowTheirStateOnTheButtons) {
    QToolButton* time = Find<QToolButton>("SetUTCTimeSpeedButton");
    QToolButton* sound = Find<QToolButton>("SoundSpeedButton");
    QTest::mouseClick(time, Qt::LeftButton);
    QTest::mouseClick(sound, Qt::LeftButton);
    EXPECT_EQ(time->toolTip(), "modify System Time By GPS UTC Time");
    EXPECT_EQ(time->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
    EXPECT_EQ(sound->toolTip(), "make Sound When GPS Fixed.");
    EXPECT_TRUE(sound->font().strikeOut());
    // With a fix, the tick sets the PC clock and beeps.
    StoreReceiverState('A', "123519.00");
    form.ShowTimerTimer();
    EXPECT_EQ(clock.sets.size(), 1u);
    EXPECT_EQ(notifier.beeps.size(), 1u);

    QTest::mouseClick(time, Qt::LeftButton);
    EXPECT_EQ(time->toolTip(), "not modify System Time");
    EXPECT_EQ(time->palette().color(QPalette::ButtonText), QColor(128, 128, 128));
    form.ShowTimerTimer();
    EXPECT_EQ(clock.sets.size(), 1u) << "Time is off again";
    EXPECT_EQ(notifier.beeps.size(), 2u) << "S is still on";
}

TEST_F(MainFormTest, AFailedStartEndsTheBeepsAndClockSettingOfTheOldConnection) {
    PtyPort port(3);
    QComboBox* ports = Find<QComboBox>("ComPortComboBox");
    ChooseItem(ports, "COM_3");
    ASSERT_TRUE(form.ShowTimer->isActive());
    QTest::mouseClick(Find<QToolButton>("SetUTCTimeSpeedButton"), Qt::LeftButton);
    QTest::mouseClick(Find<QToolButton>("SoundSpeedButton"), Qt::LeftButton);
    port.Send(FramedSentence("GPGGA,123519.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,") +
              FramedSentence("GPRMC,123519.00,A,4807.038,N,01131.000,E,022.4,084.4,230394,,"));
    ASSERT_TRUE(ProcessEventsUntil(
        [this] { return !notifier.beeps.empty() && !clock.sets.empty(); }, 5000));

    // Typing makes the box name no port: the port is let go and the start fails.
    QTest::keyClicks(ports->lineEdit(), "X");
    ASSERT_EQ(notifier.shown.back().text, "QVX_COMPORT_NUMBER_ERR");
    EXPECT_TRUE(ProcessEventsUntil([&port] { return !port.HeldByProgram(); }, 2000));
    ASSERT_TRUE(form.ShowTimer->isActive()) << "the status timer still ticks";
    const std::size_t beeps = notifier.beeps.size();
    const std::size_t sets = clock.sets.size();

    // Two more ticks, each seen by the PC time it shows.
    QLineEdit* currentTime = Find<QLineEdit>("CurrentTimeEdit");
    for (int tick = 0; tick < 2; ++tick) {
        clock.now.tv_sec += 3600;
        const QString shown = currentTime->text();
        ASSERT_TRUE(ProcessEventsUntil([&] { return currentTime->text() != shown; }, 3000));
    }
    EXPECT_EQ(notifier.beeps.size(), beeps) << "beeps for a receiver that is gone";
    EXPECT_EQ(clock.sets.size(), sets) << "the PC clock set from a frozen time";
    EXPECT_FALSE(FixAcquired);
}

TEST_F(MainFormTest, PortChangeFailedStartStopAndCloseCancelTheSecondStepOfASend) {
    WriteFileBytes("MainLog.txt", "");
    PtyPort first(3);
    PtyPort second(4);
    form.FormShow();
    QComboBox* ports = Find<QComboBox>("ComPortComboBox");
    QPushButton* send = Find<QPushButton>("SendBitBtn");
    ChooseItem(ports, "COM_3");
    ChooseItem(Find<QComboBox>("ZoneComboBox"), "Africa");
    ChooseItem(Find<QComboBox>("CountryComboBox"), "Algeria");
    ChooseItem(Find<QComboBox>("CityComboBox"), "Algiers");
    const std::string warmRestart = "$PXEMSRT,W*";
    auto countIn = [](const std::string& text, const std::string& part) {
        int n = 0;
        for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++n;
        return n;
    };
    // Everything a port got so far (the zero byte never comes: read for 50 ms).
    auto restartsOn = [&](PtyPort& port) {
        return countIn(port.Received(std::string(1, '\0'), 50), warmRestart);
    };
    // SEND with a place: the warm restart goes out, the place waits for the pause.
    auto startTwoStepSend = [&](PtyPort& port, int restartsBefore) {
        ASSERT_EQ(restartsOn(port), restartsBefore) << "sent before its SEND";
        QTest::mouseClick(send, Qt::LeftButton);
        ASSERT_TRUE(ProcessEventsUntil([&] { return restartsOn(port) > restartsBefore; }, 3000));
        ASSERT_FALSE(send->isEnabled());
    };

    startTwoStepSend(first, 0);
    ChooseItem(ports, "COM_4");
    EXPECT_TRUE(send->isEnabled()) << "port change";
    // The new receiver gets the whole send: its own warm restart first.
    startTwoStepSend(second, 0);

    QTest::keyClicks(ports->lineEdit(), "X");
    EXPECT_EQ(notifier.shown.back().text, "QVX_COMPORT_NUMBER_ERR");
    EXPECT_TRUE(send->isEnabled()) << "failed start";
    ChooseItem(ports, "COM_4");
    startTwoStepSend(second, 1);

    QTest::mouseClick(Find<QToolButton>("StopComSpeedButton"), Qt::LeftButton);
    EXPECT_TRUE(send->isEnabled()) << "stop";
    // The main trace closed with the stop; each cancellation before it is traced.
    EXPECT_EQ(countIn(ReadFileBytes("MainLog.txt"), "Two-step send cancelled\r\n"), 3);
    // With the pause over, SEND answers at once.
    const std::size_t told = notifier.shown.size();
    QTest::mouseClick(send, Qt::LeftButton);
    ASSERT_EQ(notifier.shown.size(), told + 1);
    EXPECT_EQ(notifier.shown.back().text, "Select Com Port To Start");

    QTest::mouseClick(Find<QToolButton>("StartComSpeedButton"), Qt::LeftButton);
    startTwoStepSend(second, 2);
    form.close();
    EXPECT_TRUE(send->isEnabled()) << "close";
    EXPECT_EQ(notifier.shown.size(), told + 1);
    for (PtyPort* port : {&first, &second})
        EXPECT_EQ(port->Received(std::string(1, '\0'), 50).find("$PXEMSTR"), std::string::npos)
            << "a place went out without its pause";
}

TEST_F(MainFormTest, EnterInTheCommandBoxSendsATypedSentenceWhole) {
    PtyPort port(3);
    ChooseItem(Find<QComboBox>("ComPortComboBox"), "COM_3");
    // Keys go to the box, which hands them to its edit, as the keyboard's do.
    QComboBox* box = Find<QComboBox>("Cmd_ComboBox");
    box->lineEdit()->clear();
    QTest::keyClicks(box, "$PXEMQVR,N*");
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(port.Received("\r\n", 3000), "$PXEMQVR,N*37\r\n");
    EXPECT_EQ(box->currentText(), "$PXEMQVR,N*") << "the box keeps what was typed";
}

// One burst of a receiver with a 3D fix.
std::string FixBurst() {
    return FramedSentence("GPGGA,123519.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,") +
           FramedSentence("GPGSA,A,3,04,05,09,12,,,,,,,,,2.5,1.3,2.1") +
           FramedSentence("GPRMC,123519.00,A,4807.038,N,01131.000,E,022.4,084.4,230394,,");
}

TEST_F(MainFormTest, StopLeavesNoFixOnScreenAndNothingToSave) {
    PtyPort port(3);
    form.FormShow();
    TSentenceForm* sentence = nullptr;
    QWidget* navigation = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* form = qobject_cast<TSentenceForm*>(window); form && form->isVisible())
            sentence = form;
        if (qobject_cast<TNavigationForm*>(window) && window->isVisible())
            navigation = window;
    }
    ASSERT_TRUE(sentence && navigation);
    auto shows = [navigation](const char* text) {
        return navigation->findChild<QPlainTextEdit*>("GGAMemo")->toPlainText().contains(text);
    };
    ChooseItem(Find<QComboBox>("ComPortComboBox"), "COM_3");
    ASSERT_TRUE(ProcessEventsUntil(
        [&] {
            port.Send(FixBurst());
            QTest::qWait(300);
            return sentence->SaveBitBtn1->isEnabled() && shows("GPS Fix in 3D.");
        },
        10000));

    port.Send("$"); // the head of the next burst, cut short by the stop
    QTest::qWait(150);
    QTest::mouseClick(Find<QToolButton>("StopComSpeedButton"), Qt::LeftButton);
    EXPECT_FALSE(FixAcquired);
    EXPECT_TRUE(WaitForReceiveLoops(5000));
    // The windows' next ticks show that nothing is received.
    EXPECT_TRUE(ProcessEventsUntil(
        [&] {
            return !sentence->SaveBitBtn1->isEnabled() && shows("GPS FIX no data") &&
                   sentence->LogRichEdit->toPlainText().isEmpty();
        },
        3000));
}

TEST_F(MainFormTest, StatusLineNamesPortDeviceSettingsAndLinkState) {
    QLabel* status = Find<QLabel>("LinkStatusLabel");
    EXPECT_EQ(status->text(), "no port | 9600 bit/s 8N1 | stopped");
    // Along the bottom, below the strip whose controls stay where they were.
    form.grab();
    const QRect bar = InForm(Find<QWidget>("LinkStatusBar"), form);
    EXPECT_GT(bar.top(), InForm(Find<QWidget>("ComPortComboBox")->parentWidget(), form).bottom());
    EXPECT_EQ(bar.bottom(), form.rect().bottom());

    QComboBox* ports = Find<QComboBox>("ComPortComboBox");
    ChooseItem(ports, "COM_2");
    EXPECT_EQ(status->text(),
              "COM_2 -> /nonexistent-quillmar/tty2 (missing) | 9600 bit/s 8N1 | "
              "start failed: QVX_COMPORT_INIT_ERR - No such device: COM2 is a link to "
              "/nonexistent-quillmar/tty2, which is not there (the receiver is unplugged, or was "
              "renumbered).");

    PtyPort port(3);
    MenuItem(ToolsMenu(form, "Baud Rate"), "4800 bps")->trigger();
    ChooseItem(ports, "COM_3");
    const QString head = "COM_3 -> " + QString::fromStdString(fs::canonical("COM3").string()) +
                         " | 4800 bit/s 8N1 | ";
    EXPECT_EQ(status->text(), head + "no data for 0 s");
    // The batch's time is the PC's local time, as "Current Time" shows it.
    std::tm local{};
    localtime_r(&clock.now.tv_sec, &local);
    const QString received = head + QString::asprintf("receiving, last batch %02d:%02d:%02d",
                                                      local.tm_hour, local.tm_min, local.tm_sec);
    ASSERT_TRUE(ProcessEventsUntil(
        [&] {
            port.Send(FixBurst());
            QTest::qWait(200);
            return status->text() == received;
        },
        5000))
        << status->text().toStdString();
    // Silence shows in whole seconds from the last batch (ticks may skip one).
    EXPECT_TRUE(ProcessEventsUntil(
        [&] {
            return status->text() == head + "no data for 2 s" ||
                   status->text() == head + "no data for 3 s";
        },
        5000))
        << status->text().toStdString();

    // Pulled out: the line says so until the receiver is back under COM3,
    // here as another device node.
    port.Unplug();
    EXPECT_TRUE(ProcessEventsUntil([&] { return status->text() == head + "receiver lost"; }, 5000))
        << status->text().toStdString();
    PtyPort again(3);
    const QString backHead = "COM_3 -> " + QString::fromStdString(fs::canonical("COM3").string()) +
                             " | 4800 bit/s 8N1 | ";
    EXPECT_TRUE(ProcessEventsUntil(
        [&] {
            again.Send(FixBurst());
            QTest::qWait(200);
            return status->text().startsWith(backHead + "receiving, last batch");
        },
        5000))
        << status->text().toStdString();

    QTest::mouseClick(Find<QToolButton>("StopComSpeedButton"), Qt::LeftButton);
    EXPECT_EQ(status->text(), backHead + "stopped");
}

TEST_F(MainFormTest, StopPutsTheFixTimeBackAndARestartCommandTheSearch) {
    QLineEdit* fixTime = Find<QLineEdit>("FixTimeEdit");
    StoreReceiverState('V');
    for (int i = 0; i < 3; ++i)
        form.ShowTimerTimer();
    EXPECT_EQ(fixTime->text(), "Fix Time : 00:00:03");
    QTest::mouseClick(Find<QToolButton>("StopComSpeedButton"), Qt::LeftButton);
    EXPECT_EQ(fixTime->text(), "Fix Time : 00:00:03") << "the edit keeps its text";
    StoreReceiverState('A');
    form.ShowTimerTimer();
    EXPECT_EQ(fixTime->text(), "Fix Time : 00:00:00");
    EXPECT_TRUE(FixAcquired);

    // A cold restart gives the fix up at once, port or no port.
    Find<QComboBox>("Cmd_ComboBox")->setEditText("06.$PXEMSRT,C*");
    QTest::mouseClick(Find<QPushButton>("SendBitBtn"), Qt::LeftButton);
    EXPECT_FALSE(FixAcquired);
}

TEST_F(MainFormTest, TracedSessionOnAPortWritesTheMainLog) {
    WriteFileBytes("MainLog.txt", "from an earlier run");
    PtyPort port(3);
    form.FormShow();
    ChooseItem(Find<QComboBox>("ComPortComboBox"), "COM_3");
    ASSERT_TRUE(form.ShowTimer->isActive());
    EXPECT_EQ(port.Speed(), B9600);

    // A new speed waits for the next start.
    MenuItem(ToolsMenu(form, "Baud Rate"), "19200 bps")->trigger();
    EXPECT_EQ(port.Speed(), B9600);
    form.ShowTimerTimer();
    EXPECT_TRUE(Find<QLineEdit>("CurrentTimeEdit")->text().startsWith("Current Time : "));
    EXPECT_FALSE(Find<QLineEdit>("CurrentTimeEdit")->text().contains('\n'));
    form.SendBitBtnClick();
    EXPECT_NE(port.Received("\r\n", 5000).find("$PXEMSNM,0119,01*"), std::string::npos);

    form.StopComSpeedButtonClick();
    form.StartComSpeedButtonClick(); // after the stop the trace is closed
    EXPECT_EQ(port.Speed(), B19200);
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "2 3,3,1,0,");
    form.StopComSpeedButtonClick();
    EXPECT_TRUE(WaitForReceiveLoops(5000));

    const std::string log = ReadFileBytes("MainLog.txt");
    const std::string head = "Use Thread To Receive!!!\r\n"
                             "19200 bps By Set, iBaudRate = 3\r\n"
                             "Start Main Timer :    0.0000000000 seconds\r\n"
                             "Finish Main Timer : ";
    const std::string tail = " seconds\r\n"
                             "RsRequest_WIN, SendDataLen = 17\r\n"
                             "RsRequest_WIN, statusRet = 0x0\r\n";
    ASSERT_GT(log.size(), head.size() + tail.size()) << log;
    EXPECT_EQ(log.substr(0, head.size()), head) << log;
    EXPECT_EQ(log.substr(log.size() - tail.size()), tail) << log;
    EXPECT_EQ(log.size() - head.size() - tail.size(), 15u) << "%15.10f: " << log;
}

TEST_F(MainFormTest, TerminationSignalClosesLikeTheCloseButton) {
    PtyPort port(3);
    WriteFileBytes("Quillmar.aon", "2 1,3,1,0,");
    CloseOnTerminationSignals(&form);
    form.FormShow();
    form.show();
    ASSERT_TRUE(form.isVisible());
    ASSERT_TRUE(port.HeldByProgram());
    ASSERT_EQ(raise(SIGTERM), 0);
    ASSERT_TRUE(ProcessEventsUntil([this] { return !form.isVisible(); }, 5000));
    EXPECT_FALSE(form.ShowTimer->isActive());
    EXPECT_TRUE(WaitForReceiveLoops(5000));
    // The descriptor goes with the loop's last read.
    EXPECT_FALSE(port.HeldByProgram()) << "the connection was stopped";
    EXPECT_EQ(VisibleViews(), 0);
}

} // namespace
