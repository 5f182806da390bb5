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

ReceiverState TakeReceiverSnapshot(uint64_t* batchNumber) {
    ReceiverState copy;
    std::lock_guard<std::mutex> lock(g_receiverStateMutex);
    std::memcpy(&copy, &g_receiverState, sizeof copy);
    if (batchNumber != nullptr)
        *batchNumber = g_batchCounter;
    return copy;
}
