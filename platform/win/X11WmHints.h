// The numbers of the window manager hints the X11 display sets: the Motif functions and decorations
// hint and the extended manager's move/resize request.
#pragma once

// _MOTIF_WM_HINTS: five longs, flags first; functions are the second, decorations the third.
constexpr long MwmHintsFunctions = 1L << 0;
constexpr long MwmHintsDecorations = 1L << 1;
constexpr long MwmFuncResize = 1L << 1;
constexpr long MwmFuncMove = 1L << 2;
constexpr long MwmFuncMinimize = 1L << 3;
constexpr long MwmFuncMaximize = 1L << 4;
constexpr long MwmFuncClose = 1L << 5;
constexpr long MwmDecorBorder = 1L << 1;
constexpr long MwmDecorResizeH = 1L << 2;
constexpr long MwmDecorTitle = 1L << 3;
constexpr long MwmDecorMenu = 1L << 4;
constexpr long MwmDecorMinimize = 1L << 5;
constexpr long MwmDecorMaximize = 1L << 6;
constexpr int MwmHintsLength = 5;

// _NET_WM_MOVERESIZE directions.
constexpr long NetMoveResizeSizeTopLeft = 0;
constexpr long NetMoveResizeSizeTop = 1;
constexpr long NetMoveResizeSizeTopRight = 2;
constexpr long NetMoveResizeSizeRight = 3;
constexpr long NetMoveResizeSizeBottomRight = 4;
constexpr long NetMoveResizeSizeBottom = 5;
constexpr long NetMoveResizeSizeBottomLeft = 6;
constexpr long NetMoveResizeSizeLeft = 7;
constexpr long NetMoveResizeMove = 8;
// The request comes from an ordinary application.
constexpr long NetSourceApplication = 1;
