#include "platform/win/Cursors.h"

#include <algorithm>
#include <array>
#include <deque>
#include <optional>
#include <utility>

#include "platform/rtl/Resources.h"
#include "platform/win/WindowStyles.h"

namespace {

constexpr std::array<int, 16> SystemCursors{IDC_ARROW,   IDC_IBEAM,    IDC_WAIT,   IDC_CROSS,
                                            IDC_UPARROW, IDC_SIZE,     IDC_ICON,   IDC_SIZENWSE,
                                            IDC_SIZENESW, IDC_SIZEWE,  IDC_SIZENS, IDC_SIZEALL,
                                            IDC_NO,      IDC_HAND,     IDC_APPSTARTING, IDC_HELP};

// The cursor resource layout: hot spot x and y (16 bits each), then a monochrome device-independent
// bitmap of twice the height, the colour (XOR) mask above the transparency (AND) mask, both bottom-up.
constexpr size_t HotSpotSize = 4;
constexpr uint32_t MinInfoHeaderSize = 40;
constexpr int MaxCursorSide = 256;

uint32_t Le(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

bool Bit(const uint8_t* row, int x) { return row[x / 8] >> (7 - x % 8) & 1; }

std::optional<TCursorImage> ParseCursor(const uint8_t* data, size_t size) {
  if (size < HotSpotSize + MinInfoHeaderSize) return std::nullopt;
  const uint8_t* info = data + HotSpotSize;
  const uint32_t headerSize = Le(info, 4);
  const auto width = static_cast<int32_t>(Le(info + 4, 4));
  const auto doubleHeight = static_cast<int32_t>(Le(info + 8, 4));
  if (headerSize < MinInfoHeaderSize || Le(info + 12, 2) != 1 || Le(info + 14, 2) != 1 || Le(info + 16, 4) != 0 ||
      width < 1 || width > MaxCursorSide || doubleHeight < 2 || doubleHeight % 2 || doubleHeight / 2 > MaxCursorSide)
    return std::nullopt;
  TCursorImage img;
  img.Width = width;
  img.Height = doubleHeight / 2;
  img.HotX = static_cast<int>(Le(data, 2));
  img.HotY = static_cast<int>(Le(data + 2, 2));
  if (img.HotX >= img.Width || img.HotY >= img.Height) return std::nullopt;
  const size_t stride = (static_cast<size_t>(width) + 31) / 32 * 4;
  const size_t paletteAt = HotSpotSize + headerSize;
  const size_t xorAt = paletteAt + 2 * 4;
  if (headerSize > size || xorAt + 2 * stride * static_cast<size_t>(img.Height) > size) return std::nullopt;
  // A colour bit names a palette entry; a light entry is white.
  auto light = [&](int index) {
    const uint8_t* q = data + paletteAt + 4 * index;
    return q[0] + q[1] + q[2] >= 3 * 128;
  };
  const bool oneIsWhite = light(1), zeroIsWhite = light(0);
  img.Pixels.resize(static_cast<size_t>(img.Width) * static_cast<size_t>(img.Height));
  for (int y = 0; y < img.Height; ++y) {
    const size_t fromBottom = static_cast<size_t>(img.Height - 1 - y);
    const uint8_t* colour = data + xorAt + fromBottom * stride;
    const uint8_t* clear = colour + stride * static_cast<size_t>(img.Height);
    for (int x = 0; x < img.Width; ++x) {
      // A clear pixel with a colour bit inverts the screen; X cannot, so it shows black.
      const bool white = Bit(colour, x) ? oneIsWhite : zeroIsWhite;
      TCursorImage::TPixel p = Bit(clear, x) ? (Bit(colour, x) ? TCursorImage::Black : TCursorImage::Clear)
                                             : (white ? TCursorImage::White : TCursorImage::Black);
      img.Pixels[static_cast<size_t>(y * img.Width + x)] = p;
    }
  }
  return img;
}

// Loaded pictures by name; a deque keeps each picture where the handles point.
std::deque<std::pair<AnsiString, TCursorImage>>& Loaded() {
  static std::deque<std::pair<AnsiString, TCursorImage>> loaded;
  return loaded;
}

}  // namespace

int LoadCursor(int /*instance*/, const AnsiString& name) {
  // The program's resources all live in its one module, so every instance finds the same ones.
  auto& loaded = Loaded();
  for (size_t i = 0; i < loaded.size(); ++i)
    if (SameText(loaded[i].first, name)) return FirstPictureCursor + static_cast<int>(i);
  const TResource* r = FindResource("CURSOR", std::string_view(name));
  if (!r) return 0;
  std::optional<TCursorImage> img = ParseCursor(r->Data, r->Size);
  if (!img) return 0;
  loaded.emplace_back(name, std::move(*img));
  return FirstPictureCursor + static_cast<int>(loaded.size() - 1);
}

const TCursorImage* CursorImage(int cursor) {
  const auto& loaded = Loaded();
  if (cursor < FirstPictureCursor || cursor - FirstPictureCursor >= static_cast<int>(loaded.size())) return nullptr;
  return &loaded[static_cast<size_t>(cursor - FirstPictureCursor)].second;
}

bool IsSystemCursor(int cursor) {
  return std::find(SystemCursors.begin(), SystemCursors.end(), cursor) != SystemCursors.end();
}

int LoadCursor(int instance, int id) { return instance == 0 && IsSystemCursor(id) ? id : 0; }

int DefaultCursorFor(int hit, int classCursor) {
  switch (hit) {
    case HTCLIENT: return classCursor ? classCursor : IDC_ARROW;
    case HTLEFT: case HTRIGHT: return IDC_SIZEWE;
    case HTTOP: case HTBOTTOM: return IDC_SIZENS;
    case HTTOPLEFT: case HTBOTTOMRIGHT: return IDC_SIZENWSE;
    case HTTOPRIGHT: case HTBOTTOMLEFT: return IDC_SIZENESW;
  }
  return IDC_ARROW;
}
