#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <zlib.h>

#include "platform/rtl/Streams.h"
#include "tests/zip/engine/ZpCodecCorpus.h"
#include "zip/engine/ZpCrc32.h"
#include "zip/engine/ZpExceptions.h"
#include "zip/engine/ZpUnzipHelper.h"

namespace {

// Raw deflate from zlib, fed in pieces with a flush mode between them.
TBytes ZlibDeflate(const TBytes& data, int level, int strategy, int windowBits, int flush) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -windowBits, 8, strategy), Z_OK);
  // Fixed codes can grow random data by an eighth, and every flush adds a few bytes.
  TBytes out(data.size() * 9 / 8 + data.size() / 500 * 8 + 4096);
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const std::size_t piece = 7001;
  std::size_t at = 0;
  do {
    const std::size_t n = std::min(piece, data.size() - at);
    z.next_in = const_cast<Bytef*>(data.data() + at);
    z.avail_in = static_cast<uInt>(n);
    at += n;
    deflate(&z, at == data.size() ? Z_FINISH : flush);
  } while (at < data.size());
  while (deflate(&z, Z_FINISH) == Z_OK) {
  }
  EXPECT_EQ(z.avail_in, 0u);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

struct TUnpacked {
  TBytes Data;
  uint32_t CRC;
};

TUnpacked Unpack(const TBytes& packed, int64_t declared, int method = ZpMethodInflate) {
  TMemoryStream in;
  if (!packed.empty()) in.WriteBuffer(packed.data(), static_cast<int64_t>(packed.size()));
  in.SetPosition(0);
  TMemoryStream out;
  TZpUnzipHelper u(&in, &out, nullptr);
  u.SetCompressedSize(static_cast<int64_t>(packed.size()));
  u.SetUncompressedSize(declared);
  u.SetMethod(method);
  const uint32_t crc = u.Execute();
  return {TBytes(out.Memory(), out.Memory() + out.Size()), crc};
}

}  // namespace

TEST(Inflate, ReadsZlibStreamsOfEveryLevelStrategyWindowAndFlush) {
  const std::vector<TCorpusItem> corpus = {{"empty", {}},
                                           {"one byte", {7}},
                                           {"hot text", HotLikeText(120000)},
                                           {"binary", BinaryLike(80000)},
                                           {"random", RandomBytes(70000)},
                                           {"zeros", TBytes(100000, 0)}};
  const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
  const int flushes[] = {Z_NO_FLUSH, Z_SYNC_FLUSH, Z_FULL_FLUSH, Z_PARTIAL_FLUSH, Z_BLOCK};
  for (const auto& item : corpus) {
    const uint32_t crc = ZpCrc32(item.Data.data(), item.Data.size());
    for (int level = 0; level <= 9; ++level)
      for (int strategy : strategies)
        for (int windowBits : {9, 12, 15})
          for (int flush : flushes) {
            if (item.Data.size() > 70000 && windowBits == 12) continue;  // keeps the run short
            const TBytes packed = ZlibDeflate(item.Data, level, strategy, windowBits, flush);
            SCOPED_TRACE(item.Name + " " + std::to_string(level) + " " + std::to_string(strategy) + " " +
                         std::to_string(windowBits) + " " + std::to_string(flush));
            TUnpacked u;
            ASSERT_NO_THROW(u = Unpack(packed, static_cast<int64_t>(item.Data.size())));
            ASSERT_TRUE(u.Data == item.Data) << item.Name << " level " << level << " strategy " << strategy
                                             << " window " << windowBits << " flush " << flush;
            ASSERT_EQ(u.CRC, crc);
          }
  }
}

TEST(Inflate, ReadsSeveralMiB) {
  const TBytes data = HotLikeText(6u << 20);
  EXPECT_TRUE(Unpack(ZlibDeflate(data, 6, Z_DEFAULT_STRATEGY, 15, Z_NO_FLUSH), static_cast<int64_t>(data.size())).Data ==
              data);
}

// Short items get tables without literal pairs, long ones with them; items around the point where
// that changes, and blocks cut short by flushes, must decode the same either way.
TEST(Inflate, ShortAndLongItemsDecodeAlike) {
  const TBytes text = HotLikeText(40000);
  for (std::size_t size : {60, 300, 900, 2500, 5000, 7000, 12000, 40000})
    for (int level : {1, 6, 9})
      for (int flush : {Z_NO_FLUSH, Z_FULL_FLUSH}) {
        const TBytes data(text.end() - std::ptrdiff_t(size), text.end());
        const TBytes packed = ZlibDeflate(data, level, Z_DEFAULT_STRATEGY, 15, flush);
        SCOPED_TRACE(std::to_string(size) + " level " + std::to_string(level) + " flush " + std::to_string(flush));
        TUnpacked u;
        ASSERT_NO_THROW(u = Unpack(packed, static_cast<int64_t>(size)));
        EXPECT_TRUE(u.Data == data);
        EXPECT_EQ(u.CRC, ZpCrc32(data.data(), data.size()));
      }
}

TEST(Inflate, RejectsMalformedStreams) {
  const TBytes good = ZlibDeflate(HotLikeText(5000), 6, Z_DEFAULT_STRATEGY, 15, Z_NO_FLUSH);
  struct TCase {
    const char* Name;
    TBytes Packed;
    int64_t Declared;
  };
  std::vector<TCase> cases = {
      {"reserved block type", {0x07, 0x00}, 10},
      {"stored length and complement differ", {0x01, 0x05, 0x00, 0x00, 0x00, 'a', 'b', 'c', 'd', 'e'}, 5},
      {"stored block cut short", {0x01, 0x05, 0x00, 0xFA, 0xFF, 'a', 'b'}, 5},
      // Dynamic header: 19 code-length codes all of length 1 is over-subscribed.
      {"over-subscribed code lengths", {0x05, 0xE0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}, 10},
      // Fixed block: literal 'a', then length 3 at distance 2, one byte into the data.
      {"distance past the start", {0x4B, 0x04, 0x02, 0x08, 0x00}, 4},
      {"empty input", {}, 1},
      {"truncated", TBytes(good.begin(), good.begin() + static_cast<long>(good.size() / 2)), 5000},
      {"more output than declared", good, 4999},
      {"less output than declared", good, 5001},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_THROW(Unpack(c.Packed, c.Declared), EZpException);
  }
  EXPECT_THROW(Unpack({0x07, 0x00}, 10), EZpZipInflateBlock);
}

TEST(Inflate, ReadsOnlyTheCompressedSize) {
  TBytes packed = ZlibDeflate(HotLikeText(3000), 6, Z_DEFAULT_STRATEGY, 15, Z_NO_FLUSH);
  const std::size_t real = packed.size();
  packed.resize(real + 100, 0xEE);
  TMemoryStream in;
  in.WriteBuffer(packed.data(), static_cast<int64_t>(packed.size()));
  in.SetPosition(0);
  TMemoryStream out;
  TZpUnzipHelper u(&in, &out, nullptr);
  u.SetCompressedSize(static_cast<int64_t>(real));
  u.SetUncompressedSize(3000);
  u.SetMethod(ZpMethodInflate);
  u.Execute();
  EXPECT_EQ(in.Position(), static_cast<int64_t>(real));
  EXPECT_EQ(out.Size(), 3000);
}

TEST(Inflate, StoredItemsAndUnknownMethods) {
  const TBytes data = BinaryLike(10000);
  const TUnpacked u = Unpack(data, 10000, 0);
  EXPECT_TRUE(u.Data == data);
  EXPECT_EQ(u.CRC, ZpCrc32(data.data(), data.size()));
  EXPECT_THROW(Unpack(data, 9999, 0), EZpException);
  for (int method : {7, 9, 12, 14, 99}) EXPECT_THROW(Unpack(data, 10000, method), EZpZipInvalidMethod);
}

namespace {

// Inflates packed into out from its current position; returns the CRC.
uint32_t InflateInto(const TBytes& packed, int64_t declared, TStream& out,
                     std::function<void(int, bool&)> progress = nullptr) {
  TMemoryStream in;
  in.WriteBuffer(packed.data(), static_cast<int64_t>(packed.size()));
  in.SetPosition(0);
  TZpUnzipHelper u(&in, &out, nullptr);
  u.SetCompressedSize(static_cast<int64_t>(packed.size()));
  u.SetUncompressedSize(declared);
  u.SetMethod(ZpMethodInflate);
  u.OnProgress = std::move(progress);
  return u.Execute();
}

TBytes Concat(TBytes a, const TBytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace

// A memory stream is decoded into in place: what it held before the position and past the
// item must come through, whether it grows or not, and any other stream gets the same bytes.
TEST(Inflate, DecodesIntoStreamsAroundWhatTheyHold) {
  const TBytes data = Concat(HotLikeText(1500000), BinaryLike(300000));
  const TBytes packed = ZlibDeflate(data, 6, Z_DEFAULT_STRATEGY, 15, Z_NO_FLUSH);
  const int64_t n = static_cast<int64_t>(data.size());
  const uint32_t crc = ZpCrc32(data.data(), data.size());
  struct TCase {
    const char* Name;
    int64_t Held, At;
  };
  const TCase cases[] = {{"empty", 0, 0},           {"appended", 1000, 1000},        {"past the end", 10, 100},
                         {"within, bytes after", n + 5000, 7}, {"held bytes end inside the item", n / 2, 3},
                         {"ends exactly at the held end", n + 20, 20}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TMemoryStream out;
    const TBytes held = RandomBytes(static_cast<std::size_t>(c.Held), 9);
    if (c.Held) out.WriteBuffer(held.data(), c.Held);
    out.SetPosition(c.At);
    ASSERT_EQ(InflateInto(packed, n, out), crc);
    const int64_t end = c.At + n;
    ASSERT_EQ(out.Size(), std::max(c.Held, end));
    EXPECT_EQ(out.Position(), end);
    const uint8_t* m = out.Memory();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), m + c.At));
    for (int64_t i = 0; i < c.At; ++i)
      ASSERT_EQ(m[i], i < c.Held ? held[static_cast<std::size_t>(i)] : 0) << i;
    for (int64_t i = end; i < c.Held; ++i) ASSERT_EQ(m[i], held[static_cast<std::size_t>(i)]) << i;
  }
  TStringStream text;
  ASSERT_EQ(InflateInto(packed, n, text), crc);
  EXPECT_TRUE(text.DataString() == std::string(data.begin(), data.end()));
}

// Data that fails part way leaves only bytes that were decoded, never the room made for more; progress
// is told as the data comes, and an abort stops it the same way.
TEST(Inflate, StopsCleanlyPartWayAndReportsProgress) {
  const TBytes data = HotLikeText(3000000);
  const TBytes packed = ZlibDeflate(data, 6, Z_DEFAULT_STRATEGY, 15, Z_NO_FLUSH);
  const int64_t n = static_cast<int64_t>(data.size());
  TBytes cut = packed;
  cut.resize(cut.size() * 2 / 3);
  cut.resize(cut.size() + 64, 0xFF);  // a block type 3 follows soon enough, or a bad code
  TMemoryStream broken;
  EXPECT_THROW(InflateInto(cut, n, broken), EZpException);
  EXPECT_LT(broken.Size(), n);
  EXPECT_EQ(broken.Position(), broken.Size());
  EXPECT_GT(broken.Size(), n / 3);

  std::vector<int> seen;
  TMemoryStream out;
  InflateInto(packed, n, out, [&](int percent, bool&) { seen.push_back(percent); });
  ASSERT_GT(seen.size(), 2u);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(seen.back(), 100);

  TMemoryStream stopped;
  EXPECT_THROW(InflateInto(packed, n, stopped, [](int percent, bool& abort) { abort = percent >= 20; }),
               EZpUserAbort);
  EXPECT_LT(stopped.Size(), n);
  EXPECT_TRUE(std::equal(stopped.Memory(), stopped.Memory() + stopped.Size(), data.begin()));
}

TEST(Crc32, MatchesZlibOverOddLengthsAndAlignments) {
  const TBytes data = RandomBytes(5000, 4);
  EXPECT_EQ(ZpCrc32("123456789", 9), 0xCBF43926u);
  for (bool wide : {true, false}) {
    ZpCrcAllowWide = wide;
    for (std::size_t start : {0, 1, 3, 7})
      for (std::size_t len : {0, 1, 15, 16, 17, 255, 256, 257, 300, 511, 512, 527, 640, 1000, 4096, 4993}) {
        const uint32_t theirs = static_cast<uint32_t>(crc32(0, data.data() + start, static_cast<uInt>(len)));
        EXPECT_EQ(ZpCrc32(data.data() + start, len), theirs) << start << "/" << len << (wide ? " wide" : "");
      }
  }
  ZpCrcAllowWide = true;
  uint32_t running = ZpCrcStart;
  for (uint8_t b : data) running = ZpUpdateCrc32Byte(running, b);
  EXPECT_EQ(running ^ 0xFFFFFFFFu, ZpCrc32(data.data(), data.size()));
}

namespace {

// Packs codes of the given width least significant bit first, as the older methods store them.
TBytes PackCodes(const std::vector<std::pair<uint32_t, int>>& codes) {
  TBytes out;
  uint64_t buf = 0;
  int n = 0;
  for (auto [code, width] : codes) {
    buf |= static_cast<uint64_t>(code) << n;
    n += width;
    while (n >= 8) {
      out.push_back(static_cast<uint8_t>(buf));
      buf >>= 8;
      n -= 8;
    }
  }
  if (n) out.push_back(static_cast<uint8_t>(buf));
  return out;
}

}  // namespace

TEST(Decompress, UnshrinkBuildsItsDictionaryIncludingTheCodeBeingDefined) {
  // A, B, AB (257), then 259 before it exists: the previous string plus its own first byte.
  const TBytes packed = PackCodes({{65, 9}, {66, 9}, {257, 9}, {259, 9}});
  EXPECT_EQ(Unpack(packed, 7, 1).Data, (TBytes{'A', 'B', 'A', 'B', 'A', 'B', 'A'}));
  // A code far beyond the next free one, and a control code other than 1 or 2.
  EXPECT_THROW(Unpack(PackCodes({{65, 9}, {400, 9}}), 5, 1), EZpZipInflateBlock);
  EXPECT_THROW(Unpack(PackCodes({{65, 9}, {256, 9}, {7, 9}}), 5, 1), EZpZipInflateBlock);
  // Input that ends before the declared size.
  EXPECT_THROW(Unpack(PackCodes({{65, 9}}), 5, 1), EZpReadError);
}

TEST(Decompress, UnreduceExpandsCopiesAndEscapes) {
  // Empty follower sets (256 x 6 bits), then plain bytes: x y, copy 5 from 2 back, an escaped DLE.
  TBytes packed(192, 0);
  for (int b : {120, 121, 144, 2, 1, 144, 0}) packed.push_back(static_cast<uint8_t>(b));
  const TBytes expected = {'x', 'y', 'x', 'y', 'x', 'y', 'x', 144};
  for (int method = 2; method <= 5; ++method) {
    // Factor 1..4 keeps 7..4 length bits; a value of 2 is a length of 2 under each.
    EXPECT_EQ(Unpack(packed, 8, method).Data, expected) << method;
  }
  TBytes far(192, 0);
  for (int b : {120, 144, 2, 5}) far.push_back(static_cast<uint8_t>(b));
  EXPECT_THROW(Unpack(far, 6, 2), EZpZipInflateBlock);
}

TEST(Decompress, UnreduceCopiesAcrossTheSlidingWindowOfALongOutput) {
  // Factor 4: after DLE, 0xFF holds length 15 and the high distance bits; the next bytes add to
  // the length and give the low distance bits.
  TBytes packed(192, 0);
  TBytes expected;
  std::mt19937 gen(11);
  auto literals = [&](int n) {
    for (int i = 0; i < n; ++i) {
      const auto b = static_cast<uint8_t>(gen() % 144);
      packed.push_back(b);
      expected.push_back(b);
    }
  };
  auto copy = [&](uint8_t v, uint8_t extra, uint8_t low) {
    for (uint8_t b : {uint8_t(144), v, extra, low}) packed.push_back(b);
    const std::size_t distance = std::size_t((v >> 4) << 8) + low + 1, length = std::size_t(v & 15) + extra + 3;
    for (std::size_t i = 0; i < length; ++i) expected.push_back(expected[expected.size() - distance]);
  };
  literals(50000);
  copy(0xFF, 200, 0xFF);  // 218 bytes from 4096 back
  literals(30000);
  copy(0x0F, 0, 0);       // 18 repeats of the last byte
  EXPECT_EQ(Unpack(packed, int64_t(expected.size()), 5).Data, expected);
}

TEST(Decompress, ExplodeWithTwoTreesAndTheSmallDictionary) {
  std::vector<std::pair<uint32_t, int>> codes;
  // Length and distance trees: 64 codes of 6 bits each, described as four runs of 16.
  for (int tree = 0; tree < 2; ++tree) {
    codes.push_back({3, 8});
    for (int i = 0; i < 4; ++i) codes.push_back({0xF5, 8});
  }
  // With equal lengths, symbol s is sent as its own 6 bits, first bit first.
  auto symbol = [&codes](uint32_t s) {
    for (int b = 5; b >= 0; --b) codes.push_back({(s >> b) & 1, 1});
  };
  auto literal = [&codes](uint8_t c) {
    codes.push_back({1, 1});
    codes.push_back({c, 8});
  };
  literal('a');
  literal('b');
  codes.push_back({0, 1});  // a copy: distance 2 (low bits 1, high 0), length 3 + 2
  codes.push_back({1, 6});
  symbol(0);
  symbol(3);
  const TBytes packed = PackCodes(codes);
  TMemoryStream in;
  in.WriteBuffer(packed.data(), static_cast<int64_t>(packed.size()));
  in.SetPosition(0);
  TMemoryStream out;
  TZpUnzipHelper u(&in, &out, nullptr);
  u.SetCompressedSize(in.Size());
  u.SetUncompressedSize(7);
  u.SetMethod(6);
  u.SetDictionarySize(4096);
  u.SetTreeCount(2);
  const TBytes expected = {'a', 'b', 'a', 'b', 'a', 'b', 'a'};
  EXPECT_EQ(u.Execute(), ZpCrc32(expected.data(), expected.size()));
  EXPECT_EQ(TBytes(out.Memory(), out.Memory() + out.Size()), expected);
  // A tree describing more values than it has is refused.
  EXPECT_THROW(Unpack(PackCodes({{4, 8}, {0xF5, 8}, {0xF5, 8}, {0xF5, 8}, {0xF5, 8}, {0xF5, 8}}), 7, 6),
               EZpZipInflateBlock);
}
