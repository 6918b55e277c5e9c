#include "platform/gdi/Colors.h"

#include <array>

namespace {

constexpr std::array<TColorRef, SysColorCount> DefaultScheme = {
    RGB(192, 192, 192),  // scroll bar
    RGB(0, 128, 128),    // desktop
    RGB(0, 0, 128),      // active caption
    RGB(128, 128, 128),  // inactive caption
    RGB(192, 192, 192),  // menu
    RGB(255, 255, 255),  // window
    RGB(0, 0, 0),        // window frame
    RGB(0, 0, 0),        // menu text
    RGB(0, 0, 0),        // window text
    RGB(255, 255, 255),  // caption text
    RGB(192, 192, 192),  // active border
    RGB(192, 192, 192),  // inactive border
    RGB(128, 128, 128),  // application work space
    RGB(0, 0, 128),      // highlight
    RGB(255, 255, 255),  // highlight text
    RGB(192, 192, 192),  // button face
    RGB(128, 128, 128),  // button shadow
    RGB(128, 128, 128),  // grey text
    RGB(0, 0, 0),        // button text
    RGB(192, 192, 192),  // inactive caption text
    RGB(255, 255, 255),  // button highlight
    RGB(0, 0, 0),        // 3D dark shadow
    RGB(223, 223, 223),  // 3D light
    RGB(0, 0, 0),        // tooltip text
    RGB(255, 255, 225),  // tooltip back
    RGB(180, 180, 180),  // unused slot
    RGB(0, 0, 255),      // hot-tracked item
    RGB(16, 132, 208),   // active caption gradient
    RGB(181, 181, 181),  // inactive caption gradient
    RGB(0, 0, 128),      // menu highlight
    RGB(192, 192, 192),  // menu bar
};

std::array<TColorRef, SysColorCount>& Scheme() {
  static std::array<TColorRef, SysColorCount> scheme = DefaultScheme;
  return scheme;
}

}  // namespace

TColorRef GetSysColor(int index) {
  if (index < 0 || index >= SysColorCount) return 0;
  return Scheme()[index];
}

void SetSysColor(int index, TColorRef color) {
  if (index >= 0 && index < SysColorCount) Scheme()[index] = color & 0xFFFFFF;
}

void ResetSysColors() { Scheme() = DefaultScheme; }

TColorRef ColorToRGB(TColorRef color) {
  if (color & SysColorFlag) return GetSysColor(int(color & 0xFF));
  return color & 0xFFFFFF;
}
