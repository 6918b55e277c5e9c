// The compressor's output is fixed: the same input at the same level gives the same bytes, so an
// archive packed again is identical and speed work cannot change what is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>

#include "platform/rtl/Streams.h"
#include "tests/zip/engine/ZpCodecCorpus.h"
#include "zip/engine/ZpDeflater.h"
#include "zip/engine/ZpInflater.h"
#include "zip/engine/ZpUnzipHelper.h"
#include "zip/engine/ZpZipHelper.h"

namespace {

uint64_t Fnv1a(const uint8_t* p, std::size_t n) {
  uint64_t h = 1469598103934665603ull;
  for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

// Text, then structured binary, then noise, then text again: block cuts, stored blocks and
// window slides all happen inside one stream.
TBytes Changing() {
  TBytes out = HotLikeText(400000);
  const TBytes bin = BinaryLike(200000);
  const TBytes noise = RandomBytes(50000, 4);
  out.insert(out.end(), bin.begin(), bin.end());
  out.insert(out.end(), noise.begin(), noise.end());
  const TBytes tail = HotLikeText(150000);
  out.insert(out.end(), tail.begin(), tail.end());
  return out;
}

// Two letters at random: a handful of three-byte strings, each tens of thousands of times.
inline TBytes TwoLetters(std::size_t size) {
  std::mt19937 gen(5);
  TBytes out(size);
  for (auto& b : out) b = static_cast<uint8_t>('a' + (gen() & 1));
  return out;
}

// Stretches copied from earlier at all distances, between short runs of new symbols.
inline TBytes Copies(std::size_t size) {
  std::mt19937 gen(9);
  TBytes out;
  while (out.size() < size) {
    if (out.size() > 300 && gen() % 3 == 0) {
      const std::size_t len = 3 + gen() % 300;
      const std::size_t dist = 1 + gen() % std::min<std::size_t>(out.size(), 40000);
      for (std::size_t i = 0; i < len; ++i) out.push_back(out[out.size() - dist]);
    } else {
      out.push_back(static_cast<uint8_t>(gen() % 64));
    }
  }
  out.resize(size);
  return out;
}

struct TPinned {
  const char* Corpus;
  int Level;
  std::size_t Size;
  uint64_t Hash;
};

// Sizes and FNV-1a hashes of the raw deflate output.
constexpr TPinned Pinned[] = {
    {"hot text", 1, 73640, 0x12e6a8548d9f62c0ull},
    {"hot text", 2, 72561, 0x123df808ad19f64aull},
    {"hot text", 3, 71233, 0x35d6ae8c831b0f87ull},
    {"hot text", 4, 70301, 0xe8b6ab697dd4154dull},
    {"hot text", 5, 65274, 0x0ac3bdbc31e594d5ull},
    {"hot text", 6, 64554, 0x3449d66512ff44abull},
    {"hot text", 7, 63831, 0x5474e986e70f6d4full},
    {"hot text", 8, 63466, 0xaed39309d2f6a93full},
    {"hot text", 9, 63395, 0xaa6a857980f2c09bull},
    {"binary", 1, 80986, 0xfddcc26784cd86f0ull},
    {"binary", 2, 81160, 0xd214acf9e7a76bf1ull},
    {"binary", 3, 81578, 0x6b40e830e26be94aull},
    {"binary", 4, 81902, 0xae19996cbd1f55bdull},
    {"binary", 5, 82619, 0xa7b5d7fd4957dd80ull},
    {"binary", 6, 82667, 0xe31f24c2a426bc1full},
    {"binary", 7, 82667, 0xe31f24c2a426bc1full},
    {"binary", 8, 82667, 0xe31f24c2a426bc1full},
    {"binary", 9, 82667, 0xe31f24c2a426bc1full},
    {"random", 1, 70015, 0xa112489036c50c3full},
    {"random", 2, 70015, 0xa112489036c50c3full},
    {"random", 3, 70015, 0xa112489036c50c3full},
    {"random", 4, 70015, 0xa112489036c50c3full},
    {"random", 5, 70015, 0xa112489036c50c3full},
    {"random", 6, 70015, 0xa112489036c50c3full},
    {"random", 7, 70015, 0xa112489036c50c3full},
    {"random", 8, 70015, 0xa112489036c50c3full},
    {"random", 9, 70015, 0xa112489036c50c3full},
    {"zeros", 1, 454, 0x7eb144c124f54bbdull},
    {"zeros", 2, 454, 0x7eb144c124f54bbdull},
    {"zeros", 3, 454, 0x7eb144c124f54bbdull},
    {"zeros", 4, 114, 0xfab8fd81494ab42cull},
    {"zeros", 5, 114, 0xfab8fd81494ab42cull},
    {"zeros", 6, 114, 0xfab8fd81494ab42cull},
    {"zeros", 7, 114, 0xfab8fd81494ab42cull},
    {"zeros", 8, 114, 0xfab8fd81494ab42cull},
    {"zeros", 9, 114, 0xfab8fd81494ab42cull},
    {"changing", 1, 273764, 0xa8518a682a1db405ull},
    {"changing", 2, 271680, 0x8c1798802ceffd6eull},
    {"changing", 3, 268220, 0xb1ebaf6db37f0b00ull},
    {"changing", 4, 267485, 0x1bb4155648f78635ull},
    {"changing", 5, 258549, 0xf4f9cb94dd73c9b7ull},
    {"changing", 6, 257324, 0x3cc41364536dbbafull},
    {"changing", 7, 255970, 0xbfb30e5d00eb0065ull},
    {"changing", 8, 255307, 0x606ebe61b525ebb0ull},
    {"changing", 9, 255173, 0x1620f769e3c1422bull},
    {"two letters", 1, 133797, 0x78913b23f6268547ull},
    {"two letters", 2, 124349, 0x42b55e67bfe36694ull},
    {"two letters", 3, 120716, 0xfadb4244fd65876cull},
    {"two letters", 4, 102806, 0xeae23e0b6c3d0438ull},
    {"two letters", 5, 99935, 0x61de2c6e4043965full},
    {"two letters", 6, 95442, 0x421c8575104254f8ull},
    {"two letters", 7, 94145, 0x4fdd754ddbff9ab5ull},
    {"two letters", 8, 91658, 0x503b1e721bc0c4cfull},
    {"two letters", 9, 90203, 0x9360ceb78c888e09ull},
    {"copies", 1, 35018, 0x20f8b14616d43a3full},
    {"copies", 2, 34542, 0x604b495543e87adcull},
    {"copies", 3, 34262, 0xd829befe59fcbb13ull},
    {"copies", 4, 21375, 0x0b868aa809b531c3ull},
    {"copies", 5, 19808, 0xa021726955de89b1ull},
    {"copies", 6, 16972, 0x67dd41a1de9d0c4aull},
    {"copies", 7, 16377, 0xe231eec44796f530ull},
    {"copies", 8, 16254, 0xeeef11b950e7f94bull},
    {"copies", 9, 16252, 0x84f4e12f22b96487ull},
};

}  // namespace

TEST(DeflateBytes, EveryLevelWritesThePinnedBytes) {
  const std::vector<TCorpusItem> corpus = {{"hot text", HotLikeText(300000)},
                                           {"binary", BinaryLike(200000)},
                                           {"random", RandomBytes(70000, 2)},
                                           {"zeros", TBytes(100000, 0)},
                                           {"changing", Changing()},
                                           {"two letters", TwoLetters(600000)},
                                           {"copies", Copies(400000)}};
  const bool print = std::getenv("DEFLATE_BYTES_PRINT") != nullptr;
  std::size_t checked = 0;
  for (const auto& item : corpus)
    for (int level = 1; level <= 9; ++level) {
      TMemoryStream src, out;
      src.WriteBuffer(item.Data.data(), static_cast<int64_t>(item.Data.size()));
      src.SetPosition(0);
      TZpZipHelper z(&src, nullptr, &out);
      z.SetLevel(level);
      z.Execute();
      const std::size_t size = static_cast<std::size_t>(out.Size());
      const uint64_t hash = Fnv1a(out.Memory(), size);
      if (print) std::printf("    {\"%s\", %d, %zu, 0x%016llxull},\n", item.Name.c_str(), level, size,
                             static_cast<unsigned long long>(hash));
      for (const TPinned& p : Pinned)
        if (item.Name == p.Corpus && p.Level == level) {
          EXPECT_EQ(size, p.Size) << item.Name << " level " << level;
          EXPECT_EQ(hash, p.Hash) << item.Name << " level " << level;
          ++checked;
        }
    }
  EXPECT_EQ(checked, std::size(Pinned));
}

// An archive hands one compressor and one inflater from item to item: what an item leaves in
// their buffers (hash chains, window, tables) must not change the next item's bytes.
TEST(DeflateBytes, CodecsReusedFromItemToItemWriteAndReadWhatFreshOnesDo) {
  const std::vector<TCorpusItem> items = {{"changing", Changing()},      {"small text", HotLikeText(500)},
                                          {"small text again", HotLikeText(700)}, {"binary", BinaryLike(3000)},
                                          {"zeros", TBytes(5000, 0)},    {"hot text", HotLikeText(300000)},
                                          {"one byte", {0x41}},          {"empty", {}}};
  TZpDeflater deflater;
  TZpInflater inflater;
  for (int level : {9, 1, 6, 9})
    for (const auto& item : items) {
      SCOPED_TRACE(item.Name + " level " + std::to_string(level));
      const TBytes fresh = EngineDeflate(item.Data, level);
      ASSERT_EQ(EngineDeflate(item.Data, level, &deflater), fresh);
      ASSERT_EQ(EngineInflate(fresh, item.Data.size(), &inflater), item.Data);
    }
}
