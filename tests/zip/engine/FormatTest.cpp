#include <gtest/gtest.h>

#include "platform/rtl/Streams.h"
#include "zip/engine/ZipArchiveFormat.h"
#include "zip/engine/ZpExceptions.h"

namespace {

TEST(ZipArchiveFormat, HeadersRoundTripWithZeroBytesInVariableParts) {
  TZpZipDirectoryFileHeader h;
  h.VersionMadeBy = 20;
  h.VersionNeededToExtract = 20;
  h.CompressionMethod = 8;
  h.CRC32 = 0xDEADBEEF;
  h.CompressedSize = 123;
  h.UncompressedSize = 456;
  h.FileName = "dir/name.txt";
  h.ExtraField = std::string("\x55\x54\x05\x00\x00\x00\x00\x00\x00", 9);
  h.FileComment = std::string("a\0b", 3);
  h.RelativeOffset = 77;
  TMemoryStream m;
  h.SaveToStream(m);
  EXPECT_EQ(m.Size(), h.RecordSize());
  m.SetPosition(0);
  TZpZipDirectoryFileHeader back;
  back.LoadFromStream(m);
  EXPECT_TRUE(back.IsValid());
  EXPECT_EQ(back.ExtraField, h.ExtraField);
  EXPECT_EQ(back.FileComment, h.FileComment);
  EXPECT_EQ(back.CRC32, h.CRC32);
  EXPECT_EQ(back.RelativeOffset, 77u);

  // The same bytes are not a local header.
  m.SetPosition(0);
  TZpZipLocalFileHeader l;
  EXPECT_THROW(l.LoadFromStream(m), EZpZipInvalid);
  // A record cut short is the class library's read error.
  TMemoryStream cut;
  cut.Write(m.Memory(), 40);
  cut.SetPosition(0);
  EXPECT_THROW(back.LoadFromStream(cut), EReadError);
}

TEST(ZipArchiveFormat, DerivedHeaderProperties) {
  TZpZipLocalFileHeader h;
  h.CompressionMethod = 6;
  h.GeneralPurposeBitFlag = 0x0007;
  EXPECT_TRUE(h.Encrypted());
  EXPECT_EQ(h.DictionarySize(), 8192u);
  EXPECT_EQ(h.ShannonFanoTreeCount(), 3);
  h.GeneralPurposeBitFlag = 0;
  EXPECT_EQ(h.DictionarySize(), 4096u);
  EXPECT_EQ(h.ShannonFanoTreeCount(), 2);
  h.CompressionMethod = 8;
  EXPECT_EQ(h.DictionarySize(), 0u);
}

TEST(ZipArchiveFormat, FindsTheEndRecordFromTheBack) {
  TZpZipDirectoryFileFooter f;
  f.ZipfileComment = "plain comment";
  for (std::size_t lead : {0u, 1u, 6u, 7u, 34u, 100u, 5000u, 5001u}) {
    TMemoryStream m;
    std::string junk(lead, 'j');
    m.Write(junk.data(), int64_t(junk.size()));
    f.SaveToStream(m);
    int64_t found = FindCentralDirectoryTail(m);
    EXPECT_EQ(found, int64_t(lead)) << lead;
  }
  TMemoryStream bare;
  TZpZipDirectoryFileFooter().SaveToStream(bare);
  EXPECT_EQ(bare.Size(), 22);
  EXPECT_EQ(FindCentralDirectoryTail(bare), 0);
  TMemoryStream tiny;
  tiny.Write("PK\x05", 3);
  EXPECT_EQ(FindCentralDirectoryTail(tiny), -1);
}

TEST(ZipArchiveFormat, VolumeNamesAndLabels) {
  EXPECT_EQ(SpanVolumeName("/a/x.zip", 1), "/a/x.z01");
  EXPECT_EQ(SpanVolumeName("/a/x.zip", 42), "/a/x.z42");
  EXPECT_EQ(SpanVolumeName("/a/x", 3), "/a/x.03");
  EXPECT_EQ(SpanVolumeLabel(7), "PKBACK# 007");
}

}  // namespace
