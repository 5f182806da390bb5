#include "receiver_state.h"

#include <cstring>

namespace {
ReceiverState g_receiverState; // static storage: all zero at start, never freed
std::mutex g_receiverStateMutex;
uint64_t g_batchCounter = 0;
} // namespace

ReceiverState& SharedReceiverState() { return g_receiverState; }

std::mutex& ReceiverStateMutex() { return g_receiverStateMutex; }

uint64_t& ReceiverBatchCounter() { return g_batchCounter; }

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
