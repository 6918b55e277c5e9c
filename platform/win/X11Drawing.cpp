// What the X11 display draws: back buffers put on their windows, pointer shapes, the XOR drag frame.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>

#include <vector>

#include "platform/gdi/Colors.h"
#include "platform/win/X11BackendImpl.h"

namespace {

int ShiftOf(unsigned long mask) {
  int s = 0;
  while (mask && !(mask & 1)) mask >>= 1, ++s;
  return s;
}

unsigned int FontCursorOf(int cursor) {
  switch (cursor) {
    case IDC_IBEAM: return XC_xterm;
    case IDC_WAIT: case IDC_APPSTARTING: return XC_watch;
    case IDC_CROSS: return XC_crosshair;
    case IDC_UPARROW: return XC_sb_up_arrow;
    case IDC_SIZE: case IDC_SIZEALL: return XC_fleur;
    case IDC_SIZENWSE: return XC_bottom_right_corner;
    case IDC_SIZENESW: return XC_bottom_left_corner;
    case IDC_SIZEWE: return XC_sb_h_double_arrow;
    case IDC_SIZENS: return XC_sb_v_double_arrow;
    case IDC_NO: return XC_X_cursor;
    case IDC_HAND: return XC_hand2;
    case IDC_HELP: return XC_question_arrow;
  }
  return XC_left_ptr;
}

// An X cursor from a loaded picture: the mask shows the pixels that are not clear, the source picks
// black (foreground) or white among them.
Cursor PictureCursor(Display* d, Window root, const TCursorImage& img) {
  const size_t stride = (static_cast<size_t>(img.Width) + 7) / 8;
  std::vector<char> source(stride * static_cast<size_t>(img.Height)), mask(source.size());
  for (int y = 0; y < img.Height; ++y)
    for (int x = 0; x < img.Width; ++x) {
      const TCursorImage::TPixel p = img.Pixels[static_cast<size_t>(y * img.Width + x)];
      const size_t at = static_cast<size_t>(y) * stride + static_cast<size_t>(x / 8);
      const char bit = static_cast<char>(1 << (x % 8));  // X bitmap data runs from the low bit
      if (p != TCursorImage::Clear) mask[at] = static_cast<char>(mask[at] | bit);
      if (p == TCursorImage::Black) source[at] = static_cast<char>(source[at] | bit);
    }
  const auto w = static_cast<unsigned>(img.Width), h = static_cast<unsigned>(img.Height);
  Pixmap src = XCreateBitmapFromData(d, root, source.data(), w, h);
  Pixmap msk = XCreateBitmapFromData(d, root, mask.data(), w, h);
  XColor black{}, white{};
  white.red = white.green = white.blue = 0xFFFF;
  black.flags = white.flags = DoRed | DoGreen | DoBlue;
  Cursor c = XCreatePixmapCursor(d, src, msk, &black, &white, static_cast<unsigned>(img.HotX),
                                 static_cast<unsigned>(img.HotY));
  XFreePixmap(d, src);
  XFreePixmap(d, msk);
  return c;
}

}  // namespace

// Keyed by font glyph for system cursors and by handle for pictures, whose handles lie far above
// every glyph number.
Cursor TX11Backend::TImpl::CursorFor(int shape) {
  const TCursorImage* picture = CursorImage(shape);
  const int key = picture ? shape : static_cast<int>(FontCursorOf(shape));
  auto it = Cursors.find(key);
  if (it != Cursors.end()) return it->second;
  Cursor c = picture ? PictureCursor(Dpy, Root, *picture) : XCreateFontCursor(Dpy, FontCursorOf(shape));
  Cursors[key] = c;
  return c;
}

void TX11Backend::TImpl::PutArea(HWND hwnd, Window w, const TRect& area) {
  TWindowSurface* s = GetWindowSurface(hwnd);
  if (!s) return;
  TRect r = IntersectRect(area, TRect{0, 0, s->Width(), s->Height()});
  if (r.IsEmpty()) return;
  int width = r.Width(), height = r.Height();
  XImage* img = XCreateImage(Dpy, Vis, static_cast<unsigned>(Depth), ZPixmap, 0, nullptr,
                             static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
  if (!img) return;
  std::vector<char> bits(static_cast<size_t>(img->bytes_per_line) * static_cast<size_t>(height));
  img->data = bits.data();
  int rs = ShiftOf(img->red_mask), gs = ShiftOf(img->green_mask), bs = ShiftOf(img->blue_mask);
  auto pixelOf = [&](TColorRef c) {  // c is 0x00BBGGRR
    return ((static_cast<unsigned long>(c & 0xFF) << rs) & img->red_mask) |
           ((static_cast<unsigned long>((c >> 8) & 0xFF) << gs) & img->green_mask) |
           ((static_cast<unsigned long>((c >> 16) & 0xFF) << bs) & img->blue_mask);
  };
  const uint16_t one = 1;
  bool littleEndian = *reinterpret_cast<const uint8_t*>(&one) == 1;
  // The usual 32-bit layout in our own byte order takes the pixels directly.
  bool direct = img->bits_per_pixel == 32 && (img->byte_order == LSBFirst) == littleEndian;
  for (int y = 0; y < height; ++y) {
    const TColorRef* row = s->Bitmap->Row(r.Top + y) + r.Left;
    if (direct) {
      auto* out = reinterpret_cast<uint32_t*>(img->data + static_cast<size_t>(y) * static_cast<size_t>(img->bytes_per_line));
      for (int x = 0; x < width; ++x) out[x] = static_cast<uint32_t>(pixelOf(row[x]));
    } else {
      for (int x = 0; x < width; ++x) XPutPixel(img, x, y, pixelOf(row[x]));
    }
  }
  XPutImage(Dpy, w, CopyGc, img, 0, 0, r.Left, r.Top, static_cast<unsigned>(width), static_cast<unsigned>(height));
  img->data = nullptr;  // the vector frees the bits
  XDestroyImage(img);
}

void TX11Backend::Present(HWND hwnd, const TRect& area) {
  Window w = static_cast<Window>(XWindowOf(hwnd));
  if (!w) return;
  F->PutArea(hwnd, w, area);
  XFlush(F->Dpy);
}

void TX11Backend::SetCursorShape(int cursor) {
  F->Shape = cursor;
  Cursor c = F->CursorFor(cursor);
  for (auto& [h, w] : F->Windows) XDefineCursor(F->Dpy, w, c);
  XFlush(F->Dpy);
}

void TX11Backend::XorFrame(const TRect& r, int thickness) {
  if (r.IsEmpty() || thickness <= 0) return;
  Display* d = F->Dpy;
  if (!F->XorGc) {
    // Set bits where x + y is odd, counted from the screen's corner.
    static const char checker[] = {'\xAA', '\x55', '\xAA', '\x55', '\xAA', '\x55', '\xAA', '\x55'};
    F->Stipple = XCreateBitmapFromData(d, F->Root, checker, 8, 8);
    XGCValues v{};
    v.function = GXxor;
    v.foreground = WhitePixel(d, F->Screen) ^ BlackPixel(d, F->Screen);
    v.plane_mask = AllPlanes;
    v.fill_style = FillStippled;
    v.stipple = F->Stipple;
    v.subwindow_mode = IncludeInferiors;  // over every window on the screen
    v.ts_x_origin = 0;
    v.ts_y_origin = 0;
    F->XorGc = XCreateGC(d, F->Root,
                         GCFunction | GCForeground | GCPlaneMask | GCFillStyle | GCStipple | GCSubwindowMode |
                             GCTileStipXOrigin | GCTileStipYOrigin,
                         &v);
  }
  std::vector<XRectangle> bands;
  auto add = [&](int l, int t, int rr, int b) {
    if (rr > l && b > t)
      bands.push_back(XRectangle{static_cast<short>(l), static_cast<short>(t), static_cast<unsigned short>(rr - l),
                                 static_cast<unsigned short>(b - t)});
  };
  TRect in{r.Left + thickness, r.Top + thickness, r.Right - thickness, r.Bottom - thickness};
  if (in.IsEmpty()) {
    add(r.Left, r.Top, r.Right, r.Bottom);
  } else {
    add(r.Left, r.Top, r.Right, in.Top);
    add(r.Left, in.Bottom, r.Right, r.Bottom);
    add(r.Left, in.Top, in.Left, in.Bottom);
    add(in.Right, in.Top, r.Right, in.Bottom);
  }
  XFillRectangles(d, F->Root, F->XorGc, bands.data(), static_cast<int>(bands.size()));
  XFlush(d);
}
