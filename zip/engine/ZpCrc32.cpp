#include "zip/engine/ZpCrc32.h"

#include <array>
#include <cstring>
#include <vector>

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

uint32_t ZpUpdateCrc32(uint32_t crc, const void* buffer, std::size_t count) {
  const uint8_t* p = static_cast<const uint8_t*>(buffer);
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
