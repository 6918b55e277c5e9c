// Device contexts of the drawing layer over the windows' back buffers: what BeginPaint and GetDC
// hand out once these are in use.
#pragma once

#include "platform/gdi/DeviceContext.h"
#include "platform/win/WindowSurface.h"

// Makes GetDC, GetWindowDC and BeginPaint give drawing-layer contexts.
void UseGdiDeviceContexts();
// The context behind a handle, or nullptr.
TDeviceContext* DeviceContextOf(HDC dc);
// Leaves out of dc's clip the child windows its target excludes.
void ExcludeChildWindows(TDeviceContext& dc, const TDcTarget& t);
