#include <gtest/gtest.h>
#include <zlib.h>

#include "platform/rtl/Streams.h"
#include "tests/zip/engine/ZlibPeer.h"
#include "tests/zip/engine/ZpCodecCorpus.h"
#include "zip/engine/ZpCrc32.h"
#include "zip/engine/ZpExceptions.h"
#include "zip/engine/ZpZDecoder.h"
#include "zip/engine/ZpZipHelper.h"

namespace {

TBytes StreamBytes(TMemoryStream& s) { return TBytes(s.Memory(), s.Memory() + s.Size()); }

TMemoryStream StreamOf(const TBytes& data) {
  TMemoryStream s;
  if (!data.empty()) s.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  s.SetPosition(0);
  return s;
}

struct TPacked {
  TBytes Data;
  uint32_t CRC;
  int Method;
  bool Text;
};

TPacked Pack(const TBytes& data, int method, int level) {
  TMemoryStream src = StreamOf(data);
  TMemoryStream out;
  TZpZipHelper z(&src, nullptr, &out);
  z.SetMethod(method);
  z.SetLevel(level);
  z.Execute();
  EXPECT_EQ(z.SourceSize(), static_cast<int64_t>(data.size()));
  EXPECT_EQ(z.CompressedSize(), out.Size());
  return {StreamBytes(out), z.CRC(), z.Method(), z.IsText()};
}

}  // namespace

TEST(Deflate, OutputInflatesWithZlibAtEveryLevelOverTheCorpus) {
  for (const auto& item : CodecCorpus()) {
    const uint32_t crc = ZpCrc32(item.Data.data(), item.Data.size());
    for (int level = 1; level <= 9; ++level) {
      if (item.Data.size() > (1u << 20) && level % 2 == 0) continue;  // the big one at 1, 3, 5, 7, 9
      SCOPED_TRACE(item.Name + " level " + std::to_string(level));
      const TPacked p = Pack(item.Data, ZpMethodDeflated, level);
      EXPECT_EQ(p.Method, ZpMethodDeflated);
      EXPECT_EQ(p.CRC, crc);
      TBytes back;
      ASSERT_TRUE(ZlibInflate(p.Data, back, item.Data.size()));
      EXPECT_TRUE(back == item.Data);
    }
  }
}

TEST(Deflate, SizesStayCloseToZlib) {
  const TBytes text = HotLikeText(2u << 20);
  for (int level : {1, 3, 5, 9}) {
    const double theirs = static_cast<double>(ZlibDeflate(text, level).size());
    const double ours = static_cast<double>(Pack(text, ZpMethodDeflated, level).Data.size());
    EXPECT_LE(ours, theirs * 1.01) << "level " << level;
  }
}

TEST(Deflate, BestMethodStoresWhatDoesNotShrink) {
  // Empty and incompressible sources are stored; the stored bytes are the source itself.
  for (const TBytes& data : {TBytes{}, RandomBytes(70000, 5)}) {
    const TPacked p = Pack(data, ZpMethodBest, 5);
    EXPECT_EQ(p.Method, ZpMethodStored);
    EXPECT_TRUE(p.Data == data);
    EXPECT_EQ(p.CRC, ZpCrc32(data.data(), data.size()));
  }
  const TPacked empty = Pack({}, ZpMethodDeflated, 5);
  EXPECT_EQ(empty.Method, ZpMethodDeflated);
  EXPECT_EQ(empty.Data, (TBytes{0x03, 0x00}));  // one final fixed block holding only its end code
  EXPECT_EQ(Pack(HotLikeText(5000), ZpMethodBest, 5).Method, ZpMethodDeflated);
}

TEST(Deflate, StoredFallbackCutsTheLongerDeflateOutputAndRewritesTheHeader) {
  const TBytes data = RandomBytes(40000, 11);
  const uint32_t crc = ZpCrc32(data.data(), data.size());
  TMemoryStream src = StreamOf(data);
  TMemoryStream out;
  out.WriteBuffer("LEAD", 4);
  TZpZDecoder enc("secret", true, crc, &out);
  enc.WriteHeader();
  TZpZipHelper z(&src, &enc, &out);
  z.SetMethod(ZpMethodBest);
  z.Execute();
  EXPECT_EQ(z.Method(), ZpMethodStored);
  EXPECT_EQ(z.CRC(), crc);
  ASSERT_EQ(out.Size(), static_cast<int64_t>(4 + 12 + data.size()));
  out.SetPosition(4);
  TZpZDecoder dec("secret", true, crc, &out);
  dec.VerifyHeader();
  TBytes plain(data.size());
  out.ReadBuffer(plain.data(), static_cast<int64_t>(plain.size()));
  dec.DecodeBuffer(plain.data(), plain.size());
  EXPECT_TRUE(plain == data);
}

TEST(Deflate, LevelsOutsideTheTableCompressLikeLevelFive) {
  const TBytes text = HotLikeText(100000);
  const TBytes five = Pack(text, ZpMethodDeflated, 5).Data;
  EXPECT_EQ(Pack(text, ZpMethodDeflated, 12).Data, five);
  TMemoryStream src = StreamOf(text);
  TMemoryStream out;
  TZpZipHelper z(&src, nullptr, &out);
  z.SetDeflateOption(doNormal);
  z.Execute();
  EXPECT_TRUE(StreamBytes(out) == five);
}

TEST(Deflate, DetectsTextAndRefusesUnknownMethods) {
  EXPECT_TRUE(Pack(HotLikeText(10000), ZpMethodDeflated, 5).Text);
  EXPECT_FALSE(Pack(RandomBytes(10000), ZpMethodDeflated, 5).Text);
  TMemoryStream src, out;
  TZpZipHelper z(&src, nullptr, &out);
  z.SetMethod(12);
  EXPECT_THROW(z.Execute(), EZpZipUnsupported);
}

namespace {
class TShortStream : public TMemoryStream {
public:
  int64_t Write(const void* buffer, int64_t count) override {
    return TMemoryStream::Write(buffer, count > 1 ? count - 1 : count);
  }
};
}  // namespace

TEST(Deflate, AShortWriteRaisesStreamFull) {
  const TBytes text = HotLikeText(10000);
  TMemoryStream src = StreamOf(text);
  TShortStream out;
  TZpZipHelper z(&src, nullptr, &out);
  EXPECT_THROW(z.Execute(), EZpZipStreamFull);
}
