// CRC-32 of ISO 3309 / ITU-T V.42 (reflected polynomial 0xEDB88320) as zip archives use it.
#pragma once

#include <cstddef>
#include <cstdint>

class TStream;

constexpr uint32_t ZpCrcStart = 0xFFFFFFFFu;

// Running CRC over a buffer: start from ZpCrcStart, invert the final value.
uint32_t ZpUpdateCrc32(uint32_t crc, const void* buffer, std::size_t count);
// Off, the 256-bit folding is never taken: tests check the narrower one on one machine.
inline bool ZpCrcAllowWide = true;
// The one-byte step of the same table; the encryption keys advance with it.
inline uint32_t ZpUpdateCrc32Byte(uint32_t crc, uint8_t b);
// The finished CRC-32 of a whole buffer.
inline uint32_t ZpCrc32(const void* buffer, std::size_t count) {
  return ZpUpdateCrc32(ZpCrcStart, buffer, count) ^ 0xFFFFFFFFu;
}
// The finished CRC-32 of a stream from its position to its end, read in blocks of 32768 bytes;
// the position is put back afterwards.
uint32_t ZpStreamCrc32(TStream& stream);

struct TZpCrcTables {
  uint32_t T[8][256];
};
extern const TZpCrcTables ZpCrcTables;

inline uint32_t ZpUpdateCrc32Byte(uint32_t crc, uint8_t b) {
  return ZpCrcTables.T[0][(crc ^ b) & 0xFF] ^ (crc >> 8);
}
