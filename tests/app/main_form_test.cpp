#include "main_form.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>

#include "app_fakes.h"
#include "close_on_signal.h"
#include "gps_thread.h"
#include "main_trace.h"
#include "program_flags.h"
#include "receiver_command_table.h"
#include "recording_notifier.h"
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
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
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

TEST_F(MainFormTest, StripsHoldEveryControlWithItsStartState) {
    EXPECT_EQ(form.windowTitle(), ".");
    EXPECT_TRUE(form.windowState() & Qt::WindowMaximized);
    const struct {
        const char* name;
        int x;
        const char* text;
        bool enabled;
        const char* hint;
    } buttons[] = {
        {"SpeedButton1", 8, "", false, ""},
        {"SentenceSpeedButton", 136, "", true, ""},
        {"SatelliteSpeedButton", 232, "", true, "Satellite"},
        {"StopComSpeedButton", 264, "stop", true, ""},
        {"StartComSpeedButton", 288, "GO", false, ""},
        {"SetUTCTimeSpeedButton", 312, "Time", true, "not modify System Time"},
        {"SoundSpeedButton", 336, "S", true, "not notify when GPS Fixed."},
        {"AboutSpeedButton", 392, "", true, "About"},
    };
    for (const auto& b : buttons) {
        QToolButton* button = Find<QToolButton>(b.name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->geometry(), QRect(b.x, 4, 25, 25)) << b.name;
        EXPECT_EQ(button->text(), b.text) << b.name;
        EXPECT_EQ(button->isEnabled(), b.enabled) << b.name;
        EXPECT_EQ(button->toolTip(), b.hint) << b.name;
    }
    const QFont s = Find<QToolButton>("SoundSpeedButton")->font();
    EXPECT_TRUE(s.bold() && s.italic() && s.strikeOut());

    const struct {
        const char* name;
        int x, y;
        const char* text;
        int items;
    } boxes[] = {
        {"ComPortComboBox", 8, 40, "Com Port Select", 9},
        {"DatumsComboBox", 352, 40, "Datums", 19},
        {"ZoneComboBox", 496, 40, "Zone", 9},
        {"CountryComboBox", 640, 40, "Country", 0},
        {"CityComboBox", 792, 40, "City", 0},
        {"Cmd_ComboBox", 352, 64, "02.$PXEMSNM,0119,01*", 19},
    };
    for (const auto& b : boxes) {
        QComboBox* box = Find<QComboBox>(b.name);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->pos(), QPoint(b.x, b.y)) << b.name;
        EXPECT_EQ(box->currentText(), b.text) << b.name;
        EXPECT_EQ(box->count(), b.items) << b.name;
    }
    EXPECT_EQ(Find<QLineEdit>("CurrentTimeEdit")->text(), "Current Time :");
    EXPECT_EQ(Find<QLineEdit>("FixTimeEdit")->text(), "Fix Time :");
    EXPECT_EQ(Find<QLineEdit>("AltitudeEdit")->text(), "100");
    EXPECT_EQ(Find<QLineEdit>("AltitudeEdit")->maxLength(), 5);
    EXPECT_FALSE(form.ShowTimer->isActive());
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
            visible << a->text();
    EXPECT_EQ(visible, QStringList{"Baud Rate"});

    auto checked = [this](LineMenu menu) {
        QStringList marks;
        for (QAction* a : form.LineSettingMenu(menu)->actions())
            if (a->isChecked())
                marks << a->text();
        return marks;
    };
    EXPECT_TRUE(checked(LineMenu::BaudRate).isEmpty());
    EXPECT_EQ(checked(LineMenu::StopBits), QStringList{"1 stop bit"});
    EXPECT_EQ(checked(LineMenu::Parity), QStringList{"No Parity"});
    EXPECT_EQ(checked(LineMenu::DataBits), QStringList{"8 Bits"});

    form.FormShow(); // no settings file
    EXPECT_EQ(checked(LineMenu::BaudRate), QStringList{"9600 bps"});
    form.LineMenuAction(LineMenu::BaudRate, "19200 bps")->trigger();
    EXPECT_EQ(checked(LineMenu::BaudRate), QStringList{"19200 bps"});
}

TEST_F(MainFormTest, FirstShowingOpensTheSixViewsAndFillsTheLists) {
    form.show();
    ASSERT_TRUE(ProcessEventsUntil([] { return SatelliteOpen; }, 5000));
    EXPECT_TRUE(SingleQualityOpen && NavigationOpen && SentenceOpen && HelpOpen && RoadmapOpen);
    EXPECT_EQ(VisibleViews(), 6);
    EXPECT_FALSE(FileExists("MainLog.txt"));
    EXPECT_FALSE(FileExists("Quillmar.aon"));
    EXPECT_TRUE(notifier.shown.empty());
    EXPECT_FALSE(form.Connection().PortOpen());

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
    EXPECT_TRUE(form.Commands().RestartBeforeSend);

    // The altitude rebuilds the command; a text that is no number leaves it be.
    QLineEdit* altitude = Find<QLineEdit>("AltitudeEdit");
    altitude->setText("-25");
    EXPECT_EQ(command->currentText(), "   $PXEMSTR,SSIP,0.642,0.053,-25,-1*");
    form.Commands().RestartBeforeSend = false;
    altitude->setText("1a");
    EXPECT_EQ(command->currentText(), "   $PXEMSTR,SSIP,0.642,0.053,-25,-1*");
    EXPECT_FALSE(form.Commands().RestartBeforeSend);
    ASSERT_EQ(notifier.shown.size(), 1u);
    EXPECT_EQ(notifier.shown[0].kind, RecordingNotifier::Shown::Error);
    EXPECT_EQ(notifier.shown[0].text, "'1a' is not a valid integer value");
    altitude->setText("");
    EXPECT_EQ(notifier.shown.back().text, "'' is not a valid integer value");
    altitude->setText("100");

    // A datum replaces it and cancels the warm restart; SEND has no port.
    ASSERT_TRUE(form.Commands().RestartBeforeSend);
    ChooseItem(Find<QComboBox>("DatumsComboBox"), "Japan-Tokyo");
    EXPECT_EQ(command->currentText(), "   $PXEMSGS,02,-148,507,685*5C");
    EXPECT_FALSE(form.Commands().RestartBeforeSend);

    // Typing into the command box is a user change; placing a city is not.
    ChooseItem(cities, "Algiers");
    EXPECT_TRUE(form.Commands().RestartBeforeSend);
    QTest::keyClicks(command->lineEdit(), "x");
    EXPECT_FALSE(form.Commands().RestartBeforeSend);
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
    EXPECT_EQ(form.Status().SetUTCTimeTag, 1);
    QTest::mouseClick(time, Qt::LeftButton);
    EXPECT_EQ(time->toolTip(), "not modify System Time");
    EXPECT_EQ(form.Status().SetUTCTimeTag, 0);
    EXPECT_EQ(form.Status().SoundTag, 1);
}

TEST_F(MainFormTest, TracedSessionOnAPortWritesTheMainLog) {
    WriteFileBytes("MainLog.txt", "from an earlier run");
    PtyPort port(3);
    form.FormShow();
    ChooseItem(Find<QComboBox>("ComPortComboBox"), "COM_3");
    ASSERT_TRUE(form.ShowTimer->isActive());
    EXPECT_EQ(port.Speed(), B9600);

    // A new speed waits for the next start.
    form.LineMenuAction(LineMenu::BaudRate, "19200 bps")->trigger();
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
    CloseOnTerminationSignals(&form);
    form.FormShow();
    form.show();
    ASSERT_TRUE(form.isVisible());
    form.Status().FixTimeClock = {0, 0, 9};
    ASSERT_EQ(raise(SIGTERM), 0);
    ASSERT_TRUE(ProcessEventsUntil([this] { return !form.isVisible(); }, 5000));
    EXPECT_EQ(form.Status().FixTimeClock.Seconds, 0) << "StopConnection ran";
    EXPECT_EQ(VisibleViews(), 0);
}

} // namespace
