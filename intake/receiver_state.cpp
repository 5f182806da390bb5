#include "receiver_state.h"

#include <cstring>
#include <mutex>

#include "nmea_parser.h"

namespace {
ReceiverState g_receiverState; // static storage: all zero at start, never freed
std::mutex g_receiverStateMutex;
uint64_t g_batchCounter = 0;
} // namespace

uint64_t StoreBatch(const unsigned char* bytes, uint32_t count) {
    std::lock_guard<std::mutex> lock(g_receiverStateMutex);
    std::memset(g_receiverState.SentenceLines, 0, sizeof g_receiverState.SentenceLines);
    ParseNmeaBatch(bytes, count, g_receiverState);
    return ++g_batchCounter;
}

void TakeReceiverSnapshot(ReceiverState& out, uint64_t* batchNumber) {
    std::lock_guard<std::mutex> lock(g_receiverStateMutex);
    std::memcpy(&out, &g_receiverState, sizeof out);
    if (batchNumber != nullptr)
        *batchNumber = g_batchCounter;
}

ReceiverState TakeReceiverSnapshot() {
    ReceiverState copy;
    TakeReceiverSnapshot(copy);
    return copy;
}
