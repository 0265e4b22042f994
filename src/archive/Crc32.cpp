#include "archive/Crc32.h"

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#include <immintrin.h>
#define CORVANTIS_CRC_CLMUL 1
#endif

CrcTableArray MakeCrcTable() {
  CrcTableArray table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    table[n] = c;
  }
  return table;
}

namespace {

const CrcTableArray& Table() {
  static const CrcTableArray table = MakeCrcTable();
  return table;
}

// The register form: no inversion at either end.
uint32_t TableUpdate(uint32_t reg, const uint8_t* p, size_t n) {
  const CrcTableArray& table = Table();
  for (size_t i = 0; i < n; ++i) reg = table[(reg ^ p[i]) & 0xFF] ^ (reg >> 8);
  return reg;
}

#ifdef CORVANTIS_CRC_CLMUL

// Folding constants for the reflected polynomial: x^e mod P, bit-reflected
// and shifted left by one, as carry-less multiply wants them.
uint64_t FoldConstant(unsigned exponent) {
  uint32_t r = 1;  // x^0, in normal bit order without the x^32 term
  for (unsigned i = 0; i < exponent; ++i) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
  uint32_t reflected = 0;
  for (int i = 0; i < 32; ++i)
    if (r & (1u << i)) reflected |= 1u << (31 - i);
  return static_cast<uint64_t>(reflected) << 1;
}

struct FoldConstants {
  uint64_t by64_low = FoldConstant(4 * 128 + 32);
  uint64_t by64_high = FoldConstant(4 * 128 - 32);
  uint64_t by16_low = FoldConstant(128 + 32);
  uint64_t by16_high = FoldConstant(128 - 32);
};

__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
  return _mm_xor_si128(
      _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

__attribute__((target("pclmul,sse2"))) inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Four 16-byte lanes are folded 64 bytes ahead until fewer than 64 bytes
// are left, then into one lane; the remaining 16 bytes of that lane and the
// tail go through the table. Folding keeps the register value unchanged,
// so the table finishes from a zero register.
__attribute__((target("pclmul,sse2"))) uint32_t ClmulUpdate(uint32_t reg, const uint8_t* p,
                                                            size_t n) {
  static const FoldConstants c;
  const __m128i by64 =
      _mm_set_epi64x(static_cast<long long>(c.by64_high), static_cast<long long>(c.by64_low));
  const __m128i by16 =
      _mm_set_epi64x(static_cast<long long>(c.by16_high), static_cast<long long>(c.by16_low));
  __m128i x0 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(reg)));
  __m128i x1 = Load(p + 16);
  __m128i x2 = Load(p + 32);
  __m128i x3 = Load(p + 48);
  p += 64;
  n -= 64;
  for (; n >= 64; p += 64, n -= 64) {
    x0 = Fold(x0, by64, Load(p));
    x1 = Fold(x1, by64, Load(p + 16));
    x2 = Fold(x2, by64, Load(p + 32));
    x3 = Fold(x3, by64, Load(p + 48));
  }
  x1 = Fold(x0, by16, x1);
  x2 = Fold(x1, by16, x2);
  x3 = Fold(x2, by16, x3);
  for (; n >= 16; p += 16, n -= 16) x3 = Fold(x3, by16, Load(p));
  alignas(16) uint8_t lane[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(lane), x3);
  return TableUpdate(TableUpdate(0, lane, 16), p, n);
}

bool HasClmul() {
  static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
  return has;
}

#endif

}  // namespace

uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
#ifdef CORVANTIS_CRC_CLMUL
  if (size >= 64 && HasClmul()) return ~ClmulUpdate(~crc, p, size);
#endif
  return ~TableUpdate(~crc, p, size);
}
