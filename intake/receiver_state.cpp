#include "receiver_state.h"

#include <cstring>

namespace {
ReceiverState g_receiverState; // static storage: all zero at start, never freed
std::mutex g_receiverStateMutex;
} // namespace

ReceiverState& SharedReceiverState() { return g_receiverState; }

std::mutex& ReceiverStateMutex() { return g_receiverStateMutex; }

void TakeReceiverSnapshot(ReceiverState& out) {
    std::lock_guard<std::mutex> lock(g_receiverStateMutex);
    std::memcpy(&out, &g_receiverState, sizeof out);
}

ReceiverState TakeReceiverSnapshot() {
    ReceiverState copy;
    TakeReceiverSnapshot(copy);
    return copy;
}
