#include "zip/engine/ZpCrc32.h"

#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "platform/rtl/Streams.h"

namespace {

constexpr TZpCrcTables MakeTables() {
  TZpCrcTables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    t.T[0][i] = c;
  }
  for (int s = 1; s < 8; ++s)
    for (uint32_t i = 0; i < 256; ++i) t.T[s][i] = (t.T[s - 1][i] >> 8) ^ t.T[0][t.T[s - 1][i] & 0xFF];
  return t;
}

}  // namespace

constinit const TZpCrcTables ZpCrcTables = MakeTables();

namespace {

uint32_t TableCrc(uint32_t crc, const uint8_t* p, std::size_t count) {
  const auto& t = ZpCrcTables.T;
  while (count && (reinterpret_cast<uintptr_t>(p) & 7)) {
    crc = t[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    --count;
  }
  // Slicing by 8, two words per round; the tables assume a little-endian load.
  while (count >= 16) {
    for (int r = 0; r < 2; ++r) {
      uint32_t a, b;
      std::memcpy(&a, p, 4);
      std::memcpy(&b, p + 4, 4);
      a ^= crc;
      crc = t[7][a & 0xFF] ^ t[6][(a >> 8) & 0xFF] ^ t[5][(a >> 16) & 0xFF] ^ t[4][a >> 24] ^
            t[3][b & 0xFF] ^ t[2][(b >> 8) & 0xFF] ^ t[1][(b >> 16) & 0xFF] ^ t[0][b >> 24];
      p += 8;
    }
    count -= 16;
  }
  while (count--) crc = t[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
  return crc;
}

#if defined(__x86_64__)
// Carry-less multiply folding, four lanes of 128 bits; the last 16 folded bytes and the tail go
// through the table, which keeps the reduction simple.
#define QV_CRC_TARGET __attribute__((target("pclmul,sse4.1")))
QV_CRC_TARGET inline __m128i load(const uint8_t* q) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q)); }
QV_CRC_TARGET inline __m128i fold(__m128i x, __m128i k, __m128i data) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), data);
}

// Whole 16-byte pieces fold into x; the last 16 folded bytes and the tail go through the table.
QV_CRC_TARGET uint32_t FoldTail(__m128i x, const uint8_t* p, std::size_t count) {
  const __m128i k3k4 = _mm_set_epi64x(0x0ccaa009eLL, 0x1751997d0LL);
  while (count >= 16) {
    x = fold(x, k3k4, load(p));
    p += 16;
    count -= 16;
  }
  alignas(16) uint8_t last[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(last), x);
  const uint32_t crc = TableCrc(0, last, 16);
  return TableCrc(crc, p, count);
}

QV_CRC_TARGET uint32_t FoldCrc(uint32_t crc, const uint8_t* p, std::size_t count) {
  const __m128i k1k2 = _mm_set_epi64x(0x1c6e41596LL, 0x154442bd4LL);
  const __m128i k3k4 = _mm_set_epi64x(0x0ccaa009eLL, 0x1751997d0LL);
  __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x1 = load(p + 16), x2 = load(p + 32), x3 = load(p + 48);
  p += 64;
  count -= 64;
  while (count >= 64) {
    x0 = fold(x0, k1k2, load(p));
    x1 = fold(x1, k1k2, load(p + 16));
    x2 = fold(x2, k1k2, load(p + 32));
    x3 = fold(x3, k1k2, load(p + 48));
    p += 64;
    count -= 64;
  }
  __m128i x = fold(x0, k3k4, x1);
  x = fold(x, k3k4, x2);
  x = fold(x, k3k4, x3);
  return FoldTail(x, p, count);
}

bool HasClmul() {
  static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return has;
}

// The same folding on 256-bit lanes, 128 bytes a round, where the processor multiplies both halves
// of a register at once.
#define QV_CRC_WIDE __attribute__((target("avx2,vpclmulqdq,pclmul,sse4.1")))
QV_CRC_WIDE inline __m256i load2(const uint8_t* q) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q)); }
QV_CRC_WIDE inline __m256i fold2(__m256i x, __m256i k, __m256i data) {
  return _mm256_xor_si256(
      _mm256_xor_si256(_mm256_clmulepi64_epi128(x, k, 0x00), _mm256_clmulepi64_epi128(x, k, 0x11)), data);
}

QV_CRC_WIDE uint32_t FoldCrcWide(uint32_t crc, const uint8_t* p, std::size_t count) {
  const __m256i k = _mm256_set_epi64x(0x14a7fe880LL, 0x1e88ef372LL, 0x14a7fe880LL, 0x1e88ef372LL);
  const __m128i k3k4 = _mm_set_epi64x(0x0ccaa009eLL, 0x1751997d0LL);
  __m256i y0 = _mm256_xor_si256(load2(p), _mm256_set_epi32(0, 0, 0, 0, 0, 0, 0, static_cast<int>(crc)));
  __m256i y1 = load2(p + 32), y2 = load2(p + 64), y3 = load2(p + 96);
  p += 128;
  count -= 128;
  while (count >= 128) {
    y0 = fold2(y0, k, load2(p));
    y1 = fold2(y1, k, load2(p + 32));
    y2 = fold2(y2, k, load2(p + 64));
    y3 = fold2(y3, k, load2(p + 96));
    p += 128;
    count -= 128;
  }
  __m128i x = _mm256_castsi256_si128(y0);
  x = fold(x, k3k4, _mm256_extracti128_si256(y0, 1));
  for (__m256i y : {y1, y2, y3}) {
    x = fold(x, k3k4, _mm256_castsi256_si128(y));
    x = fold(x, k3k4, _mm256_extracti128_si256(y, 1));
  }
  return FoldTail(x, p, count);
}

bool HasWideClmul() {
  static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("vpclmulqdq") && HasClmul();
  return has;
}
#endif

}  // namespace

uint32_t ZpUpdateCrc32(uint32_t crc, const void* buffer, std::size_t count) {
  const uint8_t* p = static_cast<const uint8_t*>(buffer);
#if defined(__x86_64__)
  if (count >= 512 && ZpCrcAllowWide && HasWideClmul()) return FoldCrcWide(crc, p, count);
  if (count >= 256 && HasClmul()) return FoldCrc(crc, p, count);
#endif
  return TableCrc(crc, p, count);
}

uint32_t ZpStreamCrc32(TStream& stream) {
  const int64_t start = stream.Position();
  std::vector<uint8_t> buf(32768);
  uint32_t crc = ZpCrcStart;
  for (;;) {
    const int64_t n = stream.Read(buf.data(), static_cast<int64_t>(buf.size()));
    if (n <= 0) break;
    crc = ZpUpdateCrc32(crc, buf.data(), static_cast<std::size_t>(n));
  }
  stream.SetPosition(start);
  return crc ^ 0xFFFFFFFFu;
}
