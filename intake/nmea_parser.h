// Turns one receive batch into the receiver state.
#pragma once

#include <cstdint>

#include "receiver_state.h"

constexpr uint32_t kMaxBatchBytes = 4096;
constexpr int kMaxLineChars = 85; // CR LF included

// Splits the batch at CR LF, keeps up to ten raw lines in lineSlots (each of
// kSentenceLineWidth bytes), stores the fields of GGA, GSA, GSV, RMC, VTG and
// ZDA sentences into their parts and, unless the batch ended in a broken line,
// empties the parts of types the batch did not carry. Checksums are not
// checked. The caller's buffer is never written.
//
// A count above kMaxBatchBytes (or a null batch with a non-zero count) is
// refused: the call returns without touching the slots or the parts.
void ParseNmeaBatch(const unsigned char* batch, uint32_t count, char* const lineSlots[kSentenceLineCount],
                    GgaPart& Gga, GsaPart& Gsa, RmcPart& Rmc, GsvPart& Gsv, VtgPart& Vtg,
                    ZdaPart& Zda);

// Convenience for the receive thread and tests: the line slots and parts of one record.
void ParseNmeaBatch(const unsigned char* batch, uint32_t count, ReceiverState& state);
