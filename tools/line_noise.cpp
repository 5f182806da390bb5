#include "line_noise.h"

#include <cstdio>

#include "nmea_frame.h"

namespace {

std::string RandomBytes(SimRandom& random, int count, bool binary) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        const int c = binary ? random.uniformInt(0, 255) : random.uniformInt(0x20, 0x7E);
        // A stray '$' or LF would start or end a line of its own; keep the
        // disturbance where it was put.
        out += (c == '$' || c == '\n' || c == '\r') ? '~' : static_cast<char>(c);
    }
    return out;
}

std::string WithWrongChecksum(std::string line) {
    const std::size_t star = line.rfind('*');
    if (star == std::string::npos || star + 2 >= line.size())
        return line;
    char& digit = line[star + 1];
    digit = digit == '0' ? '1' : '0';
    return line;
}

std::string OverlongLine(SimRandom& random) {
    std::string body = "GPTXT,01,01,02,";
    const int extra = random.uniformInt(90, 200);
    for (int i = 0; i < extra; ++i)
        body += static_cast<char>('A' + random.uniformInt(0, 25));
    return FrameSentence(body);
}

} // namespace

std::string GarbleBurst(const std::vector<std::string>& lines, SimRandom& random) {
    std::vector<std::string> out(lines);
    bool disturbed = false;
    if (!out.empty() && random.chance(0.3)) {
        std::string& victim =
            out[static_cast<std::size_t>(random.uniformInt(0, int(out.size()) - 1))];
        victim = WithWrongChecksum(victim);
        disturbed = true;
    }
    if (!out.empty() && random.chance(0.15)) {
        // Cut in the middle, as when a receiver resets while sending.
        std::string& victim =
            out[static_cast<std::size_t>(random.uniformInt(0, int(out.size()) - 1))];
        victim = victim.substr(0, victim.size() / 2) + "\r\n";
        disturbed = true;
    }
    if (random.chance(0.25)) {
        const auto at = out.begin() + random.uniformInt(0, static_cast<int>(out.size()));
        out.insert(at, OverlongLine(random));
        disturbed = true;
    }
    if (out.size() > 1 && random.chance(0.2)) {
        std::string& victim =
            out[static_cast<std::size_t>(random.uniformInt(1, int(out.size()) - 1))];
        victim = RandomBytes(random, random.uniformInt(2, 12), true) + victim;
        disturbed = true;
    }
    std::string burst;
    if (!disturbed || random.chance(0.4))
        burst = RandomBytes(random, random.uniformInt(3, 24), random.chance(0.5));
    for (const std::string& line : out)
        burst += line;
    return burst;
}

std::string PaddingLines(std::size_t burstSize, std::size_t targetSize) {
    std::string out;
    int index = 1;
    while (burstSize + out.size() < targetSize) {
        char body[80];
        std::snprintf(body, sizeof body,
                      "GPTXT,01,01,02,PADDING %04d ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789", index++);
        out += FrameSentence(body);
    }
    return out;
}
