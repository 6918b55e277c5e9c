// The windowless background picture of every form: one picture drawn centred, clipped, fitted,
// stretched to the height, the width or the whole control, or tiled.
#pragma once

#include <vector>

#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/GdiTypes.h"

enum TtbTiledImageStyle { sCenter, sClip, sFit, sHeight, sStretch, sTile, sWidth };

// Where the whole picture is drawn for a control of clientW x clientH, one rectangle per copy.
// A picture or a control without area gives none, so no style ever divides by zero.
std::vector<TRect> TiledImageRects(TtbTiledImageStyle style, int clientW, int clientH, int picW, int picH);

// Draws the picture into dc at the rectangles above; the control's top-left is dc's (0, 0).
void DrawTiledImage(TDeviceContext& dc, const TGdiBitmapPtr& picture, TtbTiledImageStyle style, int clientW,
                    int clientH);
