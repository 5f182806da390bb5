// Cost of Portavel's transfer calls on a pseudo-terminal, in microseconds:
// a read of 1 and of 1023 bytes that are already waiting, and a 21-byte
// command write. Preparing the bytes happens outside the timed part.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

#include "portavel.h"

namespace {

struct BenchPort {
    int master = -1;
    int slave = -1;
    HANDLE handle = nullptr;
    std::string dir;

    BenchPort() {
        char name[128];
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
            std::abort();
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quillmar-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr || chdir(pattern.c_str()) != 0 ||
            symlink(name, "COM1") != 0)
            std::abort();
        dir = pattern;
        char port[8];
        if (SetComPort_WIN(1, port) != QVX_SUCCESS ||
            InitRs232_WIN(port, &handle, 6, 3, 1, 0) != QVX_SUCCESS)
            std::abort();
        Set_TimeOut_WIN(handle, 0, 0, 1000, 5, 10);
    }
    ~BenchPort() {
        RsClose_WIN(handle);
        close(master);
        close(slave);
        std::filesystem::remove_all(dir);
    }

    // Puts count bytes into the port's input queue and waits until all are there.
    void Queue(const unsigned char* bytes, size_t count) const {
        for (size_t done = 0; done < count;) {
            const ssize_t n = write(master, bytes + done, count - done);
            if (n > 0)
                done += static_cast<size_t>(n);
        }
        for (int queued = 0; queued < static_cast<int>(count);) {
            ioctl(slave, FIONREAD, &queued);
            if (queued < static_cast<int>(count))
                usleep(50);
        }
    }
    void Drain() const {
        char sink[4096];
        pollfd p{master, POLLIN, 0};
        while (poll(&p, 1, 0) > 0 && read(master, sink, sizeof sink) > 0) {
        }
    }
};

BenchPort& Port() {
    static BenchPort port;
    return port;
}

void BM_RsReceiveWaiting(benchmark::State& state) {
    const auto count = static_cast<DWORD>(state.range(0));
    unsigned char out[1024];
    unsigned char in[1024];
    for (DWORD i = 0; i < count; ++i)
        out[i] = static_cast<unsigned char>('A' + i % 26);
    DWORD got = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Port().Queue(out, count);
        state.ResumeTiming();
        if (RsReceive_WIN(Port().handle, count, &got, in) != QVX_SUCCESS || got != count)
            state.SkipWithError("short read");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * count);
}
BENCHMARK(BM_RsReceiveWaiting)->Arg(1)->Arg(1023)->Unit(benchmark::kMicrosecond);

void BM_RsRequest21(benchmark::State& state) {
    const unsigned char command[] = "$PXEMSNM,1,1,1,1*2A\r\n";
    for (auto _ : state) {
        if (RsRequest_WIN(Port().handle, 21, command) != QVX_SUCCESS)
            state.SkipWithError("write failed");
        state.PauseTiming();
        Port().Drain();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_RsRequest21)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
