// Filling the shared receiver state as the receive thread would, for the
// position plot and sentence log tests.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "batch_signal.h"
#include "stored_batch.h"

// Byte by byte: GCC 12 at -O2 drops a memset that a memcpy of 0..W bytes follows.
template <std::size_t W> void FillSlot(char (&slot)[W], std::string_view text) {
    for (std::size_t i = 0; i < W; ++i)
        slot[i] = i < text.size() ? text[i] : '\0';
}

// One batch of the given lines.
inline void PublishLines(std::initializer_list<std::string_view> lines) {
    StoreLines(lines);
}

// One batch of the given lines as the receive loop delivers it: stored, then
// signalled to whoever follows the batches.
inline uint64_t ReceiveLines(std::initializer_list<std::string_view> lines) {
    const uint64_t batch = StoreLines(lines);
    emit BatchSignal::Instance().Stored(batch);
    return batch;
}

// A batch whose GGA carries this position; empty texts leave it out.
inline void PublishGga(std::string_view lat, std::string_view lon, char ns = 'N', char ew = 'E') {
    std::string body = "GPGGA,120000.00,";
    body.append(lat);
    body += ',';
    if (!lat.empty())
        body += ns;
    body += ',';
    body.append(lon);
    body += ',';
    if (!lon.empty())
        body += ew;
    body += ",1,08,1.0,100.0,M,15.0,M,,";
    StoreBytes(FramedSentence(body));
}

// Number of CR LF terminated lines.
inline int CountLines(const std::string& text) {
    int n = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos;
         at = text.find("\r\n", at + 2))
        ++n;
    return n;
}
