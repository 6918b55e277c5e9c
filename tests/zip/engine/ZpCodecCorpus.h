// Shared sample data for the codec tests: the sizes and kinds of data archives meet.
#pragma once

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/rtl/Streams.h"
#include "zip/engine/ZpUnzipHelper.h"
#include "zip/engine/ZpZipHelper.h"

using TBytes = std::vector<uint8_t>;

struct TCorpusItem {
  std::string Name;
  TBytes Data;
};

inline TBytes HotLikeText(std::size_t size) {
  static const char* const kinds[] = {"BFH01", "BCH02", "BOH03", "BKT06", "BKS24", "BKS30", "BKS39", "BAR64", "BKP84"};
  std::mt19937 gen(7);
  TBytes out;
  char line[160];
  unsigned n = 0;
  auto r = [&gen] { return static_cast<unsigned>(gen()); };
  while (out.size() < size) {
    const int len = std::snprintf(line, sizeof line, "%s%08u%-10s%012u%05u  EUR2 %011u00000000000000%09u\r\n",
                                  kinds[r() % 9], ++n, "AGT", r() % 1000000u, r() % 99999u, r() % 100000u, r() % 1000u);
    out.insert(out.end(), line, line + len);
  }
  out.resize(size);
  return out;
}

inline TBytes RandomBytes(std::size_t size, unsigned start = 1) {
  std::mt19937 gen(start);
  TBytes out(size);
  for (auto& b : out) b = static_cast<uint8_t>(gen());
  return out;
}

inline TBytes BinaryLike(std::size_t size) {
  // Structured binary: little-endian counters and small tables, partly repetitive.
  TBytes out;
  std::mt19937 gen(3);
  uint32_t v = 0;
  while (out.size() < size) {
    v += gen() % 17;
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    if (gen() % 5 == 0) out.push_back(static_cast<uint8_t>(gen()));
  }
  out.resize(size);
  return out;
}

inline std::vector<TCorpusItem> CodecCorpus() {
  return {{"empty", {}},
          {"one byte", {0x41}},
          {"hot text", HotLikeText(200000)},
          {"binary", BinaryLike(150000)},
          {"random", RandomBytes(100000)},
          {"zeros", TBytes(300000, 0)},
          {"just over 32 KiB", HotLikeText(32769)},
          {"just over 64 KiB", RandomBytes(65537, 9)},
          {"several MiB", HotLikeText(5u << 20)}};
}

// The engine's raw deflate output at the level, through the given compressor when one is passed.
inline TBytes EngineDeflate(const TBytes& data, int level, TZpDeflater* deflater = nullptr) {
  TMemoryStream src, out;
  src.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  src.SetPosition(0);
  TZpZipHelper z(&src, nullptr, &out);
  z.SetMethod(ZpMethodDeflated);
  z.SetLevel(level);
  z.SetDeflater(deflater);
  z.Execute();
  return TBytes(out.Memory(), out.Memory() + out.Size());
}

// The engine's inflation of packed into size bytes, through the given inflater when one is
// passed; crc, when asked for, gets the CRC it reports.
inline TBytes EngineInflate(const TBytes& packed, std::size_t size, TZpInflater* inflater = nullptr,
                            uint32_t* crc = nullptr) {
  TMemoryStream in, out;
  in.WriteBuffer(packed.data(), static_cast<int64_t>(packed.size()));
  in.SetPosition(0);
  TZpUnzipHelper u(&in, &out, nullptr);
  u.SetCompressedSize(static_cast<int64_t>(packed.size()));
  u.SetUncompressedSize(static_cast<int64_t>(size));
  u.SetMethod(ZpMethodInflate);
  u.SetInflater(inflater);
  const uint32_t got = u.Execute();
  if (crc) *crc = got;
  return TBytes(out.Memory(), out.Memory() + out.Size());
}
