#include "main_form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdio>
#include <ctime>
#include <exception>
#include <filesystem>

#include "batch_ticker.h"
#include "baud_detect.h"
#include "find_receiver_dialog.h"
#include "main_trace.h"
#include "notifier.h"
#include "port_name.h"
#include "program_flags.h"
#include "receiver_command_table.h"
#include "receiver_state.h"
#include "status_code_name.h"
#include "tool_glyphs.h"
#include "views.h"

namespace {

// Colours of the design (0x00BBGGRR there).
const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 128, 0);
const QColor kSilver(192, 192, 192);

constexpr int kToolButtonSize = 25;
constexpr int kToolButtonTop = 4;
constexpr int kSpeedBarHeight = 33;
constexpr int kControlStripHeight = 90;

// A hint of the form "short|long": the tooltip is the short part, the status
// bar text the long one.
void SetHint(QWidget* widget, const char* hint) {
    const QString text = QString::fromLatin1(hint);
    const int bar = text.indexOf(QLatin1Char('|'));
    widget->setToolTip(bar < 0 ? text : text.left(bar));
    widget->setStatusTip(bar < 0 ? text : text.mid(bar + 1));
}

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::ButtonText, colour);
    palette.setColor(QPalette::Text, colour);
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

void ApplyLook(QToolButton* button, const ToggleLook& look) {
    SetTextColour(button, look.colour);
    SetHint(button, look.hint);
}

QComboBox* MakeComboBox(QWidget* parent, const char* name, int x, int y, int width,
                        const QColor& textColour) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(true);
    // The lists are the program's: typing never adds an item, and no
    // completion rewrites what the user typed behind the handlers' backs.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    box->setGeometry(x, y, width, 21);
    box->setMaxVisibleItems(16);
    SetTextColour(box, textColour);
    return box;
}

void SetBoxItems(QComboBox* box, const QStringList& items, const QString& text) {
    box->clear();
    box->addItems(items);
    box->setCurrentIndex(-1);
    box->setEditText(text);
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, int x, int y, int width, const char* text,
                    bool readOnly) {
    auto* edit = new QLineEdit(QString::fromLatin1(text), parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(x, y, width, 21);
    edit->setReadOnly(readOnly);
    return edit;
}

// The port list; it looks up where each COMn leads whenever it opens.
class PortComboBox : public QComboBox {
public:
    using QComboBox::QComboBox;

    void RefreshDeviceHints() {
        for (int i = 0; i < count(); ++i)
            setItemData(i, QString::fromStdString(portavel::PortDeviceDescription(i + 1)),
                        Qt::ToolTipRole);
    }
    void showPopup() override {
        RefreshDeviceHints();
        QComboBox::showPopup();
    }
};

QStringList ToQStrings(const std::vector<std::string>& items) {
    QStringList list;
    list.reserve(static_cast<qsizetype>(items.size()));
    for (const std::string& item : items)
        list.append(QString::fromLatin1(item));
    return list;
}

template <typename Create> void OpenView(bool& open, Create create) {
    // A window of this kind exists already: leave it where it is.
    if (open)
        return;
    open = true;
    QWidget* view = create();
    view->show();
    view->repaint();
}

} // namespace

TMainForm::TMainForm(SystemClock* clock) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("."));
    // The design's Windows fonts, by their closest metric twins here.
    for (const char* family : {"MS Sans Serif", "Small Fonts"})
        QFont::insertSubstitutions(QString::fromLatin1(family),
                                   {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                                    QStringLiteral("Helvetica")});
    QFont formFont(QStringLiteral("MS Sans Serif"), 8);
    formFont.setStyleHint(QFont::SansSerif);
    setFont(formFont);

    if (clock == nullptr) {
        realClock_ = std::make_unique<RealSystemClock>();
        clock = realClock_.get();
    }
    clock_ = clock;
    linkClock_.start();
    // The units know nothing of each other; what one needs of another goes
    // through the hooks given here.
    status_ = std::make_unique<StatusTimer>(*clock, MainTrace());
    connection_ = std::make_unique<PortConnection>(
        static_cast<ConnectionWindow&>(*this), MainTrace(),
        [this] { status_->ConnectionStopped(); }, [this] { commands_->CancelPendingSend(); });
    // A receiver that goes away and comes back, and why a start failed, as
    // the connection learns them.
    ConnectionEvents& events = connection_->Events();
    connect(&events, &ConnectionEvents::ReceiverLost, this, [this](const QString&) {
        link_.state = LinkState::ReceiverLost;
        ShowLinkStatus();
    });
    connect(&events, &ConnectionEvents::ReceiverBack, this, [this](const QString&) {
        // Back under the same COMn, maybe as another device node.
        const int index = ComPortComboBox->currentIndex();
        link_.device = index >= 0 ? portavel::PortDeviceDescription(index + 1) : std::string();
        TakeReceiverSnapshot(&seenBatch_);
        dataWatch_.Started(LinkNow());
        dataWatch_.Describe(LinkNow(), link_);
        ShowLinkStatus();
    });
    connect(&events, &ConnectionEvents::StartFailed, this,
            [this](const QString& status, const QString& explanation) {
                startStatusName_ = status.toStdString();
                startExplanation_ = explanation.section(QLatin1Char('\n'), 0, 0).toStdString();
            });
    SenderLinks links;
    links.port = [this] { return connection_->Port(); };
    links.fixSearchRestarted = [this] { status_->RestartFixSearch(); };
    commands_ = std::make_unique<CommandSender>(std::move(links), MainTrace());
    cascade_ =
        std::make_unique<LocationCascade>(static_cast<LocationBoxes&>(*this), [this](bool restart) {
            commands_->SetRestartBeforeSend(restart);
        });

    // Made before the views, so on each batch the status tick, which takes the
    // window stopwatch's stamp, comes first.
    ShowTimer = new BatchTicker(
        "ShowTimer", [this] { ShowTimerTimer(); }, this);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* strip = new QWidget(central);
    strip->setFixedHeight(kControlStripHeight);
    BuildToolStrip(strip);
    BuildControlStrip(strip);
    layout->addWidget(strip);
    // A document-frame window that never gets a document.
    layout->addWidget(new QMdiArea(central), 1);
    // The link's state along the bottom edge, where the view windows, which
    // open over the area below the control strip, leave it in sight.
    auto* statusBar = new QStatusBar(central);
    statusBar->setObjectName(QStringLiteral("LinkStatusBar"));
    statusBar->setSizeGripEnabled(false);
    LinkStatusLabel = new QLabel(statusBar);
    LinkStatusLabel->setObjectName(QStringLiteral("LinkStatusLabel"));
    statusBar->addWidget(LinkStatusLabel, 1);
    layout->addWidget(statusBar);
    setCentralWidget(central);
    BuildMenus();

    connect(commands_.get(), &CommandSender::SendEnabledChanged, SendBitBtn,
            &QPushButton::setEnabled);

    link_.settings = LineSettingsText(connection_->Codes());
    ShowLinkStatus();

    resize(1024, 740);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    setWindowState(Qt::WindowMaximized);
}

TMainForm::~TMainForm() = default;

void TMainForm::BuildToolStrip(QWidget* strip) {
    auto* speedBar = new QWidget(strip);
    speedBar->setObjectName(QStringLiteral("SpeedBar"));
    speedBar->setGeometry(0, 0, 2000, kSpeedBarHeight);

    auto button = [speedBar](const char* name, int x) {
        auto* b = new QToolButton(speedBar);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, kToolButtonTop, kToolButtonSize, kToolButtonSize);
        b->setAutoRaise(true);
        b->setIconSize(QSize(18, 18));
        return b;
    };
    auto glyphButton = [&button](const char* name, int x, ToolGlyph glyph) {
        QToolButton* b = button(name, x);
        b->setIcon(ToolGlyphIcon(glyph));
        return b;
    };

    // Open, Print, Tile, Cascade, Arrange: kept for the look, never enabled.
    const ToolGlyph unused[] = {ToolGlyph::Open, ToolGlyph::Print, ToolGlyph::Tile,
                                ToolGlyph::Cascade, ToolGlyph::Arrange};
    const int unusedX[] = {8, 32, 60, 84, 108};
    for (int i = 0; i < 5; ++i) {
        const QByteArray name = "SpeedButton" + QByteArray::number(i + 1);
        glyphButton(name.constData(), unusedX[i], unused[i])->setEnabled(false);
    }

    connect(glyphButton("SentenceSpeedButton", 136, ToolGlyph::Sentence), &QToolButton::clicked,
            this, &TMainForm::SentenceSpeedButtonClick);
    connect(glyphButton("NavigationSpeedButton", 160, ToolGlyph::Navigation), &QToolButton::clicked,
            this, &TMainForm::NavigationSpeedButtonClick);
    connect(glyphButton("SingleSpeedButton", 184, ToolGlyph::Single), &QToolButton::clicked, this,
            &TMainForm::SingleSpeedButtonClick);
    connect(glyphButton("RoadmapSpeedButton", 208, ToolGlyph::Roadmap), &QToolButton::clicked, this,
            &TMainForm::RoadmapSpeedButtonClick);
    QToolButton* satellite = glyphButton("SatelliteSpeedButton", 232, ToolGlyph::Satellite);
    SetHint(satellite, "Satellite");
    connect(satellite, &QToolButton::clicked, this, &TMainForm::SatelliteSpeedButtonClick);

    StopComSpeedButton = button("StopComSpeedButton", 264);
    StopComSpeedButton->setText(QStringLiteral("stop"));
    StopComSpeedButton->setFont(QFont(QStringLiteral("Small Fonts"), 7, QFont::Bold));
    SetTextColour(StopComSpeedButton, kBlue);
    connect(StopComSpeedButton, &QToolButton::clicked, this, &TMainForm::StopComSpeedButtonClick);

    StartComSpeedButton = button("StartComSpeedButton", 288);
    StartComSpeedButton->setText(QStringLiteral("GO"));
    QFont bold = font();
    bold.setBold(true);
    StartComSpeedButton->setFont(bold);
    SetTextColour(StartComSpeedButton, kRed);
    StartComSpeedButton->setEnabled(false);
    connect(StartComSpeedButton, &QToolButton::clicked, this, &TMainForm::StartComSpeedButtonClick);

    SetUTCTimeSpeedButton = button("SetUTCTimeSpeedButton", 312);
    SetUTCTimeSpeedButton->setText(QStringLiteral("Time"));
    ApplyLook(SetUTCTimeSpeedButton, SetUTCTimeLook(0));
    connect(SetUTCTimeSpeedButton, &QToolButton::clicked, this,
            &TMainForm::SetUTCTimeSpeedButtonClick);

    SoundSpeedButton = button("SoundSpeedButton", 336);
    SoundSpeedButton->setText(QStringLiteral("S"));
    QFont struck = bold;
    struck.setItalic(true);
    struck.setStrikeOut(true);
    SoundSpeedButton->setFont(struck);
    ApplyLook(SoundSpeedButton, SoundLook(0));
    connect(SoundSpeedButton, &QToolButton::clicked, this, &TMainForm::SoundSpeedButtonClick);

    QToolButton* about = glyphButton("AboutSpeedButton", 392, ToolGlyph::About);
    SetHint(about, "About|About");
    connect(about, &QToolButton::clicked, this, &TMainForm::HelpAbout);
}

void TMainForm::BuildControlStrip(QWidget* strip) {
    auto* ports = new PortComboBox(strip);
    ports->setObjectName(QStringLiteral("ComPortComboBox"));
    ports->setEditable(true);
    ports->setInsertPolicy(QComboBox::NoInsert);
    ports->setCompleter(nullptr);
    ports->setGeometry(8, 40, 121, 21);
    QStringList portItems;
    for (int n = 1; n <= 9; ++n)
        portItems << QStringLiteral("COM_%1").arg(n);
    SetBoxItems(ports, portItems, QStringLiteral("Com Port Select"));
    ports->RefreshDeviceHints();
    ComPortComboBox = ports;
    connect(ports, &QComboBox::activated, this, &TMainForm::ComPortComboBoxChange);
    connect(ports->lineEdit(), &QLineEdit::textEdited, this, &TMainForm::PortTextEdited);

    CurrentTimeEdit = MakeEdit(strip, "CurrentTimeEdit", 136, 40, 209, "Current Time :", true);
    FixTimeEdit = MakeEdit(strip, "FixTimeEdit", 136, 64, 209, "Fix Time :", true);
    for (QLineEdit* edit : {CurrentTimeEdit, FixTimeEdit}) {
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, kSilver);
        palette.setColor(QPalette::Text, kBlue);
        edit->setPalette(palette);
    }

    DatumsComboBox = MakeComboBox(strip, "DatumsComboBox", 352, 40, 137, kRed);
    QStringList datums;
    for (const char* item : DatumItems)
        datums << QString::fromLatin1(item);
    SetBoxItems(DatumsComboBox, datums, QStringLiteral("Datums"));
    connect(DatumsComboBox, &QComboBox::activated, this, &TMainForm::DatumsComboBoxChange);
    connect(DatumsComboBox->lineEdit(), &QLineEdit::textEdited, this,
            [this] { DatumsComboBoxChange(-1); });

    ZoneComboBox = MakeComboBox(strip, "ZoneComboBox", 496, 40, 137, kBlue);
    QStringList zones;
    for (const char* item : ZoneItems)
        zones << QString::fromLatin1(item);
    SetBoxItems(ZoneComboBox, zones, QStringLiteral("Zone"));
    connect(ZoneComboBox, &QComboBox::activated, this, &TMainForm::ZoneComboBoxChange);
    connect(ZoneComboBox->lineEdit(), &QLineEdit::textEdited, this, &TMainForm::ZoneComboBoxChange);

    CountryComboBox = MakeComboBox(strip, "CountryComboBox", 640, 40, 145, kBlue);
    CountryComboBox->setEditText(QStringLiteral("Country"));
    connect(CountryComboBox, &QComboBox::activated, this, &TMainForm::CountryComboBoxChange);
    connect(CountryComboBox->lineEdit(), &QLineEdit::textEdited, this,
            &TMainForm::CountryComboBoxChange);

    CityComboBox = MakeComboBox(strip, "CityComboBox", 792, 40, 169, kBlue);
    CityComboBox->setEditText(QStringLiteral("City"));
    connect(CityComboBox, &QComboBox::activated, this, &TMainForm::CityComboBoxChange);
    connect(CityComboBox->lineEdit(), &QLineEdit::textEdited, this, &TMainForm::CityComboBoxChange);

    auto* help = new QPushButton(QStringLiteral("HELP"), strip);
    help->setObjectName(QStringLiteral("HelpBitBtn"));
    help->setGeometry(967, 40, 49, 22);
    SetTextColour(help, kGreen);
    connect(help, &QPushButton::clicked, this, &TMainForm::HelpBitBtnClick);

    Cmd_ComboBox = MakeComboBox(strip, "Cmd_ComboBox", 352, 64, 441, kRed);
    QStringList commands;
    for (const CommandHelpText& command : ReceiverCommandTable)
        commands << QString::fromLatin1(command.item);
    SetBoxItems(Cmd_ComboBox, commands, QStringLiteral("02.$PXEMSNM,0119,01*"));
    connect(Cmd_ComboBox, &QComboBox::activated, this, &TMainForm::Cmd_ComboBoxChange);
    connect(Cmd_ComboBox->lineEdit(), &QLineEdit::textEdited, this, &TMainForm::Cmd_ComboBoxChange);
    // Enter in the command box is SEND, and like SEND waits out a two-step send.
    connect(Cmd_ComboBox->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        if (SendBitBtn->isEnabled())
            SendBitBtnClick();
    });

    MakeEdit(strip, "Edit2", 792, 64, 56, "Altitude", true);
    AltitudeEdit = MakeEdit(strip, "AltitudeEdit", 848, 64, 65, "100", false);
    AltitudeEdit->setMaxLength(5);
    connect(AltitudeEdit, &QLineEdit::textChanged, this, &TMainForm::CityComboBoxChange);
    MakeEdit(strip, "Edit3", 920, 64, 41, "Meter", true);

    SendBitBtn = new QPushButton(QStringLiteral("SEND"), strip);
    SendBitBtn->setObjectName(QStringLiteral("SendBitBtn"));
    SendBitBtn->setGeometry(967, 64, 49, 22);
    SetTextColour(SendBitBtn, kBlue);
    connect(SendBitBtn, &QPushButton::clicked, this, &TMainForm::SendBitBtnClick);
}

void TMainForm::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu"));

    QMenu* view = bar->addMenu(QStringLiteral("View"));
    view->addAction(QStringLiteral("NMEA Sentence "), this, &TMainForm::SentenceSpeedButtonClick);
    view->addAction(QStringLiteral("Navigation"), this, &TMainForm::NavigationSpeedButtonClick);
    view->addAction(QStringLiteral("Single Quality"), this, &TMainForm::SingleSpeedButtonClick);
    view->addAction(QStringLiteral("Real-time Position Plot"), this,
                    &TMainForm::RoadmapSpeedButtonClick);
    view->addAction(QStringLiteral("Satellite Position"), this,
                    &TMainForm::SatelliteSpeedButtonClick);

    QMenu* tools = bar->addMenu(QStringLiteral("Tools"));
    const struct {
        LineMenu menu;
        const char* title;
        bool visible;
    } menus[] = {
        {LineMenu::BaudRate, "Baud Rate", true},
        {LineMenu::StopBits, "Stop Bits", false},
        {LineMenu::Parity, "Parity", false},
        {LineMenu::DataBits, "Data Bits", false},
    };
    for (const auto& m : menus) {
        QMenu* menu = tools->addMenu(QString::fromLatin1(m.title));
        menu->menuAction()->setVisible(m.visible);
        lineMenus_[static_cast<int>(m.menu)] = menu;
        for (const LineMenuItem& item : LineMenuItems(m.menu)) {
            QAction* action = menu->addAction(QString::fromLatin1(item.caption));
            action->setCheckable(true);
            action->setData(item.code);
            const LineMenu which = m.menu;
            connect(action, &QAction::triggered, this,
                    [this, which, action] { LineMenuClick(which, action); });
        }
        if (m.menu == LineMenu::BaudRate) {
            menu->addSeparator();
            QAction* detect = menu->addAction(QStringLiteral("Detect"));
            detect->setObjectName(QStringLiteral("DetectBaudRateItem"));
            connect(detect, &QAction::triggered, this, &TMainForm::DetectBaudRateClick);
        }
    }
    tools->addSeparator();
    QAction* find = tools->addAction(QStringLiteral("Find Receiver..."));
    find->setObjectName(QStringLiteral("FindReceiverItem"));
    connect(find, &QAction::triggered, this, &TMainForm::FindReceiverClick);

    // The form's own start marks; no baud item is marked until the settings are read.
    LineMenuAction(LineMenu::StopBits, QStringLiteral("1 stop bit"))->setChecked(true);
    LineMenuAction(LineMenu::Parity, QStringLiteral("No Parity"))->setChecked(true);
    LineMenuAction(LineMenu::DataBits, QStringLiteral("8 Bits"))->setChecked(true);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->addSeparator();
    help->addAction(QStringLiteral("&About..."), this, &TMainForm::HelpAbout);
}

QMenu* TMainForm::LineSettingMenu(LineMenu menu) const {
    return lineMenus_[static_cast<int>(menu)];
}

QAction* TMainForm::LineMenuAction(LineMenu menu, const QString& caption) const {
    for (QAction* action : LineSettingMenu(menu)->actions()) {
        if (action->text() == caption)
            return action;
    }
    return nullptr;
}

void TMainForm::LineMenuClick(LineMenu menu, QAction* item) {
    try {
        for (QAction* action : LineSettingMenu(menu)->actions())
            action->setChecked(false);
        item->setChecked(true);
        connection_->ChooseLineItem(menu, item->text().toStdString());
        // Stopped, the line shows what the next start will use.
        if (link_.state == LinkState::Stopped) {
            link_.settings = LineSettingsText(connection_->Codes());
            ShowLinkStatus();
        }
    } catch (const std::exception&) {
        CurrentNotifier().ShowMessage(QStringLiteral("Exception handling error."));
    }
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // After the window is on screen, from the event loop.
    if (!formShown_)
        QTimer::singleShot(0, this, [this] {
            if (!formShown_)
                FormShow();
        });
}

void TMainForm::FormShow() {
    formShown_ = true;
    MainTrace().Setup();
    cascade_->FillLists();
    SingleSpeedButtonClick();
    NavigationSpeedButtonClick();
    SentenceSpeedButtonClick();
    HelpBitBtnClick();
    RoadmapSpeedButtonClick();
    SatelliteSpeedButtonClick();
    const unsigned starts = connection_->StartAttempts();
    connection_->LoadSettings();
    if (connection_->StartAttempts() != starts)
        LinkStarted();
    else
        LinkStopped(); // the marked line settings
}

void TMainForm::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TMainForm::FormClose() {
    if (detector_ != nullptr)
        detector_->Cancel();
    startAfterDetect_ = false;
    connection_->Stop();
    LinkStopped();
    // The views go with the main window; each closes its own files.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != this && window->isVisible() && qobject_cast<QMenu*>(window) == nullptr)
            window->close();
    }
}

void TMainForm::ShowTimerTimer() {
    uint64_t batch = 0;
    const ReceiverState snapshot = TakeReceiverSnapshot(&batch);
    status_->Tick(snapshot, *this);

    if (batch != seenBatch_) {
        seenBatch_ = batch;
        bool data = false;
        for (const auto& line : snapshot.SentenceLines)
            data = data || line[0] != '\0';
        if (data) {
            const std::time_t seconds = clock_->Now().tv_sec;
            std::tm local{};
            localtime_r(&seconds, &local);
            char text[16];
            std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min,
                          local.tm_sec);
            dataWatch_.DataArrived(LinkNow(), text);
        }
    }
    // Only a running link moves between these two; other states are set by
    // whoever knows of them (a start, a stop, a receiver that went away).
    if (link_.state == LinkState::Receiving || link_.state == LinkState::NoData) {
        dataWatch_.Describe(LinkNow(), link_);
        ShowLinkStatus();
    }
}

double TMainForm::LinkNow() const {
    return static_cast<double>(linkClock_.elapsed()) / 1000.0;
}

void TMainForm::LinkStarted() {
    const std::string explanation = std::move(startExplanation_);
    startExplanation_.clear();
    const int index = ComPortComboBox->currentIndex();
    link_.port = index >= 0 ? ComPortComboBox->itemText(index).toStdString() : std::string();
    link_.device = index >= 0 ? portavel::PortDeviceDescription(index + 1) : std::string();
    link_.settings = LineSettingsText(connection_->Codes());
    const int status = connection_->LastStartStatus();
    if (status != 0) {
        link_.state = LinkState::StartFailed;
        // What the system says stands in the way says more than the code's
        // own words.
        link_.failure =
            explanation.empty() ? StartFailureText(status) : startStatusName_ + " - " + explanation;
    } else {
        // What was stored before this start is not this receiver's data.
        TakeReceiverSnapshot(&seenBatch_);
        dataWatch_.Started(LinkNow());
        dataWatch_.Describe(LinkNow(), link_);
    }
    ShowLinkStatus();
}

void TMainForm::LinkStopped() {
    link_.state = LinkState::Stopped;
    link_.settings = LineSettingsText(connection_->Codes());
    ShowLinkStatus();
}

void TMainForm::ShowLinkStatus() {
    const QString text = QString::fromStdString(LinkStatusText(link_));
    if (LinkStatusLabel->text() != text) {
        LinkStatusLabel->setText(text);
        // Whole, for a window too narrow for the line.
        LinkStatusLabel->setToolTip(text);
    }
}

void TMainForm::SentenceSpeedButtonClick() {
    OpenView(SentenceOpen, CreateSentenceForm);
}
void TMainForm::NavigationSpeedButtonClick() {
    OpenView(NavigationOpen, CreateNavigationForm);
}
void TMainForm::SingleSpeedButtonClick() {
    OpenView(SingleQualityOpen, CreateSingleQualityForm);
}
void TMainForm::RoadmapSpeedButtonClick() {
    OpenView(RoadmapOpen, CreateRoadmapForm);
}
void TMainForm::SatelliteSpeedButtonClick() {
    OpenView(SatelliteOpen, CreateSatelliteForm);
}
void TMainForm::HelpBitBtnClick() {
    OpenView(HelpOpen, [] { return CreateHelpForm(ReceiverCommandTable); });
}
void TMainForm::HelpAbout() {
    ShowAboutBox(this);
}

void TMainForm::ComPortComboBoxChange() {
    // Detect has the line: the start follows once it has let go.
    if (detector_ != nullptr) {
        startAfterDetect_ = true;
        detector_->Cancel();
        return;
    }
    connection_->Start();
    LinkStarted();
}

void TMainForm::PortTextEdited(const QString& text) {
    // Typed text selects the item it spells, or none, as in a Windows combo box.
    QLineEdit* edit = ComPortComboBox->lineEdit();
    const int cursor = edit->cursorPosition();
    const int match = ComPortComboBox->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    ComPortComboBox->setCurrentIndex(match);
    if (match < 0) {
        ComPortComboBox->setEditText(text);
        edit->setCursorPosition(cursor);
    }
    ComPortComboBoxChange();
}

void TMainForm::StopComSpeedButtonClick() {
    if (detector_ != nullptr)
        detector_->Cancel();
    startAfterDetect_ = false;
    StartComSpeedButton->setEnabled(true);
    connection_->Stop();
    LinkStopped();
}

void TMainForm::StartComSpeedButtonClick() {
    ComPortComboBoxChange();
}

void TMainForm::DetectBaudRateClick() {
    if (detector_ != nullptr)
        return;
    char portName[10] = {};
    const int status = SetComPort_WIN(SelectedPortIndex() + 1, portName);
    if (status != 0) {
        char text[32];
        StatusCodeName(status, text);
        CurrentNotifier().ShowMessage(QString::fromLatin1(text));
        return;
    }
    const QString port = QString::fromLatin1(portName);
    // The receive loop and Detect must not share the line.
    connection_->LetGo();
    LinkStopped();
    detector_ = new BaudDetector(portName, connection_->Codes(), this);
    const int tries = static_cast<int>(DetectOrder().size());
    // Not modal: the windows keep painting and "stop" stays in reach.
    detectDialog_ = new QProgressDialog(QString(), QStringLiteral("Cancel"), 0, tries, this);
    detectDialog_->setObjectName(QStringLiteral("DetectDialog"));
    detectDialog_->setWindowTitle(QStringLiteral("Detect"));
    detectDialog_->setAutoClose(false);
    detectDialog_->setAutoReset(false);
    detectDialog_->setMinimumDuration(0);
    connect(detectDialog_, &QProgressDialog::canceled, detector_, &BaudDetector::Cancel);
    connect(detector_, &BaudDetector::Trying, this, [this, port](int, int bitsPerSecond) {
        detectDialog_->setLabelText(
            QStringLiteral("Listening on %1 at %2 bit/s...").arg(port).arg(bitsPerSecond));
        detectDialog_->setValue(detectDialog_->value() + 1);
    });
    connect(detector_, &BaudDetector::Finished, this,
            [this, port](int code, bool cancelled) { DetectFinished(code, cancelled, port); });
    detectDialog_->setValue(0);
    detectDialog_->show();
    detector_->Start();
}

void TMainForm::FindReceiverClick() {
    std::error_code ec;
    auto* dialog =
        new FindReceiverDialog(deviceRoots_, std::filesystem::current_path(ec).string(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &FindReceiverDialog::PortLinked, this, [this](int portNumber) {
        // Chosen as the user would, so the start and Quillmar.aon go the usual way.
        SelectPortIndex(portNumber - 1);
        connection_->Start();
        LinkStarted();
    });
    dialog->open();
}

void TMainForm::DetectFinished(int baudCode, bool cancelled, const QString& port) {
    detectDialog_->deleteLater();
    detectDialog_ = nullptr;
    detector_->deleteLater();
    detector_ = nullptr;
    if (startAfterDetect_) {
        // The user chose a port or pressed "GO" meanwhile: that start wins.
        startAfterDetect_ = false;
        connection_->Start();
        LinkStarted();
        return;
    }
    if (baudCode >= 0) {
        for (QAction* item : LineSettingMenu(LineMenu::BaudRate)->actions())
            if (item->isCheckable() && item->data().toInt() == baudCode)
                LineMenuClick(LineMenu::BaudRate, item);
        connection_->Start();
        LinkStarted();
        return;
    }
    if (!cancelled)
        CurrentNotifier().ShowMessage(
            QStringLiteral("No NMEA sentences on %1 at any baud rate.\n"
                           "Check the wiring and that the receiver has power, or try another "
                           "port.")
                .arg(port));
}

void TMainForm::SetUTCTimeSpeedButtonClick() {
    ApplyLook(SetUTCTimeSpeedButton, status_->ToggleClockSetting());
}

void TMainForm::SoundSpeedButtonClick() {
    ApplyLook(SoundSpeedButton, status_->ToggleSound());
}

void TMainForm::SendBitBtnClick() {
    commands_->Send(Cmd_ComboBox->currentText().toLatin1().toStdString());
}

void TMainForm::DatumsComboBoxChange(int index) {
    cascade_->DatumChanged(index);
}

void TMainForm::ZoneComboBoxChange() {
    cascade_->ZoneChanged(ZoneComboBox->currentText().toStdString());
}

void TMainForm::CountryComboBoxChange() {
    cascade_->CountryChanged(CountryComboBox->currentText().toStdString());
}

void TMainForm::CityComboBoxChange() {
    cascade_->PlaceChanged(CityComboBox->currentText().toStdString(),
                           CountryComboBox->currentText().toStdString(),
                           AltitudeEdit->text().toStdString());
}

void TMainForm::Cmd_ComboBoxChange() {
    // Only the user's changes cancel a pending warm restart.
    commands_->SetRestartBeforeSend(false);
}

int TMainForm::SelectedPortIndex() const {
    return ComPortComboBox->currentIndex();
}

void TMainForm::SelectPortIndex(int index) {
    ComPortComboBox->setCurrentIndex(index >= 0 && index < ComPortComboBox->count() ? index : -1);
}

void TMainForm::SetGoEnabled(bool enabled) {
    StartComSpeedButton->setEnabled(enabled);
}

void TMainForm::SetShowTimerEnabled(bool enabled) {
    // Enabling a running timer leaves its phase alone.
    if (!enabled)
        ShowTimer->stop();
    else if (!ShowTimer->isActive())
        ShowTimer->start();
}

void TMainForm::MarkLineItem(LineMenu menu, int32_t code) {
    for (QAction* action : LineSettingMenu(menu)->actions()) {
        if (action->isCheckable() && action->data().toInt() == code) {
            action->setChecked(true);
            return;
        }
    }
}

void TMainForm::ShowCurrentTime(const std::string& text) {
    // The text ends in a line feed; a one-line edit shows it without.
    std::string_view shown = text;
    if (!shown.empty() && shown.back() == '\n')
        shown.remove_suffix(1);
    CurrentTimeEdit->setText(
        QString::fromLatin1(shown.data(), static_cast<qsizetype>(shown.size())));
    CurrentTimeEdit->setCursorPosition(0);
}

void TMainForm::ShowFixTime(const std::string& text) {
    FixTimeEdit->setText(QString::fromLatin1(text));
    FixTimeEdit->setCursorPosition(0);
}

void TMainForm::SetCountryItems(const std::vector<std::string>& items) {
    SetBoxItems(CountryComboBox, ToQStrings(items), CountryComboBox->currentText());
}

void TMainForm::SetCityItems(const std::vector<std::string>& items) {
    SetBoxItems(CityComboBox, ToQStrings(items), CityComboBox->currentText());
}

void TMainForm::SetCountryText(const std::string& text) {
    CountryComboBox->setEditText(QString::fromLatin1(text));
}

void TMainForm::SetCityText(const std::string& text) {
    CityComboBox->setEditText(QString::fromLatin1(text));
}

void TMainForm::SetCommandText(const std::string& text) {
    Cmd_ComboBox->setEditText(QString::fromLatin1(text));
}
