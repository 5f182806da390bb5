#include "nmea_frame.h"

#include <cstdio>

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool IsHexPair(std::string_view text) {
    return text.size() == 2 && HexValue(text[0]) >= 0 && HexValue(text[1]) >= 0;
}

uint8_t PairValue(std::string_view pair) {
    return static_cast<uint8_t>(HexValue(pair[0]) * 16 + HexValue(pair[1]));
}

} // namespace

uint8_t NmeaChecksum(std::string_view text) {
    uint8_t sum = 0;
    for (char c : text)
        sum ^= static_cast<uint8_t>(c);
    return sum;
}

std::string FrameSentence(std::string_view body) {
    char tail[6];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", NmeaChecksum(body));
    std::string out;
    out.reserve(body.size() + 6);
    out += '$';
    out += body;
    out += tail;
    return out;
}

bool HasValidChecksum(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    if (line.size() < 4 || line[0] != '$')
        return false;
    const std::size_t star = line.find('*');
    if (star == std::string_view::npos || star + 3 != line.size())
        return false;
    const std::string_view pair = line.substr(star + 1);
    return IsHexPair(pair) && PairValue(pair) == NmeaChecksum(line.substr(1, star - 1));
}

CommandFrame CheckCommandFrame(std::string_view line) {
    CommandFrame frame;
    if (line.empty() || line[0] != '$')
        return frame;
    const std::size_t star = line.find('*');
    const std::size_t n = line.size();
    frame.payload = line.substr(1, (star == std::string_view::npos ? n : star) - 1);
    if (star == std::string_view::npos || n < star + 3 || !IsHexPair(line.substr(n - 2))) {
        frame.verdict = FrameVerdict::NoChecksum;
        return frame;
    }
    frame.received = PairValue(line.substr(n - 2));
    frame.expected = NmeaChecksum(line.substr(1, n - 4));
    if (frame.received != frame.expected) {
        frame.verdict = FrameVerdict::BadChecksum;
        return frame;
    }
    const std::string_view middle = line.substr(star + 1, n - 2 - (star + 1));
    if (!middle.empty()) {
        if (!IsHexPair(middle)) {
            frame.verdict = FrameVerdict::Malformed;
            return frame;
        }
        frame.storedPair = middle;
    }
    frame.verdict = FrameVerdict::Ok;
    return frame;
}

const char* FrameVerdictName(FrameVerdict verdict) {
    switch (verdict) {
    case FrameVerdict::Ok:
        return "ok";
    case FrameVerdict::NotSentence:
        return "not a sentence";
    case FrameVerdict::NoChecksum:
        return "no checksum";
    case FrameVerdict::BadChecksum:
        return "bad checksum";
    case FrameVerdict::Malformed:
        return "malformed";
    }
    return "?";
}
