// Frame metrics and the coordinates of a window's rectangles on the screen.
#pragma once

#include "platform/win/WinState.h"

namespace winsys {

inline constexpr int CaptionHeight = 19;
inline constexpr int SmallCaptionHeight = 15;
inline constexpr int BorderWidth = 1;
inline constexpr int DlgFrameWidth = 3;
inline constexpr int SizeFrameWidth = 4;
inline constexpr int EdgeWidth = 2;

TPoint ClientOriginOnScreen(const TWindowRec& w);
TRect ScreenBounds(const TWindowRec& w);

}  // namespace winsys
