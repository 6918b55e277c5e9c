#include "platform/classlib/ExtCtrls.h"

#include <algorithm>

#include "platform/gdi/DrawText.h"
#include "platform/gdi/Edges.h"

namespace {

void Solid(TCanvas& c, const TRect& r, TColor color) {
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(color);
  c.FillRect(r);
}

}  // namespace

void Frame3D(TCanvas& canvas, TRect& rect, TColor topColor, TColor bottomColor, int width) {
  for (int i = 0; i < width && !rect.IsEmpty(); ++i) {
    TRect& r = rect;
    Solid(canvas, TRect{r.Left, r.Top, r.Right - 1, r.Top + 1}, topColor);
    Solid(canvas, TRect{r.Left, r.Top, r.Left + 1, r.Bottom - 1}, topColor);
    Solid(canvas, TRect{r.Left, r.Bottom - 1, r.Right, r.Bottom}, bottomColor);
    Solid(canvas, TRect{r.Right - 1, r.Top, r.Right, r.Bottom}, bottomColor);
    rect = InflateRect(rect, -1, -1);
  }
}

// ---- TCustomPanel ----

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
  FControlStyle = csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csOpaque | csDoubleClicks |
                  csReplicatable;
  SetParentColor(false);
  SetColor(clBtnFace);
  SetBounds(0, 0, 185, 41);
}

void TCustomPanel::Changed() {
  Realign();
  Invalidate();
}

void TCustomPanel::SetAlignment(TAlignment v) {
  if (FAlignment == v) return;
  FAlignment = v;
  Invalidate();
}

void TCustomPanel::SetBevelInner(TPanelBevel v) {
  if (FBevelInner == v) return;
  FBevelInner = v;
  Changed();
}

void TCustomPanel::SetBevelOuter(TPanelBevel v) {
  if (FBevelOuter == v) return;
  FBevelOuter = v;
  Changed();
}

void TCustomPanel::SetBevelWidth(int v) {
  if (v < 1) v = 1;
  if (FBevelWidth == v) return;
  FBevelWidth = v;
  Changed();
}

void TCustomPanel::SetBorderWidth(int v) {
  if (v < 0) v = 0;
  if (FBorderWidth == v) return;
  FBorderWidth = v;
  Changed();
}

void TCustomPanel::SetBorderStyle(TBorderStyle v) {
  if (FBorderStyle == v) return;
  FBorderStyle = v;
  Changed();
}

int TCustomPanel::FrameWidth() const {
  int w = FBorderWidth;
  if (FBevelOuter != bvNone) w += FBevelWidth;
  if (FBevelInner != bvNone) w += FBevelWidth;
  if (FBorderStyle == bsSingle) w += 2;
  return w;
}

void TCustomPanel::AdjustClientRect(TRect& rect) {
  TCustomControl::AdjustClientRect(rect);
  int w = FrameWidth();
  rect = InflateRect(rect, -w, -w);
}

void TCustomPanel::Paint() {
  TCanvas& c = Canvas();
  TRect r = ClientRect();
  if (FBorderStyle == bsSingle) DrawEdge(*c.Handle(), r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  auto bevel = [&](TPanelBevel b) {
    if (b == bvNone) return;
    if (b == bvSpace) {
      Frame3D(c, r, Color(), Color(), FBevelWidth);
      return;
    }
    bool raised = b == bvRaised;
    Frame3D(c, r, raised ? clBtnHighlight : clBtnShadow, raised ? clBtnShadow : clBtnHighlight, FBevelWidth);
  };
  bevel(FBevelOuter);
  Frame3D(c, r, Color(), Color(), FBorderWidth);
  bevel(FBevelInner);
  Solid(c, r, Color());
  if (Caption().empty()) return;
  static constexpr unsigned align[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  c.Font().Assign(&Font());
  c.Brush().SetStyle(bsClear);
  TRect text = r;
  unsigned flags = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS | align[FAlignment];
  if (!Enabled()) {
    TRect shifted = OffsetRect(text, 1, 1);
    c.Font().SetColor(clBtnHighlight);
    c.DrawText(Caption(), shifted, flags);
    c.Font().SetColor(clGrayText);
  }
  c.DrawText(Caption(), text, flags);
}

void TCustomPanel::WndProc(TMessage& m) {
  if (m.Msg == WM_ERASEBKGND) {
    m.Result = 1;
    return;
  }
  TCustomControl::WndProc(m);
}

void TCustomPanel::CMTextChanged(TMessage& m) {
  TCustomControl::CMTextChanged(m);
  Invalidate();
}

void TCustomPanel::CMFontChanged(TMessage& m) {
  TCustomControl::CMFontChanged(m);
  Invalidate();
}

// ---- TBevel ----

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) {
  FControlStyle |= csReplicatable;
  SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape v) {
  if (FShape == v) return;
  FShape = v;
  Invalidate();
}

void TBevel::SetStyle(TBevelStyle v) {
  if (FStyle == v) return;
  FStyle = v;
  Invalidate();
}

void TBevel::Paint() {
  TCanvas& c = Canvas();
  TColor first = FStyle == bsLowered ? clBtnShadow : clBtnHighlight;
  TColor second = FStyle == bsLowered ? clBtnHighlight : clBtnShadow;
  int w = Width(), h = Height();
  auto hline = [&](int y, TColor col) { Solid(c, TRect{0, y, w, y + 1}, col); };
  auto vline = [&](int x, TColor col) { Solid(c, TRect{x, 0, x + 1, h}, col); };
  TRect r{0, 0, w, h};
  switch (FShape) {
    case bsBox: Frame3D(c, r, first, second, 1); break;
    case bsFrame: {
      // An etched frame: the box and its opposite, one pixel apart.
      TRect outer{0, 0, w - 1, h - 1};
      TRect inner{1, 1, w, h};
      Frame3D(c, outer, first, first, 1);
      Frame3D(c, inner, second, second, 1);
      break;
    }
    case bsTopLine: hline(0, first), hline(1, second); break;
    case bsBottomLine: hline(h - 2, first), hline(h - 1, second); break;
    case bsLeftLine: vline(0, first), vline(1, second); break;
    case bsRightLine: vline(w - 2, first), vline(w - 1, second); break;
    case bsSpacer: break;
  }
}

// ---- TImage ----

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
  FControlStyle |= csReplicatable;
  FPicture->OnChange = [this](TObject* s) { PictureChanged(s); };
  SetBounds(0, 0, 105, 105);
}

TImage::~TImage() { FPicture->OnChange = nullptr; }

void TImage::SetAutoSize(bool v) {
  if (FAutoSize == v) return;
  FAutoSize = v;
  PictureChanged(nullptr);
}

void TImage::SetCenter(bool v) {
  if (FCenter == v) return;
  FCenter = v;
  Invalidate();
}

void TImage::SetStretch(bool v) {
  if (FStretch == v) return;
  FStretch = v;
  Invalidate();
}

void TImage::SetTransparent(bool v) {
  if (FTransparent == v) return;
  FTransparent = v;
  PictureChanged(nullptr);
}

void TImage::PictureChanged(TObject*) {
  if (TGraphic* g = FPicture->Graphic()) {
    if (g->Transparent() != FTransparent) g->SetTransparent(FTransparent);
    if (FAutoSize && !g->Empty()) SetBounds(Left(), Top(), g->Width(), g->Height());
  }
  Invalidate();
}

TRect TImage::DestRect() {
  int w = FPicture->Width(), h = FPicture->Height();
  if (FStretch) return ClientRect();
  if (FCenter) {
    int l = (Width() - w) / 2, t = (Height() - h) / 2;
    return TRect{l, t, l + w, t + h};
  }
  return TRect{0, 0, w, h};
}

void TImage::Paint() {
  TGraphic* g = FPicture->Graphic();
  if (!g || g->Empty()) return;
  Canvas().StretchDraw(DestRect(), g);
}

// ---- TCustomRadioGroup ----

TCustomRadioGroup::TCustomRadioGroup(TComponent* owner) : TCustomGroupBox(owner) {
  FItems.OnChange = [this] { UpdateButtons(); };
}

TCustomRadioGroup::~TCustomRadioGroup() {
  FItems.OnChange = nullptr;
  for (TRadioButton* b : FButtons) b->RemoveFreeNotification(this);
  FButtons.clear();
  // The buttons reach back into the group as their parent: free them while it is whole.
  DestroyComponents();
}

void TCustomRadioGroup::Notification(TComponent* component, TOperation operation) {
  TCustomGroupBox::Notification(component, operation);
  if (operation == opRemove)
    FButtons.erase(std::remove(FButtons.begin(), FButtons.end(), component), FButtons.end());
}

void TCustomRadioGroup::UpdateButtons() {
  // One radio button per item, made or freed as the items change.
  while (ButtonCount() < FItems.Count()) {
    auto* b = new TRadioButton(this);
    b->FreeNotification(this);
    b->SetParent(this);
    b->OnClick = [this](TObject* s) { ButtonClicked(s); };
    FButtons.push_back(b);
  }
  while (ButtonCount() > FItems.Count()) {
    TRadioButton* b = FButtons.back();
    FButtons.pop_back();
    b->RemoveFreeNotification(this);
    delete b;
  }
  FUpdating = true;
  for (int i = 0; i < ButtonCount(); ++i) {
    TRadioButton* b = FButtons[size_t(i)];
    b->SetCaption(FItems.Get(i));
    b->SetEnabled(Enabled());
    b->SetChecked(i == FItemIndex);
  }
  FUpdating = false;
  if (FItemIndex >= FItems.Count()) FItemIndex = -1;
  ArrangeButtons();
}

void TCustomRadioGroup::ArrangeButtons() {
  int n = ButtonCount();
  if (n == 0) return;
  int perColumn = (n + FColumns - 1) / FColumns;
  int textHeight = CaptionHeight();
  int buttonWidth = (Width() - 10) / FColumns;
  int room = Height() - textHeight - 5;
  int buttonHeight = room / std::max(perColumn, 1);
  int topMargin = textHeight + 1 + (room % std::max(perColumn, 1)) / 2;
  for (int i = 0; i < n; ++i) {
    int col = i / perColumn, row = i % perColumn;
    FButtons[size_t(i)]->SetBounds(col * buttonWidth + 8, row * buttonHeight + topMargin, buttonWidth, buttonHeight);
  }
}

void TCustomRadioGroup::SetItemIndex(int v) {
  if (v < -1 || v >= FItems.Count()) v = -1;
  if (v == FItemIndex) return;
  FItemIndex = v;
  FUpdating = true;
  for (int i = 0; i < ButtonCount(); ++i) FButtons[size_t(i)]->SetChecked(i == v);
  FUpdating = false;
}

void TCustomRadioGroup::SetColumns(int v) {
  v = std::clamp(v, 1, 16);
  if (FColumns == v) return;
  FColumns = v;
  ArrangeButtons();
  Invalidate();
}

void TCustomRadioGroup::ButtonClicked(TObject* sender) {
  if (FUpdating) return;
  auto it = std::find(FButtons.begin(), FButtons.end(), sender);
  if (it == FButtons.end() || !(*it)->Checked()) return;
  FItemIndex = static_cast<int>(it - FButtons.begin());
  Click();
}

void TCustomRadioGroup::Resize() {
  TCustomGroupBox::Resize();
  ArrangeButtons();
}

void TCustomRadioGroup::CMEnabledChanged(TMessage& m) {
  TCustomGroupBox::CMEnabledChanged(m);
  for (TRadioButton* b : FButtons) b->SetEnabled(Enabled());
}

void TCustomRadioGroup::CMFontChanged(TMessage& m) {
  TCustomGroupBox::CMFontChanged(m);
  ArrangeButtons();
}
