// Helpers for the gps-sim tests that read bursts as text, without the
// program's parser.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "burst_writer.h"

// A command framed the way the program sends it: the checksum of every
// character but the first and the last, two lower-case digits, CR LF.
inline std::string ProgramFramed(const std::string& command) {
    unsigned sum = 0;
    for (std::size_t i = 1; i + 1 < command.size(); ++i)
        sum ^= static_cast<unsigned char>(command[i]);
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", sum);
    return command + digits + "\r\n";
}

// 2024-02-29 23:59:50 UTC plus seconds.
inline UtcStamp TestUtc(int seconds) {
    return UtcStampFromEpochMs((1709251190LL + seconds) * 1000);
}

// The lines of a burst without their CR LF.
inline std::vector<std::string> BurstLines(const std::string& burst) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < burst.size()) {
        std::size_t end = burst.find("\r\n", at);
        if (end == std::string::npos)
            end = burst.size();
        lines.push_back(burst.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

// The comma-separated fields of a sentence without its "*hh".
inline std::vector<std::string> Fields(const std::string& line) {
    const std::string body = line.substr(0, line.find('*'));
    std::vector<std::string> out;
    std::size_t at = 0;
    for (;;) {
        const std::size_t comma = body.find(',', at);
        out.push_back(body.substr(at, comma == std::string::npos ? comma : comma - at));
        if (comma == std::string::npos)
            return out;
        at = comma + 1;
    }
}
