#include "port_connection.h"

#include <QString>

#include "notifier.h"
#include "settings_file.h"
#include "status_code_name.h"
#include "status_timer.h"
#include "trace_file.h"

namespace {

bool HandleOpen(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

} // namespace

PortConnection::PortConnection(ConnectionWindow& window, StatusTimer& status, TraceFile& trace)
    : window_(window), status_(status), trace_(trace) {}

// The port and the thread belong to the program's run: closing the window
// runs StopConnection before this, and a test that forgets it still must not
// leave a loop reading a port that nobody will close.
PortConnection::~PortConnection() {
    StopReceiveThread();
    if (PortOpen())
        RsClose_WIN(MainPortHandle);
}

bool PortConnection::PortOpen() const {
    return HandleOpen(MainPortHandle);
}

void PortConnection::StopReceiveThread() {
    // No waiting here: the loop ends after its cycle, and closing its port
    // makes that cycle's reads fail at once.
    if (ReceiveThread)
        ReceiveThread->requestInterruption();
    ReceiveThread.clear();
}

void PortConnection::ShowStatus() {
    StatusCodeName(LastPortStatus, StatusText);
    CurrentNotifier().ShowMessage(QString::fromLatin1(StatusText));
}

void PortConnection::StartConnection() {
    window_.SetGoEnabled(false);
    StopReceiveThread();
    if (PortOpen()) {
        LastPortStatus = RsClose_WIN(MainPortHandle);
        MainPortHandle = nullptr;
    }

    const int portIndex = window_.SelectedPortIndex();
    LastPortStatus = SetComPort_WIN(portIndex + 1, PortName);
    if (LastPortStatus != 0) {
        ShowStatus();
        return;
    }
    LastPortStatus = InitRs232_WIN(PortName, &MainPortHandle, static_cast<unsigned>(BaudRateCode),
                                   DataBitsCode, static_cast<unsigned>(ParityCode), StopBitsCode);
    if (LastPortStatus != 0) {
        ShowStatus();
        window_.SetShowTimerEnabled(false);
        return;
    }

    SaveSettings(portIndex);

    trace_.Line("Use Thread To Receive!!!\r\n");
    // The new loop copies the handle into Com_SR_Buf itself once the old loop
    // has ended, so only one loop ever uses Com_SR_Buf and the state.
    ReceiveThread = new TavrelGpsThread(MainPortHandle);
    window_.SetShowTimerEnabled(true);
}

void PortConnection::StopConnection() {
    StopReceiveThread();
    trace_.Close();
    if (PortOpen()) {
        LastPortStatus = RsClose_WIN(MainPortHandle);
        if (LastPortStatus != 0) {
            // The handle stays, so that the next start or stop tries again.
            StatusCodeName(LastPortStatus, StatusText);
            CurrentNotifier().MessageBox(QString::fromLatin1(StatusText),
                                         QStringLiteral("Quillmar Skyvane"));
        } else {
            MainPortHandle = nullptr;
        }
    }
    status_.ResetFixTimeClock();
    window_.SetShowTimerEnabled(false);
}

int32_t PortConnection::LineMenuClick(LineMenu menu, const std::string& caption) {
    const int32_t code = LineMenuCode(menu, caption);
    const char* format = "";
    switch (menu) {
    case LineMenu::BaudRate:
        BaudRateCode = code;
        format = "%s By Set, iBaudRate = %d\r\n";
        break;
    case LineMenu::StopBits:
        StopBitsCode = code;
        format = "%s By Set, iStopBits = %d\r\n";
        break;
    case LineMenu::Parity:
        ParityCode = code;
        format = "%s By Set, iParity = %d\r\n";
        break;
    case LineMenu::DataBits:
        DataBitsCode = code;
        format = "%s By Set, iDataBits = %d\r\n";
        break;
    }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    trace_.Line(format, caption.c_str(), static_cast<int>(code));
#pragma GCC diagnostic pop
    return code;
}

void PortConnection::SetMenuCheckedClick() {
    window_.MarkLineItem(LineMenu::BaudRate, BaudRateCode);
    window_.MarkLineItem(LineMenu::DataBits, DataBitsCode);
    window_.MarkLineItem(LineMenu::Parity, ParityCode);
    window_.MarkLineItem(LineMenu::StopBits, StopBitsCode);
}

void PortConnection::LoadSettings() {
    const std::optional<UserSettings> settings = ReadSettingsFile();
    if (!settings) {
        // First start: the start values, marked; no port is opened.
        SetMenuCheckedClick();
        return;
    }
    BaudRateCode = settings->codes.baudRate;
    DataBitsCode = settings->codes.dataBits;
    ParityCode = settings->codes.parity;
    StopBitsCode = settings->codes.stopBits;

    window_.SelectPortIndex(settings->portIndex);
    SetMenuCheckedClick();
    StartConnection();
}

bool PortConnection::SaveSettings(int portIndex) {
    if (WriteSettingsFile({portIndex, {BaudRateCode, DataBitsCode, ParityCode, StopBitsCode}}))
        return true;
    CurrentNotifier().MessageBox(QStringLiteral("Can not Save User Setting"),
                                 QStringLiteral("Quillmar"));
    return false;
}
