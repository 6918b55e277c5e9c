#include "controls/ctlSpinner.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "controls/ctlHelpers.h"
#include "controls/ctlMessages.h"
#include "controls/ctlPicField.h"
#include "platform/classlib/ControlPaint.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Memo.h"
#include "platform/rtl/Ticks.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"

namespace {

constexpr uintptr_t SpinTimerId = 1;

// Edge kinds: outer colour slot and inner colour slot (-1: no inner line).
constexpr std::array<std::array<int, 2>, 15> EdgeKinds = {{
    {7, -1}, {4, 1}, {3, 2}, {4, 7}, {3, 7}, {4, 7}, {3, 7}, {4, 1}, {3, 2}, {0, -1}, {3, -1}, {4, 1}, {3, 2},
    {4, 7}, {2, 7},
}};

TColor slotColor(int slot, bool pressed) {
  switch (slot) {
    case 0: return pressed ? clBtnShadow : clBtnHighlight;
    case 1: return pressed ? clBtnShadow : clBtnFace;
    case 2: return pressed ? clBtnFace : clBtnShadow;
    case 3: return pressed ? clBtnHighlight : clWindowFrame;
    case 4: return pressed ? clWindowFrame : clBtnHighlight;
    case 5: return pressed ? clBtnHighlight : clBtnFace;
    default: return clWindowFrame;
  }
}

TRect boundsOf(const std::vector<TPoint>& poly) {
  TRect r{poly[0].X, poly[0].Y, poly[0].X, poly[0].Y};
  for (const TPoint& p : poly) {
    r.Left = std::min(r.Left, p.X), r.Top = std::min(r.Top, p.Y);
    r.Right = std::max(r.Right, p.X), r.Bottom = std::max(r.Bottom, p.Y);
  }
  return r;
}

TPoint centroid(const std::vector<TPoint>& poly) {
  long x = 0, y = 0;
  for (const TPoint& p : poly) x += p.X, y += p.Y;
  const long n = long(poly.size());
  return TPoint{int(x / n), int(y / n)};
}

bool buttonHeld(uint16_t vk) { return GetAsyncKeyState(vk) < 0; }

bool steep(TPoint a, TPoint b) { return std::abs(b.Y - a.Y) > std::abs(b.X - a.X); }

void line(TCanvas& canvas, TPoint a, TPoint b, TColor color) {
  canvas.Pen().SetColor(color);
  canvas.MoveTo(a.X, a.Y);
  canvas.LineTo(b.X, b.Y);
  canvas.SetPixel(b.X, b.Y, color);
}

}  // namespace

TCtlSpinner::TCtlSpinner(TComponent* AOwner) : TCtlCustomControl(AOwner) {
  SetTabStop(false);
  SetBounds(0, 0, 16, 25);
}

TCtlSpinner::~TCtlSpinner() { SetFocusedControl(nullptr); }

void TCtlSpinner::SetAcceleration(int Value) {
  if (Value <= ctlSpinnerMaxAcceleration) FAcceleration = Value;
}

void TCtlSpinner::SetFocusedControl(TWinControl* Value) {
  if (FFocusedControl == Value) return;
  if (FFocusedControl) FFocusedControl->RemoveFreeNotification(this);
  FFocusedControl = Value;
  if (FFocusedControl) FFocusedControl->FreeNotification(this);
}

void TCtlSpinner::SetShowArrows(bool Value) {
  if (FShowArrows == Value) return;
  FShowArrows = Value;
  Invalidate();
}

void TCtlSpinner::SetStyle(TCtlSpinnerStyle Value) {
  if (FStyle == Value) return;
  FStyle = Value;
  if (HandleAllocated()) RecreateWnd();
  if (!HasState(csLoading)) SetBounds(Left(), Top(), Width(), Height());
}

void TCtlSpinner::Loaded() {
  TCtlCustomControl::Loaded();
  BuildRegions();
}

void TCtlSpinner::Notification(TComponent* component, TOperation operation) {
  TCtlCustomControl::Notification(component, operation);
  if (operation == opRemove && component == FFocusedControl) FFocusedControl = nullptr;
}

void TCtlSpinner::SetBounds(int left, int top, int width, int height) {
  TCtlCustomControl::SetBounds(left, top, width, height);
  const int w = Width(), h = Height();
  TPoints& p = FPoints;
  p.TL = {0, 0}, p.TR = {w - 1, 0}, p.BL = {0, h - 1}, p.BR = {w - 1, h - 1};
  p.C = {w / 2, h / 2};
  p.P1 = {w / 3, h / 3}, p.P2 = {w / 3, 2 * h / 3}, p.P3 = {2 * w / 3, h / 3}, p.P4 = {2 * w / 3, 2 * h / 3};
  p.TM = {w / 2, 0}, p.BM = {w / 2, h - 1}, p.LM = {0, h / 2}, p.RM = {w - 1, h / 2};
  p.Q1 = {w / 4, 0}, p.Q2 = {w / 4, h - 1}, p.Q3 = {3 * w / 4, 0}, p.Q4 = {3 * w / 4, h - 1};
  BuildRegions();
}

std::vector<TCtlSpinner::TRegionShape> TCtlSpinner::shapes() const {
  const TPoints& p = FPoints;
  const int w = Width(), h = Height();
  std::vector<TRegionShape> out;
  const auto add = [&out](TCtlSpinState s, std::vector<TPoint> poly) {
    TRegionShape shape;
    shape.State = s;
    shape.ArrowBox = boundsOf(poly);
    // Edges facing up or left take the light kind, the others the dark one.
    const TPoint c = centroid(poly);
    for (std::size_t i = 0; i < poly.size(); ++i) {
      const TPoint a = poly[i], b = poly[(i + 1) % poly.size()];
      const int nx = (a.X + b.X) / 2 - c.X, ny = (a.Y + b.Y) / 2 - c.Y;
      shape.Edges.push_back({a, b, nx + ny < 0 ? 9 : 10});
    }
    shape.Polygon = std::move(poly);
    out.push_back(std::move(shape));
  };
  // Up, down, left and right arrows between the thirds and the centre.
  const auto starBoxes = [&] {
    out[0].ArrowBox = {p.P1.X, 0, p.P3.X, p.C.Y};
    out[1].ArrowBox = {p.P2.X, p.C.Y, p.P4.X, h - 1};
    out[2].ArrowBox = {0, p.P1.Y, p.C.X, p.P2.Y};
    out[3].ArrowBox = {p.C.X, p.P3.Y, w - 1, p.P4.Y};
  };
  switch (FStyle) {
    case stNormalVertical:
      out.push_back({SpinUp, {}, TRect{0, 0, w - 1, (h - 1) / 2}, {}});
      out.push_back({SpinDown, {}, TRect{0, (h - 1) / 2, w - 1, h - 1}, {}});
      break;
    case stNormalHorizontal:
      out.push_back({SpinRight, {}, TRect{(w - 1) / 2, 0, w - 1, h - 1}, {}});
      out.push_back({SpinLeft, {}, TRect{0, 0, (w - 1) / 2, h - 1}, {}});
      break;
    case stFourWay:
      add(SpinUp, {p.TL, p.TR, p.C});
      add(SpinDown, {p.BL, p.C, p.BR});
      add(SpinLeft, {p.TL, p.C, p.BL});
      add(SpinRight, {p.TR, p.BR, p.C});
      out[0].ArrowBox = {0, 0, w, h / 3};
      out[1].ArrowBox = {0, h - h / 3, w, h};
      out[2].ArrowBox = {0, 0, w / 3, h};
      out[3].ArrowBox = {w - w / 3, 0, w, h};
      break;
    case stStar:
      add(SpinUp, {p.TM, p.P3, p.P1});
      add(SpinDown, {p.BM, p.P2, p.P4});
      add(SpinLeft, {p.LM, p.P1, p.P2});
      add(SpinRight, {p.RM, p.P4, p.P3});
      add(SpinCenter, {p.P1, p.P3, p.P4, p.P2});
      starBoxes();
      out[0].Edges = {{p.TM, p.P3, 9}, {p.P3, p.C, 14}, {p.C, p.P1, 14}, {p.TM, p.P1, 9}};
      out[1].Edges = {{p.BM, p.P2, 10}, {p.C, p.P2, 13}, {p.P4, p.C, 13}, {p.BM, p.P4, 10}};
      out[2].Edges = {{p.LM, p.P1, 9}, {p.P1, p.C, 13}, {p.C, p.P2, 14}, {p.P2, p.LM, 10}};
      out[3].Edges = {{p.C, p.P3, 13}, {p.P3, p.RM, 9}, {p.RM, p.P4, 10}, {p.P4, p.C, 14}};
      break;
    case stDiagonalVertical:
    case stDiagonalHorizontal:
      // Each half's arrow sits in the quarter at its corner.
      add(FStyle == stDiagonalVertical ? SpinUp : SpinLeft, {p.TL, p.TR, p.BL});
      add(FStyle == stDiagonalVertical ? SpinDown : SpinRight, {p.BL, p.TR, p.BR});
      out[0].ArrowBox = {0, 0, w / 2, h / 2};
      out[1].ArrowBox = {w - w / 2, h - h / 2, w, h};
      break;
    case stDiagonalFourWay:
      add(SpinUp, {p.Q1, p.Q3, p.Q2});
      add(SpinDown, {p.Q3, p.Q4, p.Q2});
      add(SpinLeft, {p.TL, p.Q1, p.Q2, p.BL});
      add(SpinRight, {p.Q3, p.TR, p.BR, p.Q4});
      out[0].ArrowBox = {p.Q1.X, 0, p.Q3.X, h / 2};
      out[1].ArrowBox = {p.Q1.X, h / 2, p.Q3.X, h};
      out[2].ArrowBox = {0, h / 4, p.Q1.X, 3 * h / 4};
      out[3].ArrowBox = {p.Q3.X, h / 4, w, 3 * h / 4};
      break;
    case stPlainStar:
      add(SpinUp, {p.TM, p.P3, p.C, p.P1});
      add(SpinDown, {p.P2, p.C, p.P4, p.BM});
      add(SpinLeft, {p.LM, p.P1, p.C, p.P2});
      add(SpinRight, {p.P3, p.RM, p.P4, p.C});
      starBoxes();
      break;
  }
  return out;
}

void TCtlSpinner::BuildRegions() {
  for (TRegion& r : FRegions) r = TRegion();
  for (const TRegionShape& s : shapes())
    FRegions[slot(s.State)] = s.Polygon.empty() ? TRegion(s.ArrowBox) : TRegion::FromPolygon(s.Polygon);
}

const TRegion& TCtlSpinner::Region(TCtlSpinState State) const {
  static const TRegion none;
  return State >= SpinUp && State <= SpinCenter ? FRegions[slot(State)] : none;
}

TCtlSpinState TCtlSpinner::StateAt(TPoint P) const {
  if (P.X < 0 || P.Y < 0 || P.X >= Width() || P.Y >= Height()) return SpinNormal;
  const TCtlSpinState order[] = {FStyle == stNormalHorizontal ? SpinRight : SpinUp,
                                 FStyle == stNormalHorizontal ? SpinLeft : SpinDown, SpinLeft, SpinRight, SpinCenter};
  for (TCtlSpinState s : order)
    if (Region(s).Contains(P.X, P.Y)) return s;
  return SpinNormal;
}

TCtlSpinState TCtlSpinner::HitTest() {
  if (!FTracking) return SpinNormal;
  TPoint cursor;
  GetCursorPos(cursor);
  return StateAt(ScreenToClient(cursor));
}

void TCtlSpinner::stepControl(TCtlSpinState state) {
  if (auto* field = dynamic_cast<TCtlCustomPictureField*>(FFocusedControl)) {
    if (state == SpinUp || state == SpinDown) {
      field->IncreaseValue(FWrapMode, state == SpinUp ? FDelta : -FDelta);
      field->SetSelection(0, 0);
      field->Refresh();
    } else if (state == SpinLeft || state == SpinRight) {
      field->MoveCaret(state == SpinLeft ? -1 : 1);
    }
  } else if (auto* edit = dynamic_cast<TCustomEdit*>(FFocusedControl)) {
    if (state != SpinUp && state != SpinDown) return;
    AnsiString text = edit->Text();
    const auto b = text.find_first_not_of(' '), e = text.find_last_not_of(' ');
    if (b == AnsiString::npos) return;
    text = text.substr(b, e - b + 1);
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return;
    value += state == SpinUp ? FDelta : -FDelta;
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    edit->SetText(AnsiString(buf, res.ptr));
  }
}

void TCtlSpinner::DoStep(TCtlSpinState State) {
  const bool steppable =
      OnClick || dynamic_cast<TCtlBaseEntryField*>(FFocusedControl) || dynamic_cast<TCustomEdit*>(FFocusedControl);
  if (!steppable || !FPressed) return;
  const uint64_t now = GetTickCount64();
  if (now < FNextStep) return;
  stepControl(State);
  if (OnClick) OnClick(this, State, FDelta, FWrapMode);
  // No lower bound: once the pause reaches 0, every pass steps.
  const int64_t pause = int64_t(FDelayTime) - int64_t(FAcceleration) * 10 * FStepCount;
  FNextStep = now + uint64_t(std::max<int64_t>(pause, 0));
  ++FStepCount;
}

void TCtlSpinner::DoMouseDown() {
  FTracking = true;
  FPrevState = FState;
  FState = HitTest();
  FPressed = true;
  Invalidate();
  FStepCount = 0;
  FMouseButton = PrimaryMouseButton();
  FNextStep = GetTickCount64();
}

void TCtlSpinner::DoMouseUp() {
  FPrevState = FState;
  FState = SpinNormal;
  FPressed = false;
  FTracking = false;
  Invalidate();
}

void TCtlSpinner::changeState(TCtlSpinState next) {
  if (next == SpinCenter) next = SpinNormal;
  if (next == FState) return;
  FPrevState = FState;
  FState = next;
  FPressed = FState > SpinNormal;
  Invalidate();
}

void TCtlSpinner::waitForNextStep(bool stepping) {
  Application().ProcessMessages();
  if (!FTracking || !buttonHeld(FMouseButton) || HasPendingMessages()) return;
  const uint64_t now = GetTickCount64();
  const bool due = stepping && FPressed;
  if (due && now >= FNextStep) return;
  // Sleep until the step is due, or a while when none is; input wakes the wait earlier.
  const uint64_t wait = due ? FNextStep - now : uint64_t(std::max(FDelayTime, 10));
  SetTimer(Handle(), SpinTimerId, uint32_t(std::min<uint64_t>(wait, 0x7FFFFFFF)));
  WaitMessage();
  KillTimer(Handle(), SpinTimerId);
}

void TCtlSpinner::repeatLoop() {
  DoStep(FState);
  const bool repeat = FState != SpinCenter && FAutoRepeat;
  while (FTracking && buttonHeld(FMouseButton)) {
    if (repeat) {
      DoStep(FState);
      waitForNextStep(true);
      if (FTracking) changeState(HitTest());
    } else {
      waitForNextStep(false);
    }
  }
}

void TCtlSpinner::leftButtonDown() {
  if (FFocusedControl && !FFocusedControl->Focused()) {
    if (CanFocus()) SetFocus();
    Application().ProcessMessages();
    if (!Focused()) return;
    if (FFocusedControl->CanFocus()) FFocusedControl->SetFocus();
  }
  try {
    DoMouseDown();
    repeatLoop();
  } catch (...) {
    DoMouseUp();
    throw;
  }
  DoMouseUp();
}

void TCtlSpinner::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_GETDLGCODE: message.Result = DLGC_STATIC; return;
    case ctlm_Recreate: RecreateWnd(); return;
    case WM_TIMER:
      if (message.WParam == SpinTimerId) return;
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:  // a quick second press is one more step
      TCtlCustomControl::WndProc(message);
      leftButtonDown();
      return;
    case WM_LBUTTONUP:
      TCtlCustomControl::WndProc(message);
      if (FTracking) DoMouseUp();
      return;
    default: break;
  }
  TCtlCustomControl::WndProc(message);
}

void TCtlSpinner::paintArrow(TCanvas& canvas, const TRect& box, TCtlSpinState dir, bool pressed) {
  const int a = (std::min(box.Width(), box.Height()) / 2) | 1;
  const int h = (a + 1) / 2;
  const bool vertical = dir == SpinUp || dir == SpinDown;
  const int across = vertical ? box.Width() : box.Height();
  const int along = vertical ? box.Height() : box.Width();
  const int base0 = (vertical ? box.Left : box.Top) + (across - a) / 2;
  const int tip0 = (vertical ? box.Top : box.Left) + (along - h) / 2;
  const auto draw = [&](int shift, TColor color) {
    canvas.Brush().SetColor(color);
    for (int i = 0; i < h; ++i) {
      // Row i from the tip: 2i + 1 pixels wide.
      const int row = (dir == SpinUp || dir == SpinLeft) ? tip0 + i : tip0 + h - 1 - i;
      const int from = base0 + a / 2 - i;
      if (vertical) canvas.FillRect(TRect{from + shift, row + shift, from + 2 * i + 1 + shift, row + 1 + shift});
      else canvas.FillRect(TRect{row + shift, from + shift, row + 1 + shift, from + 2 * i + 1 + shift});
    }
  };
  if (pressed) {
    draw(0, clBtnFace);
    draw(1, clBtnText);
  } else {
    draw(1, clBtnFace);
    draw(0, clBtnText);
  }
}

void TCtlSpinner::paintNormal(TCanvas& canvas) {
  for (const TRegionShape& s : shapes()) {
    const bool sunken = FTracking && FPressed && FState == s.State;
    TRect box = s.ArrowBox;
    box.Right += 1, box.Bottom += 1;
    PaintButtonFace(*canvas.Handle(), box, sunken, false);
    if (FShowArrows) {
      TRect inner = box;
      if (sunken) inner.Left += 1, inner.Top += 1, inner.Right += 1, inner.Bottom += 1;
      paintArrow(canvas, inner, s.State, false);
    }
  }
}

void TCtlSpinner::paintRegion(TCanvas& canvas, const TRegionShape& shape, bool pressed) {
  const TPoint c = centroid(shape.Polygon);
  for (const TEdgeLine& e : shape.Edges) {
    int kind = e.Kind;
    if (steep(e.A, e.B) && kind >= 3) kind += (kind % 2 == 1) ? 1 : -1;
    const auto [outer, inner] = EdgeKinds[std::size_t(kind)];
    line(canvas, e.A, e.B, slotColor(outer, pressed));
    if (inner < 0) continue;
    // The inner line lies one pixel towards the region's inside.
    const int mx = (e.A.X + e.B.X) / 2, my = (e.A.Y + e.B.Y) / 2;
    const int dx = steep(e.A, e.B) ? (c.X > mx) - (c.X < mx) : 0;
    const int dy = steep(e.A, e.B) ? 0 : (c.Y > my) - (c.Y < my);
    line(canvas, {e.A.X + dx, e.A.Y + dy}, {e.B.X + dx, e.B.Y + dy}, slotColor(inner, pressed));
  }
  if (FShowArrows && shape.State != SpinCenter) paintArrow(canvas, shape.ArrowBox, shape.State, pressed);
}

void TCtlSpinner::paintShaped(TCanvas& canvas) {
  const int w = Width(), h = Height();
  canvas.Brush().SetColor(clBtnFace);
  canvas.FillRect(TRect{0, 0, w, h});
  line(canvas, {0, 0}, {w - 1, 0}, slotColor(0, false));
  line(canvas, {0, 0}, {0, h - 1}, slotColor(0, false));
  line(canvas, {w - 1, 0}, {w - 1, h - 1}, slotColor(7, false));
  line(canvas, {0, h - 1}, {w - 1, h - 1}, slotColor(7, false));
  for (const TRegionShape& s : shapes()) paintRegion(canvas, s, FPressed && FState == s.State);
}

void TCtlSpinner::Paint() {
  TCanvas& canvas = Canvas();
  if (FStyle == stNormalVertical || FStyle == stNormalHorizontal) paintNormal(canvas);
  else paintShaped(canvas);
}
