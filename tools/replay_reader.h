// Recorded receiver output (the test captures, a GPS_LOG.txt) cut into the
// once-a-second bursts a receiver would have sent.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Drops '#' comment lines, ends every line with CR LF and starts a new burst
// at a GGA or RMC sentence (any talker) whose UTC time differs from the one
// the burst already has, or, for sentences without a time, when the burst
// already holds a sentence of that type. Everything else stays as recorded,
// noise and bad checksums included.
std::vector<std::string> SplitIntoBursts(std::string_view log);

// Reads and splits a file; false with a message when it cannot be read or holds no data.
bool LoadReplayFile(const std::string& path, std::vector<std::string>& bursts, std::string& error);
