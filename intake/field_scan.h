// The ends of the fields of a sentence line, sixteen bytes at a time: a
// satellite group's four short fields end within one load, so one compare
// finds them all.
//
// A line is followed by a zero byte, and a load may start at any position up
// to that zero byte: the buffer holding the line must have kFieldReadAhead
// bytes after it, whatever they hold. Stops after the first one that is not
// a comma may lie past the line and mean nothing.
#pragma once

#include <cstdint>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

constexpr int kFieldReadAhead = 16;

namespace field_scan {

// One bit per byte of the 16 at `at` that ends a field, the first byte lowest.
[[gnu::always_inline]] inline uint32_t StopMask16(const char* at) {
#ifdef __SSE2__
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i stops = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(',')),
                                                    _mm_cmpeq_epi8(bytes, _mm_set1_epi8('*'))),
                                       _mm_cmpeq_epi8(bytes, _mm_setzero_si128()));
    return static_cast<uint32_t>(_mm_movemask_epi8(stops));
#else
    uint32_t mask = 0;
    for (int i = 0; i < 16; ++i)
        if (at[i] == ',' || at[i] == '*' || at[i] == '\0')
            mask |= 1u << i;
    return mask;
#endif
}

} // namespace field_scan
