#include "port_connection.h"

#include <QCoreApplication>
#include <QString>
#include <QTimer>
#include <cstring>
#include <optional>
#include <sys/stat.h>

#include "notifier.h"
#include "port_name.h"
#include "port_presence.h"
#include "port_trouble.h"
#include "receiver_state.h"
#include "settings_file.h"
#include "status_code_name.h"
#include "trace_file.h"

namespace {

QString StatusName(int status) {
    char text[32];
    StatusCodeName(status, text);
    return QString::fromLatin1(text);
}

} // namespace

PortConnection::PortConnection(ConnectionWindow& window, TraceFile& trace,
                               std::function<void()> stopped, std::function<void()> ending)
    : window_(window), trace_(trace), stopped_(std::move(stopped)), ending_(std::move(ending)),
      events_(std::make_unique<ConnectionEvents>()), look_(std::make_unique<QTimer>()) {
    look_->setInterval(kLookMs);
    QObject::connect(look_.get(), &QTimer::timeout, events_.get(), [this] { LookForReceiver(); });
}

bool PortConnection::HoldsPort() const {
    return state_ == ConnectionState::Open || state_ == ConnectionState::Refused ||
           state_ == ConnectionState::CloseFailed;
}

void PortConnection::ShowStartFailure(int status, int portNumber) {
    const QString name = StatusName(status);
    QString explanation;
    // A number error names no device: there is nothing to ask the system.
    if (status != QVX_COMPORT_NUMBER_ERR)
        explanation = QString::fromStdString(
            DescribePortTrouble(ProbePort("COM" + std::to_string(portNumber))));
    CurrentNotifier().ShowMessage(explanation.isEmpty() ? name : name + '\n' + explanation);
    emit events_->StartFailed(name, explanation);
}

void PortConnection::Ending() {
    if (ending_)
        ending_();
}

// The port and the loop belong to the program's run: closing the window
// stops the connection before this, and a test that forgets it still must
// not leave a loop reading a port that nobody will close.
PortConnection::~PortConnection() {
    StopReceiveLoop();
    if (HoldsPort())
        RsClose_WIN(handle_);
}

void PortConnection::Enter(ConnectionState next, HANDLE handle) {
    state_ = next;
    handle_ = next == ConnectionState::Idle || next == ConnectionState::Lost ? nullptr : handle;
    if (next == ConnectionState::Lost)
        look_->start();
    else
        look_->stop();
}

void PortConnection::StopReceiveLoop() {
    // No waiting here: the loop ends after its cycle, and closing its port
    // makes that cycle's reads fail at once.
    if (receiveLoop_)
        receiveLoop_->StopBeforePortCloses();
    receiveLoop_.clear();
    ++loopGeneration_;
}

void PortConnection::Start() {
    ++startAttempts_;
    Ending();
    window_.SetGoEnabled(false);
    StopReceiveLoop();
    // The port held goes whatever its close says: another one follows.
    const bool letPortGo = HoldsPort();
    if (letPortGo)
        RsClose_WIN(handle_);
    Enter(ConnectionState::Idle);
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
        ShowStartFailure(status, portIndex + 1);
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
        ShowStartFailure(status, portIndex + 1);
        window_.SetShowTimerEnabled(false);
        return;
    }
    Enter(ConnectionState::Open, opened);
    std::memcpy(portName_, portName, sizeof portName_);
    struct stat entry {};
    viaEntry_ = lstat(portName_, &entry) == 0;

    SaveSettings(portIndex);
    trace_.Line("Use Thread To Receive!!!\r\n");
    StartReceiveLoop();
    window_.SetShowTimerEnabled(true);
    emit events_->Started(QString::fromLatin1(portName_));
}

void PortConnection::StartReceiveLoop() {
    // The new loop copies the handle into Com_SR_Buf itself once the old loop
    // has ended, so only one loop ever uses Com_SR_Buf and the state.
    const uint64_t generation = loopGeneration_;
    const std::weak_ptr<void> alive = alive_;
    // Called on the loop's thread, which may outlive this connection; the
    // rest is done on this thread, and only while the connection exists. A
    // loss reported by a loop that was asked to stop meanwhile is old news.
    receiveLoop_ = new TavrelGpsThread(handle_, [this, alive, generation] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [this, alive, generation] {
                if (alive.lock())
                    ReceiverLost(generation);
            },
            Qt::QueuedConnection);
    });
}

void PortConnection::ReceiverLost(uint64_t generation) {
    if (state_ != ConnectionState::Open || generation != loopGeneration_)
        return;
    // The loop has ended by itself; its handle leads nowhere any more.
    receiveLoop_.clear();
    RsClose_WIN(handle_);
    Enter(ConnectionState::Lost);
    trace_.Line("Receiver lost on %s, waiting for it to return\r\n", portName_);
    emit events_->ReceiverLost(QString::fromLatin1(portName_));
}

void PortConnection::LookForReceiver() {
    if (state_ != ConnectionState::Lost)
        return;
    // Only what the name led to counts: a COMn link that is gone must not
    // send the look on to the /dev/ttyS node the name would otherwise mean.
    const std::string path =
        viaEntry_ ? std::string(portName_) : portavel::ResolvePortPath(portName_);
    if (path.empty() || !LeadsToCharacterDevice(path))
        return;
    HANDLE opened = nullptr;
    const int status =
        InitRs232_WIN(portName_, &opened, static_cast<unsigned>(codes_.baudRate), codes_.dataBits,
                      static_cast<unsigned>(codes_.parity), codes_.stopBits);
    if (status != 0) {
        // Not ready yet (its permissions still being set, say): the next look tries again.
        if (opened != nullptr && opened != INVALID_HANDLE_VALUE)
            RsClose_WIN(opened);
        return;
    }
    Enter(ConnectionState::Open, opened);
    trace_.Line("Receiver back on %s\r\n", portName_);
    StartReceiveLoop();
    emit events_->ReceiverBack(QString::fromLatin1(portName_));
}

void PortConnection::Stop() {
    // Before the trace closes, so what the hook traces is kept.
    Ending();
    StopReceiveLoop();
    trace_.Close();
    if (state_ == ConnectionState::Lost)
        Enter(ConnectionState::Idle); // the waiting ends here; no port to close
    if (HoldsPort()) {
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

void PortConnection::LetGo() {
    Ending();
    StopReceiveLoop();
    const bool held = HoldsPort();
    if (held)
        RsClose_WIN(handle_);
    Enter(ConnectionState::Idle);
    if (held)
        StoreBatch(nullptr, 0);
    window_.SetShowTimerEnabled(false);
    window_.SetGoEnabled(true);
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
