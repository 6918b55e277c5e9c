#include "platform/win/Cursors.h"

#include <algorithm>
#include <array>

#include "platform/win/WindowStyles.h"

namespace {

constexpr std::array<int, 16> SystemCursors{IDC_ARROW,   IDC_IBEAM,    IDC_WAIT,   IDC_CROSS,
                                            IDC_UPARROW, IDC_SIZE,     IDC_ICON,   IDC_SIZENWSE,
                                            IDC_SIZENESW, IDC_SIZEWE,  IDC_SIZENS, IDC_SIZEALL,
                                            IDC_NO,      IDC_HAND,     IDC_APPSTARTING, IDC_HELP};

}  // namespace

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
