// Filling receiver-state slots the way the parser leaves them, and the
// shared state the windows read.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <algorithm>
#include <cstring>
#include <string_view>

#include "receiver_state.h"
#include "stored_batch.h"

// The value replaces the whole slot, cut to its width; the rest is zero.
template <std::size_t W> void Put(char (&slot)[W], std::string_view value) {
    std::memset(slot, 0, W);
    std::memcpy(slot, value.data(), std::min(W, value.size()));
}

// The batch after which the shared record holds `state`, as the windows copy it.
inline void PublishState(const ReceiverState& state) {
    StoreState(state);
}

// Runs the deleteLater of closed windows.
inline void RunDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
