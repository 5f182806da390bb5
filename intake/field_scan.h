// The ends of the fields of a sentence line, sixteen bytes at a time: a
// compare finds every field end of a block at once, so no branch has to
// guess how long a field is.
//
// A line is followed by a zero byte, and a load may start at any position up
// to that zero byte: the buffer holding the line must have kFieldReadAhead
// bytes after it, whatever they hold. Stops after the first one that ends the
// sentence may lie past the line and mean nothing.
#pragma once

#include <cstdint>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace field_scan {

// One bit per byte of the 16 at `at`, the first byte lowest: the bytes that
// end a field, and of those the ones that end the sentence instead of
// leading to the next field ('*' or the zero byte).
struct Stops16 {
    uint32_t ends;
    uint32_t last;
};

[[gnu::always_inline]] inline Stops16 StopsAt(const char* at) {
#ifdef __SSE2__
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i commas = _mm_cmpeq_epi8(bytes, _mm_set1_epi8(','));
    const __m128i last = _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('*')),
                                      _mm_cmpeq_epi8(bytes, _mm_setzero_si128()));
    const uint32_t lastMask = static_cast<uint32_t>(_mm_movemask_epi8(last));
    return {static_cast<uint32_t>(_mm_movemask_epi8(commas)) | lastMask, lastMask};
#else
    Stops16 s{0, 0};
    for (int i = 0; i < 16; ++i) {
        const bool last = at[i] == '*' || at[i] == '\0';
        s.ends |= static_cast<uint32_t>(last || at[i] == ',') << i;
        s.last |= static_cast<uint32_t>(last) << i;
    }
    return s;
#endif
}

} // namespace field_scan

constexpr int kFieldReadAhead = 16;
