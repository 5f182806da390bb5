// Turns one receive batch into the receiver state.
#pragma once

#include <cstdint>

#include "receiver_state.h"

constexpr uint32_t kMaxBatchBytes = 4096;
constexpr int kMaxLineChars = 85; // CR LF included

// Splits the batch at CR LF into up to kSentenceLineCount raw lines in the
// record's line slots and stores the fields of GGA, GSA, GSV, RMC, VTG and
// ZDA sentences of the talkers GP, GN, GL, GA, GB, BD, GQ and GI into their
// parts; GN's sentence (the combined solution) wins over another talker's of
// the same type. Unless the batch ended in a broken line, the parts of types
// the batch did not carry are emptied.
//
// A sentence whose checksum is there and wrong is not stored: it counts as not
// received, and DamagedSentences counts it for the run. A line longer than
// kMaxLineChars that ends within the batch is skipped. The GSV pages and GSA
// lines of a batch are read together (see gnss_sky.h); $GPGSV pages 1 to 3
// alone fill the table page by page.
//
// The caller's buffer is never written. A count above kMaxBatchBytes (or a
// null batch with a non-zero count) is refused: the record stays untouched.
void ParseNmeaBatch(const unsigned char* batch, uint32_t count, ReceiverState& state);
