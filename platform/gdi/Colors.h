// Colour values: named colours, system colour indices and the fixed system colour scheme.
#pragma once

#include "platform/gdi/GdiTypes.h"

constexpr TColorRef CLR_NONE = 0xFFFFFFFF;
constexpr TColorRef CLR_DEFAULT = 0xFF000000;
constexpr TColorRef CLR_INVALID = 0xFFFFFFFF;
constexpr TColorRef SysColorFlag = 0x80000000;

// System colour indices.
constexpr int COLOR_SCROLLBAR = 0;
constexpr int COLOR_BACKGROUND = 1;
constexpr int COLOR_ACTIVECAPTION = 2;
constexpr int COLOR_INACTIVECAPTION = 3;
constexpr int COLOR_MENU = 4;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWFRAME = 6;
constexpr int COLOR_MENUTEXT = 7;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_CAPTIONTEXT = 9;
constexpr int COLOR_ACTIVEBORDER = 10;
constexpr int COLOR_INACTIVEBORDER = 11;
constexpr int COLOR_APPWORKSPACE = 12;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_INACTIVECAPTIONTEXT = 19;
constexpr int COLOR_BTNHIGHLIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;
constexpr int COLOR_INFOTEXT = 23;
constexpr int COLOR_INFOBK = 24;
constexpr int COLOR_HOTLIGHT = 26;
constexpr int COLOR_GRADIENTACTIVECAPTION = 27;
constexpr int COLOR_GRADIENTINACTIVECAPTION = 28;
constexpr int COLOR_MENUHILIGHT = 29;
constexpr int COLOR_MENUBAR = 30;
constexpr int COLOR_DESKTOP = COLOR_BACKGROUND;
constexpr int COLOR_3DFACE = COLOR_BTNFACE;
constexpr int COLOR_3DSHADOW = COLOR_BTNSHADOW;
constexpr int COLOR_3DHIGHLIGHT = COLOR_BTNHIGHLIGHT;
constexpr int COLOR_3DHILIGHT = COLOR_BTNHIGHLIGHT;
constexpr int COLOR_BTNHILIGHT = COLOR_BTNHIGHLIGHT;
constexpr int SysColorCount = 31;

// Named colours.
constexpr TColorRef clBlack = 0x000000;
constexpr TColorRef clMaroon = 0x000080;
constexpr TColorRef clGreen = 0x008000;
constexpr TColorRef clOlive = 0x008080;
constexpr TColorRef clNavy = 0x800000;
constexpr TColorRef clPurple = 0x800080;
constexpr TColorRef clTeal = 0x808000;
constexpr TColorRef clGray = 0x808080;
constexpr TColorRef clSilver = 0xC0C0C0;
constexpr TColorRef clRed = 0x0000FF;
constexpr TColorRef clLime = 0x00FF00;
constexpr TColorRef clYellow = 0x00FFFF;
constexpr TColorRef clBlue = 0xFF0000;
constexpr TColorRef clFuchsia = 0xFF00FF;
constexpr TColorRef clAqua = 0xFFFF00;
constexpr TColorRef clWhite = 0xFFFFFF;

// System colours as colour values.
constexpr TColorRef clScrollBar = SysColorFlag | COLOR_SCROLLBAR;
constexpr TColorRef clBackground = SysColorFlag | COLOR_BACKGROUND;
constexpr TColorRef clActiveCaption = SysColorFlag | COLOR_ACTIVECAPTION;
constexpr TColorRef clInactiveCaption = SysColorFlag | COLOR_INACTIVECAPTION;
constexpr TColorRef clMenu = SysColorFlag | COLOR_MENU;
constexpr TColorRef clWindow = SysColorFlag | COLOR_WINDOW;
constexpr TColorRef clWindowFrame = SysColorFlag | COLOR_WINDOWFRAME;
constexpr TColorRef clMenuText = SysColorFlag | COLOR_MENUTEXT;
constexpr TColorRef clWindowText = SysColorFlag | COLOR_WINDOWTEXT;
constexpr TColorRef clCaptionText = SysColorFlag | COLOR_CAPTIONTEXT;
constexpr TColorRef clActiveBorder = SysColorFlag | COLOR_ACTIVEBORDER;
constexpr TColorRef clInactiveBorder = SysColorFlag | COLOR_INACTIVEBORDER;
constexpr TColorRef clAppWorkSpace = SysColorFlag | COLOR_APPWORKSPACE;
constexpr TColorRef clHighlight = SysColorFlag | COLOR_HIGHLIGHT;
constexpr TColorRef clHighlightText = SysColorFlag | COLOR_HIGHLIGHTTEXT;
constexpr TColorRef clBtnFace = SysColorFlag | COLOR_BTNFACE;
constexpr TColorRef clBtnShadow = SysColorFlag | COLOR_BTNSHADOW;
constexpr TColorRef clGrayText = SysColorFlag | COLOR_GRAYTEXT;
constexpr TColorRef clBtnText = SysColorFlag | COLOR_BTNTEXT;
constexpr TColorRef clInactiveCaptionText = SysColorFlag | COLOR_INACTIVECAPTIONTEXT;
constexpr TColorRef clBtnHighlight = SysColorFlag | COLOR_BTNHIGHLIGHT;
constexpr TColorRef cl3DDkShadow = SysColorFlag | COLOR_3DDKSHADOW;
constexpr TColorRef cl3DLight = SysColorFlag | COLOR_3DLIGHT;
constexpr TColorRef clInfoText = SysColorFlag | COLOR_INFOTEXT;
constexpr TColorRef clInfoBk = SysColorFlag | COLOR_INFOBK;

// The scheme is the classic grey one and fixed, so drawings are the same on every machine:
// face silver, shadow grey, highlight white, dark shadow black, window white, selection navy.
TColorRef GetSysColor(int index);
// Changes one entry for the rest of the process; tests use it to see colour changes take effect.
void SetSysColor(int index, TColorRef color);
void ResetSysColors();
// Resolves a system colour value to its current RGB; RGB values pass unchanged.
TColorRef ColorToRGB(TColorRef color);
