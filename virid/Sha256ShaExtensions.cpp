// Built with the SHA and SSE4.1 instruction sets enabled; called only after CPUID said the
// processor has them.
#include "virid/Sha256Blocks.h"

#if defined(__x86_64__) || defined(__i386__)

#include <cpuid.h>
#include <immintrin.h>

namespace VIRid::sha256 {

namespace {

void CompressWithShaExtensions(uint32_t state[8], const unsigned char* blocks, size_t count) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    // The instructions keep the state as the pairs ABEF and CDGH.
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
    const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

    for (; count > 0; --count, blocks += 64) {
        const __m128i abefBefore = abef;
        const __m128i cdghBefore = cdgh;
        // The message schedule, four words to a register, four registers in turn.
        __m128i words[4];
        for (size_t group = 0; group < 16; ++group) {
            __m128i& current = words[group % 4];
            if (group < 4)
                current = _mm_shuffle_epi8(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * group)),
                    byteSwap);
            __m128i message = _mm_add_epi32(
                current,
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kRoundConstants[4 * group])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
            if (group >= 3 && group <= 14) {
                __m128i& next = words[(group + 1) % 4];
                const __m128i carried = _mm_alignr_epi8(current, words[(group + 3) % 4], 4);
                next = _mm_sha256msg2_epu32(_mm_add_epi32(next, carried), current);
            }
            message = _mm_shuffle_epi32(message, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, message);
            if (group >= 1 && group <= 12) {
                __m128i& previous = words[(group + 3) % 4];
                previous = _mm_sha256msg1_epu32(previous, current);
            }
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }

    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    dcba = _mm_blend_epi16(feba, dchg, 0xF0);
    hgfe = _mm_alignr_epi8(dchg, feba, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), dcba);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), hgfe);
}

} // namespace

CompressFunction ShaExtensionsCompress() {
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return nullptr;
    const bool hasSse41 = (ecx & bit_SSE4_1) != 0;
    const bool hasSsse3 = (ecx & bit_SSSE3) != 0;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx))
        return nullptr;
    const bool hasSha = (ebx & bit_SHA) != 0;
    return hasSse41 && hasSsse3 && hasSha ? &CompressWithShaExtensions : nullptr;
}

} // namespace VIRid::sha256

#else

namespace VIRid::sha256 {

CompressFunction ShaExtensionsCompress() {
    return nullptr;
}

} // namespace VIRid::sha256

#endif
