#include "uart_mismatch.h"

#include <algorithm>
#include <vector>

#include "sim_random.h"

std::string MismatchedUart(const std::string& sent, int sentBaud, int readBaud, uint64_t seed) {
    if (sentBaud <= 0 || readBaud <= 0 || sent.empty())
        return {};
    std::vector<bool> bits;
    bits.reserve(sent.size() * 10);
    for (unsigned char c : sent) {
        bits.push_back(false);
        for (int i = 0; i < 8; ++i)
            bits.push_back(((c >> i) & 1) != 0);
        bits.push_back(true);
    }
    // Time in units of 1 / (sentBaud * readBaud) s: a sent bit lasts readBaud
    // units, a received one sentBaud.
    const long long sentBit = readBaud, readBit = sentBaud;
    const long long end = static_cast<long long>(bits.size()) * sentBit + 10 * readBit;
    const auto level = [&](long long t) {
        if (t < 0)
            return true;
        const auto i = static_cast<std::size_t>(t / sentBit);
        return i >= bits.size() || bits[i];
    };
    const long long sample = std::max(1LL, readBit / 16);
    SimRandom random(seed);
    std::string out;
    bool previous = true;
    for (long long t = random.uniformInt(0, static_cast<int>(std::min(sample, 1LL << 30)) - 1);
         t < end; t += sample) {
        const bool now = level(t);
        const bool falling = previous && !now;
        previous = now;
        const long long middle = t + readBit / 2;
        if (!falling || level(middle))
            continue; // a glitch, not a start bit
        unsigned char c = 0;
        for (int i = 0; i < 8; ++i)
            c |= static_cast<unsigned char>(level(middle + (i + 1) * readBit) ? 1 << i : 0);
        const bool framed = level(middle + 9 * readBit);
        out += framed ? static_cast<char>(c) : '\0';
        // The next start bit needs the line high again.
        t = middle + 9 * readBit;
        previous = level(t);
    }
    return out;
}
