// The codecs' quick paths: short-period copies, matches that cross the input and output buffer
// ends, and the greedy levels, each checked byte for byte against zlib.
#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <random>

#include "platform/rtl/Streams.h"
#include "tests/zip/engine/ZlibPeer.h"
#include "tests/zip/engine/ZpCodecCorpus.h"
#include "zip/engine/ZpCrc32.h"
#include "zip/engine/ZpInflater.h"
#include "zip/engine/ZpUnzipHelper.h"
#include "zip/engine/ZpZipHelper.h"

namespace {

// Runs of every period from 1 to 12, of lengths from 3 to well past 258, between random bytes:
// each run is a match at a distance below 8 or just above.
TBytes ShortPeriods(std::size_t size) {
  std::mt19937 gen(11);
  TBytes out;
  while (out.size() < size) {
    const unsigned period = 1 + gen() % 12;
    const unsigned run = 3 + gen() % 600;
    for (unsigned i = 0; i < period; ++i) out.push_back(static_cast<uint8_t>(gen()));
    for (unsigned i = 0; i < run; ++i) out.push_back(out[out.size() - period]);
    for (unsigned i = gen() % 5; i > 0; --i) out.push_back(static_cast<uint8_t>(gen()));
  }
  out.resize(size);
  return out;
}

// Inflated by the engine, whose CRC must be that of what it wrote.
TBytes OurInflate(const TBytes& packed, std::size_t size) {
  uint32_t crc = 0;
  TBytes data = EngineInflate(packed, size, nullptr, &crc);
  EXPECT_EQ(crc, ZpCrc32(data.data(), data.size()));
  return data;
}

}  // namespace

TEST(CodecFastPath, ShortPeriodCopiesAndBufferEndsDecodeExactly) {
  // 3 MiB crosses the 256 KiB output flush and the 32 KiB input reads many times over.
  const std::vector<TCorpusItem> data = {{"short periods", ShortPeriods(3u << 20)},
                                         {"binary", BinaryLike(1u << 20)},
                                         {"hot text", HotLikeText(1u << 20)}};
  // Both builds of the decoding loop, where the processor has the wide one.
  for (bool wide : {true, false}) {
    TZpInflater::AllowWideShifts = wide;
    for (const auto& item : data)
      for (int level : {1, 6, 9}) {
        SCOPED_TRACE(item.Name + " zlib level " + std::to_string(level) + (wide ? " wide" : " plain"));
        const TBytes packed = ZlibDeflate(item.Data, level);
        EXPECT_TRUE(OurInflate(packed, item.Data.size()) == item.Data);
      }
  }
  TZpInflater::AllowWideShifts = true;
}

TEST(CodecFastPath, EveryLevelRoundTripsThroughZlibAndStaysNearItsSize) {
  const std::vector<TCorpusItem> data = {{"short periods", ShortPeriods(1u << 20)},
                                         {"binary", BinaryLike(1u << 20)},
                                         {"hot text", HotLikeText(2u << 20)}};
  for (const auto& item : data)
    for (int level = 1; level <= 9; ++level) {
      SCOPED_TRACE(item.Name + " level " + std::to_string(level));
      const TBytes packed = EngineDeflate(item.Data, level);
      TBytes back;
      ASSERT_TRUE(ZlibInflate(packed, back, item.Data.size()));
      ASSERT_TRUE(back == item.Data);
      ASSERT_TRUE(OurInflate(packed, item.Data.size()) == item.Data);
      EXPECT_LE(static_cast<double>(packed.size()), ZlibDeflate(item.Data, level).size() * 1.01);
    }
}

TEST(CodecFastPath, RoundTripsWithLibdeflateBothWays) {
  std::vector<TCorpusItem> data = CodecCorpus();
  data.push_back({"short periods", ShortPeriods(1u << 20)});
  libdeflate_decompressor* dec = libdeflate_alloc_decompressor();
  for (const auto& item : data) {
    for (int level : {1, 3, 5, 6, 9}) {
      SCOPED_TRACE(item.Name + " ours at level " + std::to_string(level));
      const TBytes packed = EngineDeflate(item.Data, level);
      TBytes back(item.Data.size() + 1);
      std::size_t got = 0;
      ASSERT_EQ(libdeflate_deflate_decompress(dec, packed.data(), packed.size(), back.data(), back.size(), &got),
                LIBDEFLATE_SUCCESS);
      back.resize(got);
      ASSERT_TRUE(back == item.Data);
    }
    for (int level : {1, 6, 9, 12}) {
      SCOPED_TRACE(item.Name + " libdeflate at level " + std::to_string(level));
      libdeflate_compressor* enc = libdeflate_alloc_compressor(level);
      TBytes packed(libdeflate_deflate_compress_bound(enc, item.Data.size()));
      packed.resize(libdeflate_deflate_compress(enc, item.Data.data(), item.Data.size(), packed.data(), packed.size()));
      libdeflate_free_compressor(enc);
      ASSERT_FALSE(packed.empty());
      ASSERT_TRUE(OurInflate(packed, item.Data.size()) == item.Data);
    }
  }
  libdeflate_free_decompressor(dec);
}
