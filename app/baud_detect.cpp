#include "baud_detect.h"

#include <algorithm>
#include <time.h>

#include "line_settings.h"
#include "nmea_checksum.h"
#include "portavel.h"

namespace {

// A read this long at most, so that a cancel is seen soon.
constexpr DWORD kReadMs = 50;
// A burst has ended once the line was quiet this long.
constexpr int kQuietMs = 250;
// Below this share of printable bytes a burst is no text at this rate.
constexpr double kTextShare = 0.9;

int64_t NowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

bool Printable(unsigned char c) {
    return (c >= 0x20 && c < 0x7F) || c == '\r' || c == '\n';
}

} // namespace

std::vector<int32_t> DetectOrder() {
    std::vector<int32_t> order = {9, 1, 3, 4, 5, 6}; // 4800 .. 115200
    for (const LineMenuItem& item : LineMenuItems(LineMenu::BaudRate))
        if (std::find(order.begin(), order.end(), item.code) == order.end())
            order.push_back(item.code);
    return order;
}

int BitsPerSecond(int32_t baudCode) {
    return static_cast<int>(portavel::BaudRateForIndex(static_cast<unsigned>(baudCode)));
}

int CountGoodLines(std::string_view bytes) {
    int good = 0;
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t end = bytes.find('\n', at);
        if (end == std::string_view::npos)
            break; // a line still arriving counts once it has ended
        std::string_view line = bytes.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::size_t dollar = line.rfind('$');
        if (dollar != std::string_view::npos && HasGoodChecksum(line.substr(dollar)))
            ++good;
    }
    return good;
}

Hearing Listen(const ReadSome& read, int maxMs, const std::atomic<bool>& cancelled) {
    Hearing heard;
    std::string bytes;
    int printable = 0;
    const int64_t start = NowMs();
    int64_t lastByte = -1;
    unsigned char buffer[512];
    while (!cancelled && NowMs() - start < maxMs) {
        const int got = read(buffer, sizeof buffer);
        if (got < 0)
            break; // the device went away
        if (got > 0) {
            bytes.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(got));
            printable += static_cast<int>(std::count_if(buffer, buffer + got, Printable));
            lastByte = NowMs();
            heard.goodLines = CountGoodLines(bytes);
            if (heard.goodLines >= 2)
                break;
        } else if (lastByte >= 0 && NowMs() - lastByte >= kQuietMs && heard.goodLines == 0 &&
                   printable < kTextShare * static_cast<double>(bytes.size())) {
            break; // a whole burst of no text: the wrong rate
        }
    }
    heard.bytes = static_cast<uint32_t>(bytes.size());
    heard.kind = heard.goodLines >= 2 ? Hearing::Nmea
                 : bytes.empty()      ? Hearing::Nothing
                                      : Hearing::OtherBytes;
    return heard;
}

Hearing ListenAt(const std::string& portName, const LineCodes& codes, int maxMs,
                 const std::atomic<bool>& cancelled, int* openStatus) {
    char name[10] = {};
    portName.copy(name, sizeof name - 1);
    HANDLE port = nullptr;
    const int status =
        InitRs232_WIN(name, &port, static_cast<unsigned>(codes.baudRate), codes.dataBits,
                      static_cast<unsigned>(codes.parity), codes.stopBits);
    if (openStatus != nullptr)
        *openStatus = status;
    if (status != 0) {
        if (port != nullptr && port != INVALID_HANDLE_VALUE)
            RsClose_WIN(port);
        return {};
    }
    // Returns after kReadMs with what came, or as soon as a short gap follows bytes.
    Set_TimeOut_WIN(port, 20, 0, kReadMs, 0, 0);
    const Hearing heard = Listen(
        [port](unsigned char* into, std::size_t room) {
            DWORD got = 0;
            if (RsReceive_WIN(port, static_cast<DWORD>(room), &got, into) ==
                QVX_COMPORT_RECEIVE_ERR)
                return -1;
            return static_cast<int>(got);
        },
        maxMs, cancelled);
    RsClose_WIN(port);
    return heard;
}

BaudDetector::BaudDetector(std::string portName, LineCodes codes, QObject* parent)
    : BaudDetector(
          [portName = std::move(portName), codes](int32_t code,
                                                  const std::atomic<bool>& cancelled) {
              LineCodes at = codes;
              at.baudRate = code;
              return ListenAt(portName, at, kListenMs, cancelled);
          },
          parent) {}

BaudDetector::BaudDetector(ListenFunction listen, QObject* parent)
    : QObject(parent), listen_(std::move(listen)) {}

BaudDetector::~BaudDetector() {
    Cancel();
    if (thread_.joinable())
        thread_.join();
}

void BaudDetector::Start() {
    if (running_)
        return;
    running_ = true;
    cancelled_ = false;
    thread_ = std::thread([this] { Run(); });
}

void BaudDetector::Cancel() {
    cancelled_ = true;
}

void BaudDetector::Run() {
    int found = -1;
    bool heardBytes = false;
    for (int32_t code : DetectOrder()) {
        if (cancelled_)
            break;
        emit Trying(code, BitsPerSecond(code));
        const Hearing heard = listen_(code, cancelled_);
        heardBytes = heardBytes || heard.kind != Hearing::Nothing;
        if (heard.kind == Hearing::Nmea) {
            found = code;
            break;
        }
    }
    const bool cancelled = cancelled_ && found < 0;
    // Queued to the detector's thread, where running_ is read.
    QMetaObject::invokeMethod(
        this,
        [this, found, cancelled, heardBytes] {
            if (thread_.joinable())
                thread_.join();
            running_ = false;
            emit Finished(found, cancelled, heardBytes);
        },
        Qt::QueuedConnection);
}
