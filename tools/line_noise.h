// Disturbances for stress tests: line noise mixed into bursts, and padding
// that makes bursts longer than one receive batch.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "sim_random.h"

// Joins the lines of one burst with at least one disturbance mixed in: noise
// bytes before the first '$', binary junk (zero bytes included) glued to the
// front of a sentence, a sentence with a wrong checksum, an over-long line, or
// a sentence cut off in the middle. Most sentences stay intact.
std::string GarbleBurst(const std::vector<std::string>& lines, SimRandom& random);

// Valid "$GPTXT" lines of at most 82 bytes that bring a burst of burstSize
// bytes up to at least targetSize; nothing when it is already that long.
std::string PaddingLines(std::size_t burstSize, std::size_t targetSize);
