// Cursors: the system's by the platform's numbers (the handle of a system cursor is its number),
// and pictures loaded from the program's cursor resources.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/rtl/AnsiString.h"

constexpr int IDC_ARROW = 32512;
constexpr int IDC_IBEAM = 32513;
constexpr int IDC_WAIT = 32514;
constexpr int IDC_CROSS = 32515;
constexpr int IDC_UPARROW = 32516;
constexpr int IDC_SIZE = 32640;
constexpr int IDC_ICON = 32641;
constexpr int IDC_SIZENWSE = 32642;
constexpr int IDC_SIZENESW = 32643;
constexpr int IDC_SIZEWE = 32644;
constexpr int IDC_SIZENS = 32645;
constexpr int IDC_SIZEALL = 32646;
constexpr int IDC_NO = 32648;
constexpr int IDC_HAND = 32649;
constexpr int IDC_APPSTARTING = 32650;
constexpr int IDC_HELP = 32651;

// Handles of loaded cursor pictures start here, clear of every system number.
constexpr int FirstPictureCursor = 0x10000;

// A two-colour cursor picture with the pixel the pointer position names.
struct TCursorImage {
  enum TPixel : uint8_t { Clear, Black, White };
  int Width = 0;
  int Height = 0;
  int HotX = 0;
  int HotY = 0;
  std::vector<TPixel> Pixels;  // row by row from the top
};

// The handle of a system cursor (instance 0); 0 for a number the system does not have.
int LoadCursor(int instance, int id);
// The handle of a ("CURSOR", name) resource of the program; 0 when absent or not a valid cursor.
// Every load of one name answers the same handle, so there is nothing to free.
int LoadCursor(int instance, const AnsiString& name);
// The picture behind a loaded cursor; nullptr for system cursors and unknown handles.
const TCursorImage* CursorImage(int cursor);
bool IsSystemCursor(int cursor);
// The cursor a window shows over a hit-test area when it sets none itself: the class cursor
// over the client area, sizing arrows over the frame, else the arrow.
int DefaultCursorFor(int hit, int classCursor);
