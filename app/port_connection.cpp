#include "port_connection.h"

#include <QString>
#include <optional>

#include "notifier.h"
#include "receiver_state.h"
#include "settings_file.h"
#include "status_code_name.h"
#include "trace_file.h"

namespace {

void ShowStatusMessage(int status) {
    char text[32];
    StatusCodeName(status, text);
    CurrentNotifier().ShowMessage(QString::fromLatin1(text));
}

} // namespace

PortConnection::PortConnection(ConnectionWindow& window, TraceFile& trace,
                               std::function<void()> stopped, std::function<void()> ending)
    : window_(window), trace_(trace), stopped_(std::move(stopped)), ending_(std::move(ending)) {}

void PortConnection::Ending() {
    if (ending_)
        ending_();
}

// The port and the loop belong to the program's run: closing the window
// stops the connection before this, and a test that forgets it still must
// not leave a loop reading a port that nobody will close.
PortConnection::~PortConnection() {
    StopReceiveLoop();
    if (state_ != ConnectionState::Idle)
        RsClose_WIN(handle_);
}

void PortConnection::Enter(ConnectionState next, HANDLE handle) {
    state_ = next;
    handle_ = next == ConnectionState::Idle ? nullptr : handle;
}

void PortConnection::StopReceiveLoop() {
    // No waiting here: the loop ends after its cycle, and closing its port
    // makes that cycle's reads fail at once.
    if (receiveLoop_)
        receiveLoop_->StopBeforePortCloses();
    receiveLoop_.clear();
}

void PortConnection::Start() {
    ++startAttempts_;
    Ending();
    window_.SetGoEnabled(false);
    StopReceiveLoop();
    // The port held goes whatever its close says: another one follows.
    const bool letPortGo = state_ != ConnectionState::Idle;
    if (letPortGo) {
        RsClose_WIN(handle_);
        Enter(ConnectionState::Idle);
    }
    // No batch comes any more: what the last one said (a fix, a time) must
    // not go on beeping or setting the clock, as for an unplugged receiver.
    auto forgetReceiver = [letPortGo] {
        if (letPortGo)
            StoreBatch(nullptr, 0);
    };

    const int portIndex = window_.SelectedPortIndex();
    char portName[10] = {};
    int status = SetComPort_WIN(portIndex + 1, portName);
    lastStartStatus_ = status;
    if (status != 0) {
        forgetReceiver();
        ShowStatusMessage(status);
        return;
    }
    HANDLE opened = nullptr;
    status = InitRs232_WIN(portName, &opened, static_cast<unsigned>(codes_.baudRate),
                           codes_.dataBits, static_cast<unsigned>(codes_.parity), codes_.stopBits);
    lastStartStatus_ = status;
    if (status != 0) {
        if (opened != nullptr && opened != INVALID_HANDLE_VALUE)
            Enter(ConnectionState::Refused, opened);
        forgetReceiver();
        ShowStatusMessage(status);
        window_.SetShowTimerEnabled(false);
        return;
    }
    Enter(ConnectionState::Open, opened);

    SaveSettings(portIndex);
    trace_.Line("Use Thread To Receive!!!\r\n");
    // The new loop copies the handle into Com_SR_Buf itself once the old loop
    // has ended, so only one loop ever uses Com_SR_Buf and the state.
    receiveLoop_ = new TavrelGpsThread(handle_);
    window_.SetShowTimerEnabled(true);
}

void PortConnection::Stop() {
    // Before the trace closes, so what the hook traces is kept.
    Ending();
    StopReceiveLoop();
    trace_.Close();
    if (state_ != ConnectionState::Idle) {
        const int status = RsClose_WIN(handle_);
        if (status == 0) {
            Enter(ConnectionState::Idle);
        } else {
            Enter(ConnectionState::CloseFailed, handle_);
            char text[32];
            StatusCodeName(status, text);
            CurrentNotifier().MessageBox(QString::fromLatin1(text),
                                         QStringLiteral("Quillmar Skyvane"));
        }
    }
    // Nothing is received any more: the windows show no data and SAVE has
    // nothing to write, as when a receiver goes away.
    StoreBatch(nullptr, 0);
    stopped_();
    window_.SetShowTimerEnabled(false);
}

void PortConnection::ChooseLineItem(LineMenu menu, const std::string& caption) {
    const int32_t code = LineMenuCode(menu, caption);
    const char* name = "";
    switch (menu) {
    case LineMenu::BaudRate:
        codes_.baudRate = code;
        name = "iBaudRate";
        break;
    case LineMenu::StopBits:
        codes_.stopBits = code;
        name = "iStopBits";
        break;
    case LineMenu::Parity:
        codes_.parity = code;
        name = "iParity";
        break;
    case LineMenu::DataBits:
        codes_.dataBits = code;
        name = "iDataBits";
        break;
    }
    trace_.Line("%s By Set, %s = %d\r\n", caption.c_str(), name, static_cast<int>(code));
}

void PortConnection::MarkLineCodes() {
    window_.MarkLineItem(LineMenu::BaudRate, codes_.baudRate);
    window_.MarkLineItem(LineMenu::DataBits, codes_.dataBits);
    window_.MarkLineItem(LineMenu::Parity, codes_.parity);
    window_.MarkLineItem(LineMenu::StopBits, codes_.stopBits);
}

void PortConnection::LoadSettings() {
    const std::optional<UserSettings> settings = ReadSettingsFile();
    if (!settings) {
        // First start: the start values, marked; no port is opened.
        MarkLineCodes();
        return;
    }
    // A cut or corrupt file holds codes the library does not know; what the
    // line gets is what is marked and saved, so a save never writes them back.
    codes_ = CodesInForce(settings->codes);
    window_.SelectPortIndex(settings->portIndex);
    MarkLineCodes();
    Start();
}

void PortConnection::SaveSettings(int portIndex) {
    if (!WriteSettingsFile({portIndex, codes_}))
        CurrentNotifier().MessageBox(QStringLiteral("Can not Save User Setting"),
                                     QStringLiteral("Quillmar"));
}
