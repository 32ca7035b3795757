#include "engine/pkg/adler32.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#else
#include <zlib.h>
#endif

namespace pkg {

#if defined(__SSE2__)

namespace {

constexpr uint32_t kBase = 65521;
// The most bytes summed before the halves must be reduced: 255n(n+1)/2 +
// (n+1)(kBase-1) stays below 2^32 (zlib's NMAX).
constexpr std::size_t kMax = 5552;
constexpr std::size_t kBlock = 32;

}  // namespace

// 32 bytes at a time. For a block b[0..31] after the sums s1, s2:
//   s2 += 32 * s1 + sum((32 - i) * b[i]),  s1 += sum(b[i])
// The weighted sums go to four 32-bit lanes (bytes widened to 16 bits,
// multiplied and pairwise added); the s1 each block starts from is summed
// apart (vps) and multiplied by 32 once per run of blocks.
uint32_t Adler32(uint32_t adler, const unsigned char* data, std::size_t size) {
    uint32_t s1 = adler & 0xFFFF;
    uint32_t s2 = adler >> 16;
    std::size_t blocks = size / kBlock;
    size -= blocks * kBlock;
    const __m128i zero = _mm_setzero_si128();
    const __m128i tap1 = _mm_setr_epi16(32, 31, 30, 29, 28, 27, 26, 25);
    const __m128i tap2 = _mm_setr_epi16(24, 23, 22, 21, 20, 19, 18, 17);
    const __m128i tap3 = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
    const __m128i tap4 = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
    while (blocks != 0) {
        std::size_t n = blocks < kMax / kBlock ? blocks : kMax / kBlock;
        blocks -= n;
        __m128i vps = _mm_setr_epi32(0, 0, 0, static_cast<int>(s1 * n));
        __m128i vs2 = _mm_setr_epi32(0, 0, 0, static_cast<int>(s2));
        __m128i vs1 = zero;
        do {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16));
            vps = _mm_add_epi32(vps, vs1);
            vs1 = _mm_add_epi32(vs1, _mm_add_epi32(_mm_sad_epu8(a, zero), _mm_sad_epu8(b, zero)));
            vs2 = _mm_add_epi32(vs2, _mm_madd_epi16(_mm_unpacklo_epi8(a, zero), tap1));
            vs2 = _mm_add_epi32(vs2, _mm_madd_epi16(_mm_unpackhi_epi8(a, zero), tap2));
            vs2 = _mm_add_epi32(vs2, _mm_madd_epi16(_mm_unpacklo_epi8(b, zero), tap3));
            vs2 = _mm_add_epi32(vs2, _mm_madd_epi16(_mm_unpackhi_epi8(b, zero), tap4));
            data += kBlock;
        } while (--n != 0);
        vs2 = _mm_add_epi32(vs2, _mm_slli_epi32(vps, 5));
        uint32_t lanes1[4], lanes2[4];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes1), vs1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes2), vs2);
        s1 = (s1 + lanes1[0] + lanes1[1] + lanes1[2] + lanes1[3]) % kBase;
        s2 = (lanes2[0] + lanes2[1] + lanes2[2] + lanes2[3]) % kBase;
    }
    while (size != 0) {
        std::size_t n = size < kMax ? size : kMax;
        size -= n;
        for (; n != 0; --n) {
            s1 += *data++;
            s2 += s1;
        }
        s1 %= kBase;
        s2 %= kBase;
    }
    return s2 << 16 | s1;
}

#else

// Without SSE2 zlib's own loop is as good as a portable one.
uint32_t Adler32(uint32_t adler, const unsigned char* data, std::size_t size) {
    while (size != 0) {
        const uInt n = size > 0x40000000u ? 0x40000000u : static_cast<uInt>(size);
        adler = static_cast<uint32_t>(adler32(adler, data, n));
        data += n;
        size -= n;
    }
    return adler;
}

#endif

}  // namespace pkg
