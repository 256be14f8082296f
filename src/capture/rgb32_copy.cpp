#include "rgb32_copy.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lumicap {
namespace {

constexpr uint32_t kColour = 0x00FFFFFFu;

// Eight pixels at a time (GCC's and Clang's vector extension); a plain loop is not vectorised at -O2.
void CopyCached(uint32_t* to, const uint32_t* from, size_t count)
{
    using Pixels8 = uint32_t __attribute__((vector_size(32)));
    constexpr Pixels8 kMask = {kColour, kColour, kColour, kColour, kColour, kColour, kColour, kColour};
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        Pixels8 eight;
        std::memcpy(&eight, from + i, sizeof eight);
        eight &= kMask;
        std::memcpy(to + i, &eight, sizeof eight);
    }
    for (; i < count; ++i) to[i] = from[i] & kColour;
}

#if defined(__SSE2__)
// Beyond this a frame would only push the host's own data out of the cache on its way through.
constexpr size_t kStreamingBytes = size_t{1} << 20;

// A cache line (16 pixels) a step, whole lines written at once so the processor's write-combining
// sends each straight to memory.
void CopyStreaming(uint32_t* to, const uint32_t* from, size_t count)
{
    size_t i = 0;
    for (; i < count && reinterpret_cast<uintptr_t>(to + i) % 64 != 0; ++i) to[i] = from[i] & kColour;
    const __m128i mask = _mm_set1_epi32(static_cast<int>(kColour));
    for (; i + 16 <= count; i += 16) {
        const auto* in = reinterpret_cast<const __m128i*>(from + i);
        auto* out = reinterpret_cast<__m128i*>(to + i);
        const __m128i a = _mm_loadu_si128(in);
        const __m128i b = _mm_loadu_si128(in + 1);
        const __m128i c = _mm_loadu_si128(in + 2);
        const __m128i d = _mm_loadu_si128(in + 3);
        _mm_stream_si128(out, _mm_and_si128(a, mask));
        _mm_stream_si128(out + 1, _mm_and_si128(b, mask));
        _mm_stream_si128(out + 2, _mm_and_si128(c, mask));
        _mm_stream_si128(out + 3, _mm_and_si128(d, mask));
    }
    _mm_sfence();
    for (; i < count; ++i) to[i] = from[i] & kColour;
}
#endif

}  // namespace

void CopyRgb32Pixels(uint32_t* to, const uint32_t* from, size_t count)
{
#if defined(__SSE2__)
    // Pixels of a UINT32 array are 4-byte aligned, so a cache line's boundary is reached within fifteen.
    if (count * sizeof(uint32_t) >= kStreamingBytes && reinterpret_cast<uintptr_t>(to) % 4 == 0) {
        CopyStreaming(to, from, count);
        return;
    }
#endif
    CopyCached(to, from, count);
}

}  // namespace lumicap
