#include "port_connection.h"

#include <QString>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "notifier.h"
#include "status_code_name.h"
#include "status_timer.h"
#include "trace_file.h"

namespace {

constexpr std::array<LineMenuItem, 9> kBaudRateItems{{
    {"1200 bps", 0},
    {"2400 bps", 8},
    {"4800 bps", 9},
    {"9600 bps", 1},
    {"14400 bps", 2},
    {"19200 bps", 3},
    {"38400 bps", 4},
    {"57600 bps", 5},
    {"115200 bps", 6},
}};
constexpr std::array<LineMenuItem, 3> kStopBitsItems{{
    {"1 stop bit", 0},
    {"1.5 stop bits", 1},
    {"2 stop bits", 2},
}};
constexpr std::array<LineMenuItem, 5> kParityItems{{
    {"Even Parity", 0},
    {"No Parity", 1},
    {"Odd Parity", 2},
    {"Mark Parity", 3},
    {"Space Parity", 4},
}};
constexpr std::array<LineMenuItem, 4> kDataBitsItems{{
    {"5 Bits", 0},
    {"6 Bits", 1},
    {"7 Bits", 2},
    {"8 Bits", 3},
}};

bool HandleOpen(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

// A mode with no write bit at all is read-only even for root, who would
// otherwise write through it.
bool HasWriteBits(mode_t mode) {
    return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

std::span<const LineMenuItem> LineMenuItems(LineMenu menu) {
    switch (menu) {
    case LineMenu::BaudRate:
        return kBaudRateItems;
    case LineMenu::StopBits:
        return kStopBitsItems;
    case LineMenu::Parity:
        return kParityItems;
    case LineMenu::DataBits:
        return kDataBitsItems;
    }
    return {};
}

int32_t LineMenuFallback(LineMenu menu) {
    switch (menu) {
    case LineMenu::BaudRate:
        return 1;
    case LineMenu::StopBits:
        return 0;
    case LineMenu::Parity:
        return 1;
    case LineMenu::DataBits:
        return 3;
    }
    return 0;
}

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
    int32_t code = LineMenuFallback(menu);
    for (const LineMenuItem& item : LineMenuItems(menu)) {
        if (caption == item.caption) {
            code = item.code;
            break;
        }
    }
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
    char buffer[128] = {};
    std::FILE* file = std::fopen(kSettingsFileName, "rb");
    if (file == nullptr) {
        // First start: the start values, marked; no port is opened.
        SetMenuCheckedClick();
        return;
    }
    if (std::fgets(buffer, sizeof buffer, file) == nullptr)
        buffer[0] = '\0';
    std::fclose(file);

    // Fixed byte positions, unchecked: a missing byte reads as zero, i.e. -48.
    const int portIndex = buffer[0] - '0';
    BaudRateCode = buffer[2] - '0';
    DataBitsCode = buffer[4] - '0';
    ParityCode = buffer[6] - '0';
    StopBitsCode = buffer[8] - '0';

    window_.SelectPortIndex(portIndex);
    SetMenuCheckedClick();
    StartConnection();
}

std::string SettingsText(int portIndex, int32_t baudRate, int32_t dataBits, int32_t parity,
                         int32_t stopBits) {
    char text[64];
    std::snprintf(text, sizeof text, "%d %d,%d,%d,%d,", portIndex, static_cast<int>(baudRate),
                  static_cast<int>(dataBits), static_cast<int>(parity), static_cast<int>(stopBits));
    return text;
}

bool PortConnection::SaveSettings(int portIndex) {
    const std::string text =
        SettingsText(portIndex, BaudRateCode, DataBitsCode, ParityCode, StopBitsCode);
    if (ReplaceFileSafely(kSettingsFileName, text))
        return true;
    CurrentNotifier().MessageBox(QStringLiteral("Can not Save User Setting"),
                                 QStringLiteral("Quillmar"));
    return false;
}

bool ReplaceFileSafely(const std::string& path, const std::string& bytes) {
    namespace fs = std::filesystem;
    std::error_code ec;
    // Through a link, the file it leads to is the one to replace.
    fs::path target = path;
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::canonical(target, ec);
        if (!ec)
            target = resolved;
    }
    fs::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";

    mode_t mode = 0666;
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode) || ::access(target.c_str(), W_OK) != 0 ||
            !HasWriteBits(existing.st_mode))
            return false;
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    struct stat dir {};
    if (::stat(folder.c_str(), &dir) != 0 || !S_ISDIR(dir.st_mode) ||
        ::access(folder.c_str(), W_OK | X_OK) != 0 || !HasWriteBits(dir.st_mode))
        return false;

    // Write beside it, make it durable, then swap it in whole.
    std::string temp = (folder / (target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, bytes) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    // The rename itself must reach the disk too.
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}
