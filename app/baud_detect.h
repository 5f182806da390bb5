// Finding a receiver's line speed: listen at one rate after another and take
// the first at which whole NMEA sentences arrive. Listening never writes.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "line_menus.h"

// The baud-rate codes in the order they are tried: the rates receivers
// usually run at first, slowest first, then the rest of the menu.
std::vector<int32_t> DetectOrder();
// Bits per second of a baud-rate code (9600 for one the library does not know).
int BitsPerSecond(int32_t baudCode);

// Lines of `bytes` that hold a whole sentence with a checksum that holds
// (whatever came before its '$' on the line, such as a cut earlier one).
int CountGoodLines(std::string_view bytes);

// What listening at one rate heard.
struct Hearing {
    enum Kind { Nothing, OtherBytes, Nmea };
    Kind kind = Nothing;
    int goodLines = 0;
    uint32_t bytes = 0;
};

// One read of what has arrived: at most `room` bytes into `into`, waiting up
// to a few tens of milliseconds; -1 when the device failed.
using ReadSome = std::function<int(unsigned char* into, std::size_t room)>;

// Listens through `read` for at most `maxMs`; stops early once two good lines
// came, or once a burst that is plainly no text has ended. `cancelled` is
// looked at between reads.
Hearing Listen(const ReadSome& read, int maxMs, const std::atomic<bool>& cancelled);

// Listens on `portName` ("COM3") through the serial library at the codes'
// rate. A port that does not open hears Nothing and `openStatus` gets the status.
Hearing ListenAt(const std::string& portName, const LineCodes& codes, int maxMs,
                 const std::atomic<bool>& cancelled, int* openStatus = nullptr);

// Listens on a device node at `bitsPerSecond`, 8N1, opened read-only so that
// nothing is ever written to it. One that does not open hears Nothing and
// `openError` gets the errno.
Hearing ListenOnDevice(const std::string& path, int bitsPerSecond, int maxMs,
                       const std::atomic<bool>& cancelled, int* openError = nullptr);

// Runs the tries on a thread of its own; its signals arrive queued on the
// thread the detector lives in. Destroying it cancels and waits.
class BaudDetector : public QObject {
    Q_OBJECT
public:
    static constexpr int kListenMs = 1500;
    // Listens at one rate (a baud-rate code).
    using ListenFunction = std::function<Hearing(int32_t baudCode, const std::atomic<bool>&)>;

    // Through the serial library, on COMn with the other codes as given.
    BaudDetector(std::string portName, LineCodes codes, QObject* parent = nullptr);
    BaudDetector(ListenFunction listen, QObject* parent = nullptr);
    ~BaudDetector() override;

    void Start();
    // Ends the tries soon (within one short read); Finished still comes.
    void Cancel();
    bool Running() const { return running_; }

signals:
    void Trying(int baudCode, int bitsPerSecond);
    // baudCode -1: no rate brought sentences (or cancelled); heardBytes: some
    // rate brought bytes, if no sentences.
    void Finished(int baudCode, bool cancelled, bool heardBytes = false);

private:
    void Run();

    ListenFunction listen_;
    std::atomic<bool> cancelled_{false};
    bool running_ = false;
    std::thread thread_;
};
