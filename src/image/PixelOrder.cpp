#include "image/PixelOrder.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#define CORVAN_HAVE_SSSE3_PATH 1
#endif

namespace {

void CopyPixelsScalar(unsigned char* out, const unsigned char* in, size_t count, uint32_t bpp) {
  for (size_t i = 0; i < count; ++i, out += bpp, in += bpp) {
    const unsigned char blue = in[0];
    out[0] = in[2];
    out[1] = in[1];
    out[2] = blue;
    if (bpp == 4) out[3] = in[3];
  }
}

#ifdef CORVAN_HAVE_SSSE3_PATH
// Byte shuffles turn many pixels around at a time. Each step loads all its
// input before it stores, so out may be in without a store ever being read
// back half-written.
__attribute__((target("ssse3"))) size_t CopyPixels32SSSE3(unsigned char* out,
                                                          const unsigned char* in, size_t count) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
  size_t done = 0;
  for (; done + 4 <= count; done += 4, in += 16, out += 16) {
    const __m128i group = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(group, order));
  }
  return done;
}

// Sixteen 24-bit pixels are 48 bytes, three registers; each group of four
// pixels (12 bytes) is lined up at the start of a register, turned around,
// and the four results are packed back into three registers.
__attribute__((target("ssse3"))) size_t CopyPixels24SSSE3(unsigned char* out,
                                                          const unsigned char* in, size_t count) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, -128, -128, -128, -128);
  size_t done = 0;
  for (; done + 16 <= count; done += 16, in += 48, out += 48) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 32));
    const __m128i p0 = _mm_shuffle_epi8(a, order);
    const __m128i p1 = _mm_shuffle_epi8(_mm_alignr_epi8(b, a, 12), order);
    const __m128i p2 = _mm_shuffle_epi8(_mm_alignr_epi8(c, b, 8), order);
    const __m128i p3 = _mm_shuffle_epi8(_mm_srli_si128(c, 4), order);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_or_si128(p0, _mm_slli_si128(p1, 12)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16),
                     _mm_or_si128(_mm_srli_si128(p1, 4), _mm_slli_si128(p2, 8)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32),
                     _mm_or_si128(_mm_srli_si128(p2, 8), _mm_slli_si128(p3, 4)));
  }
  return done;
}

bool HaveSSSE3() {
  static const bool have = __builtin_cpu_supports("ssse3");
  return have;
}
#endif

}  // namespace

void CopyPixels(unsigned char* out, const unsigned char* in, size_t count, uint32_t bytesPerPixel) {
#ifdef CORVAN_HAVE_SSSE3_PATH
  if (HaveSSSE3()) {
    const size_t done =
        bytesPerPixel == 4 ? CopyPixels32SSSE3(out, in, count) : CopyPixels24SSSE3(out, in, count);
    const size_t skip = done * bytesPerPixel;
    CopyPixelsScalar(out + skip, in + skip, count - done, bytesPerPixel);
    return;
  }
#endif
  CopyPixelsScalar(out, in, count, bytesPerPixel);
}

void FillPixels(unsigned char* out, const unsigned char* pixel, size_t count,
                uint32_t bytesPerPixel) {
  if (count == 0) return;
  // One four-byte store per pixel. For 24 bits each store also writes the
  // next pixel's first byte, which that pixel's own store then overwrites;
  // the last pixel is stored byte by byte so nothing past the run is touched.
  const unsigned char converted[4] = {pixel[2], pixel[1], pixel[0],
                                      bytesPerPixel == 4 ? pixel[3] : pixel[2]};
  uint32_t word;
  std::memcpy(&word, converted, 4);
  for (size_t i = 1; i < count; ++i, out += bytesPerPixel) std::memcpy(out, &word, 4);
  std::memcpy(out, converted, bytesPerPixel);
}
