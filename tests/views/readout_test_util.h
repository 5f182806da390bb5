// Filling receiver-state slots the way the parser leaves them, and the
// shared state the windows read.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <algorithm>
#include <cstring>
#include <mutex>
#include <string_view>

#include "receiver_state.h"

// The value replaces the whole slot, cut to its width; the rest is zero.
template <std::size_t W> void Put(char (&slot)[W], std::string_view value) {
    std::memset(slot, 0, W);
    std::memcpy(slot, value.data(), std::min(W, value.size()));
}

// Replaces the shared record the windows copy at each tick.
inline void PublishState(const ReceiverState& state) {
    std::lock_guard<std::mutex> lock(ReceiverStateMutex());
    SharedReceiverState() = state;
}

// Runs the deleteLater of closed windows.
inline void RunDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
