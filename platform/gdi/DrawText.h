// Formatted text in a rectangle: alignment, line breaks, word wrap, ellipsis and & prefixes.
#pragma once

#include <string_view>

#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/DrawTextFlags.h"

// Returns the height of the text drawn; with DT_CALCRECT draws nothing and sets rect's
// right and bottom to the text's extent. "&x" underlines x and "&&" shows one "&".
int DrawText(TDeviceContext& dc, std::string_view text, TRect& rect, unsigned format);
