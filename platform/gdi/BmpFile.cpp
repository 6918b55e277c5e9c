#include "platform/gdi/BmpFile.h"

#include <png.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr uint16_t BmpSignature = 0x4D42;  // "BM"
constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_BITFIELDS = 3;
constexpr uint32_t CoreHeaderSize = 12;
constexpr uint32_t InfoHeaderSize = 40;
constexpr uint32_t FileHeaderSize = 14;

[[noreturn]] void Invalid() { throw EInvalidGraphic("Bitmap image is not valid"); }

uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }
void Put16(std::vector<uint8_t>& v, uint16_t x) { v.push_back(uint8_t(x)); v.push_back(uint8_t(x >> 8)); }
void Put32(std::vector<uint8_t>& v, uint32_t x) { for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i))); }

void ReadExact(TStream& s, void* buf, int64_t n) {
  if (s.Read(buf, n) != n) Invalid();
}

}  // namespace

TGdiBitmap ReadBmp(TStream& stream) {
  int64_t start = stream.Position();
  uint8_t fh[FileHeaderSize];
  ReadExact(stream, fh, sizeof fh);
  if (Get16(fh) != BmpSignature) Invalid();
  uint32_t bitsOffset = Get32(fh + 10);

  uint8_t sizeBytes[4];
  ReadExact(stream, sizeBytes, 4);
  uint32_t headerSize = Get32(sizeBytes);
  if (headerSize != CoreHeaderSize && (headerSize < InfoHeaderSize || headerSize > 256)) Invalid();
  std::vector<uint8_t> header(headerSize);
  std::memcpy(header.data(), sizeBytes, 4);
  ReadExact(stream, header.data() + 4, headerSize - 4);

  int64_t width, height;
  int bpp;
  uint32_t compression = BI_RGB, colorsUsed = 0;
  bool core = headerSize == CoreHeaderSize;
  if (core) {
    width = Get16(&header[4]);
    height = int16_t(Get16(&header[6]));
    if (Get16(&header[8]) != 1) Invalid();
    bpp = Get16(&header[10]);
  } else {
    width = int32_t(Get32(&header[4]));
    height = int32_t(Get32(&header[8]));
    if (Get16(&header[12]) != 1) Invalid();
    bpp = Get16(&header[14]);
    compression = Get32(&header[16]);
    colorsUsed = Get32(&header[32]);
  }
  bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535) Invalid();
  if (!TGdiBitmap::ValidDepth(bpp)) Invalid();
  // 32-bit bitfields in the usual BGR order read like plain 32-bit pixels.
  if (compression == BI_BITFIELDS && bpp == 32) {
    uint8_t masks[12];
    if (headerSize >= 52) {
      std::memcpy(masks, &header[40], 12);
    } else {
      ReadExact(stream, masks, 12);
    }
    if (Get32(masks) != 0xFF0000 || Get32(masks + 4) != 0xFF00 || Get32(masks + 8) != 0xFF) Invalid();
  } else if (compression != BI_RGB) {
    Invalid();
  }

  std::vector<TColorRef> palette;
  if (bpp <= 8) {
    uint32_t count = colorsUsed ? colorsUsed : (1u << bpp);
    if (count > (1u << bpp)) Invalid();
    int entry = core ? 3 : 4;
    std::vector<uint8_t> raw(size_t(count) * entry);
    ReadExact(stream, raw.data(), int64_t(raw.size()));
    for (uint32_t i = 0; i < count; ++i) palette.push_back(RGB(raw[i * entry + 2], raw[i * entry + 1], raw[i * entry]));
  }

  int64_t stride = TGdiBitmap::DibStride(int(width), bpp);
  int64_t dataSize = stride * height;
  if (bitsOffset != 0) {
    int64_t target = start + bitsOffset;
    if (target < stream.Position()) Invalid();
    stream.SetPosition(target);
  }
  if (dataSize > stream.Size() - stream.Position()) Invalid();
  std::vector<uint8_t> bits(static_cast<size_t>(dataSize));
  ReadExact(stream, bits.data(), dataSize);

  // A 1-bit palette keeps its order, so bit 0 stays entry 0.
  TGdiBitmap bmp(int(width), int(height), bpp, palette);
  bmp.SetDIBits(bits.data(), bits.size(), bpp, topDown, palette);
  return bmp;
}

TGdiBitmap LoadBmpFile(const AnsiString& fileName) {
  TFileStream fs(fileName, fmOpenRead | fmShareDenyWrite);
  return ReadBmp(fs);
}

void WriteBmp(const TGdiBitmap& bitmap, TStream& stream) {
  int bpp = bitmap.BitsPerPixel();
  std::vector<TColorRef> palette;
  std::vector<uint8_t> bits = bitmap.GetDIBits(bpp, false, &palette);
  uint32_t paletteBytes = uint32_t(palette.size()) * 4;
  uint32_t offset = FileHeaderSize + InfoHeaderSize + paletteBytes;
  std::vector<uint8_t> out;
  out.reserve(offset + bits.size());
  Put16(out, BmpSignature);
  Put32(out, uint32_t(offset + bits.size()));
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, InfoHeaderSize);
  Put32(out, uint32_t(bitmap.Width()));
  Put32(out, uint32_t(bitmap.Height()));
  Put16(out, 1);
  Put16(out, uint16_t(bpp));
  Put32(out, BI_RGB);
  Put32(out, uint32_t(bits.size()));
  Put32(out, 3780);  // 96 pixels per inch
  Put32(out, 3780);
  Put32(out, uint32_t(palette.size()));
  Put32(out, 0);
  for (TColorRef c : palette) {
    out.push_back(GetBValue(c));
    out.push_back(GetGValue(c));
    out.push_back(GetRValue(c));
    out.push_back(0);
  }
  out.insert(out.end(), bits.begin(), bits.end());
  stream.WriteBuffer(out.data(), int64_t(out.size()));
}

void SaveBmpFile(const TGdiBitmap& bitmap, const AnsiString& fileName) {
  TFileStream fs(fileName, fmCreate);
  WriteBmp(bitmap, fs);
}

void SavePngFile(const TGdiBitmap& bitmap, const AnsiString& fileName) {
  std::FILE* f = std::fopen(fileName.c_str(), "wb");
  if (!f) throw EFCreateError::ForFile(fileName);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    throw EFCreateError::ForFile(fileName);
  }
  std::vector<uint8_t> row(size_t(bitmap.Width()) * 3 + 1);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    throw EWriteError("Stream write error");
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, png_uint_32(std::max(1, bitmap.Width())), png_uint_32(std::max(1, bitmap.Height())), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < std::max(1, bitmap.Height()); ++y) {
    for (int x = 0; x < std::max(1, bitmap.Width()); ++x) {
      TColorRef c = bitmap.Empty() ? 0 : bitmap.Row(y)[x];
      row[size_t(x) * 3] = GetRValue(c);
      row[size_t(x) * 3 + 1] = GetGValue(c);
      row[size_t(x) * 3 + 2] = GetBValue(c);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  if (std::fclose(f) != 0) throw EWriteError("Stream write error");
}
