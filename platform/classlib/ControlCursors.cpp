#include "platform/classlib/ControlCursors.h"

#include "platform/win/Cursors.h"

int CursorHandle(TCursor c) {
  struct TPair { TCursor Cursor; int Id; };
  // Shapes the system lacks (drag, split) take the nearest one it has.
  static constexpr TPair Map[] = {
      {crArrow, IDC_ARROW},        {crCross, IDC_CROSS},       {crIBeam, IDC_IBEAM},
      {crSizeNESW, IDC_SIZENESW},  {crSizeNS, IDC_SIZENS},     {crSizeNWSE, IDC_SIZENWSE},
      {crSizeWE, IDC_SIZEWE},      {crUpArrow, IDC_UPARROW},   {crHourGlass, IDC_WAIT},
      {crDrag, IDC_ARROW},         {crNoDrop, IDC_NO},         {crHSplit, IDC_SIZEWE},
      {crVSplit, IDC_SIZENS},      {crMultiDrag, IDC_ARROW},   {crSQLWait, IDC_WAIT},
      {crNo, IDC_NO},              {crAppStart, IDC_APPSTARTING}, {crHelp, IDC_HELP},
      {crHandPoint, IDC_HAND},     {crSizeAll, IDC_SIZEALL}};
  if (c == crNone) return 0;
  for (const TPair& p : Map)
    if (p.Cursor == c) return LoadCursor(0, p.Id);
  return LoadCursor(0, IDC_ARROW);
}
