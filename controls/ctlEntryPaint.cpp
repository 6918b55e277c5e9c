// The entry field's look: character widths and height, the display string, where the text and
// the caret stand as the view scrolls, and the painting.
#include "controls/ctlEntryField.h"

#include "controls/ctlHelpers.h"
#include "platform/gdi/Edges.h"
#include "platform/gdi/SystemMetrics.h"

namespace {

constexpr int frameWidth = 2;  // the sunken edge of a bordered field

}  // namespace

void TCtlBaseEntryField::ResetCharWidths() {
  FWidths.Update(Font().Handle());
  FCarets->SetCellHeight(FWidths.LineHeight());
  FCarets->SetCellWidth(FWidths.AveCharWidth() > 0 ? FWidths.AveCharWidth() : 1);
}

int TCtlBaseEntryField::TextWidth(const AnsiString& Text, int From, int Count) const {
  int w = 0;
  for (int i = From; i < From + Count && i < static_cast<int>(Text.size()); ++i) w += FWidths.Width(Text[std::size_t(i)]);
  return w;
}

void TCtlBaseEntryField::AdjustHeight() {
  if (!FAutoSize) return;
  int border = GetSystemMetrics(SM_CYBORDER);
  int height = FWidths.LineHeight() + (FCtl3D ? 8 : 6) * border;
  if (height != Height()) {
    bool autoSize = FAutoSize;
    TCtlCustomControlEx::SetBounds(Left(), Top(), Width(), height);
    FAutoSize = autoSize;
  }
  fixTextTop();
}

void TCtlBaseEntryField::fixTextTop() {
  bool bordered = FBorderStyle == bsSingle;
  int frame = bordered ? frameWidth : 0;
  FTextTop = frame + EntryTextTopMargin(Font(), bordered, Height() - 2 * frame, FCtl3D) + FBorders.TopBorder().Inset();
  if (FTextTop < 0) FTextTop = 0;
}

void TCtlBaseEntryField::CMFontChanged(TMessage& m) {
  TCtlCustomControlEx::CMFontChanged(m);
  ResetCharWidths();
  AdjustHeight();
  fixTextTop();
  Invalidate();
}

bool TCtlBaseEntryField::zeroHidden() {
  TPictureDataType t = DataType();
  if (!IsNumericType(t) || FHasFocus) return false;
  if (FZeroDisplay == zdShow || (FZeroDisplay == zdHideUntilModified && FModel.Modified())) return false;
  AnsiString text = Trim(NumberText());
  for (char& c : text)
    if (c == IntlSup().DecimalChar()) c = '.';
  long double v = 0;
  if (IsIntegerType(t)) {
    int32_t n = 0;
    if (!CtlTextToInteger(text, FRadix, n)) return false;
    v = n;
  } else if (!CtlTextToFloat(text, v)) {
    return false;
  }
  return v == static_cast<long double>(FZeroDisplayValue);
}

AnsiString TCtlBaseEntryField::GetDisplayString() {
  AnsiString s = FModel.Text();
  if (zeroHidden()) return AnsiString(s.size(), ' ');
  for (char& c : s)
    if (c >= 1 && c <= 31) c = static_cast<char>(c + 64);
  return s;
}

TRect TCtlBaseEntryField::TextArea() {
  int frame = FBorderStyle == bsSingle ? frameWidth : 0;
  return TRect{frame + FBorders.LeftBorder().Inset(), frame + FBorders.TopBorder().Inset(),
               Width() - frame - FBorders.RightBorder().Inset(), Height() - frame - FBorders.BottomBorder().Inset()};
}

void TCtlBaseEntryField::layoutView() {
  TRect area = TextArea();
  int room = area.Right - area.Left - 2 * FTextMargin;
  FRightAligned = FOptions.Contains(efoRightAlign) && TextWidth(GetDisplayString(), 0, FModel.Length()) <= room;
}

int TCtlBaseEntryField::CharAtPixel(int X) {
  layoutView();
  AnsiString shown = GetDisplayString();
  TRect area = TextArea();
  int x = area.Left + FTextMargin;
  int first = FFirstVisible;
  if (FRightAligned) {
    first = 0;
    x = area.Right - FTextMargin - TextWidth(shown, 0, static_cast<int>(shown.size()));
  }
  if (X < x) {
    int ave = FWidths.AveCharWidth() > 0 ? FWidths.AveCharWidth() : 1;
    return std::max(0, first - (x - X + ave - 1) / ave);
  }
  int pos = first;
  while (pos < static_cast<int>(shown.size())) {
    int w = FWidths.Width(shown[std::size_t(pos)]);
    if (x + w / 2 > X) break;
    x += w;
    ++pos;
  }
  return pos;
}

void TCtlBaseEntryField::UpdateCaret() {
  layoutView();
  AnsiString shown = GetDisplayString();
  int caret = CaretCell();
  TRect area = TextArea();
  int room = area.Right - area.Left - FTextMargin - 1;
  if (FRightAligned || FFieldKind == ctlNumericField) {
    FFirstVisible = 0;
  } else {
    if (caret < FFirstVisible) FFirstVisible = caret;
    while (FFirstVisible < caret && TextWidth(shown, FFirstVisible, caret - FFirstVisible) > room - FTextMargin) ++FFirstVisible;
    if (caret <= 1) FFirstVisible = 0;
  }
  int x;
  if (FRightAligned) x = area.Right - FTextMargin - TextWidth(shown, 0, static_cast<int>(shown.size())) + TextWidth(shown, 0, caret);
  else x = area.Left + FTextMargin + TextWidth(shown, FFirstVisible, caret - FFirstVisible);
  FCarets->SetPosition(x, FTextTop);
}

void TCtlBaseEntryField::Paint() {
  int w = Width(), h = Height();
  if (w <= 0 || h <= 0) return;
  TBitmap face;
  face.SetSize(w, h);
  TCanvas& c = face.Canvas();
  bool enabled = Enabled();
  TColor back = !enabled ? FEFColors.Disabled().BackColor() : FErrorShown ? FEFColors.Error().BackColor() : Color();
  TColor fore = !enabled ? FEFColors.Disabled().TextColor() : FErrorShown ? FEFColors.Error().TextColor() : Font().Color();
  c.Brush().SetColor(back);
  c.FillRect(TRect{0, 0, w, h});
  if (FBorderStyle == bsSingle) {
    TRect r{0, 0, w, h};
    if (FCtl3D) DrawEdge(*c.Handle(), r, EDGE_SUNKEN, BF_RECT);
    else {
      c.Brush().SetColor(clWindowFrame);
      c.FrameRect(r);
    }
  }
  c.Font().Assign(&Font());
  layoutView();
  AnsiString shown = GetDisplayString();
  const AnsiString& text = FModel.Text();
  int first = FFirstVisible;
  if (FFieldKind == ctlNumericField) {
    while (!shown.empty() && shown.back() == ' ') shown.pop_back();
  }
  TRect area = TextArea();
  int x = area.Left + FTextMargin;
  if (FRightAligned || FFieldKind == ctlNumericField) {
    first = 0;
    x = area.Right - FTextMargin - TextWidth(shown, 0, static_cast<int>(shown.size()));
  }
  TDeviceContext& dc = *c.Handle();
  int saved = dc.SaveDC();
  dc.IntersectClipRect(area.Left, area.Top, area.Right, area.Bottom);
  dc.SelectFont(Font().Handle());
  dc.SetBkMode(TRANSPARENT);
  bool selection = FHasFocus && FModel.HasSelection();
  for (int i = first; i < static_cast<int>(shown.size()) && x < area.Right; ++i) {
    char ch = shown[std::size_t(i)];
    int cw = FWidths.Width(ch);
    bool selected = selection && i >= FModel.SelStart() && i < FModel.SelEnd();
    bool control = i < static_cast<int>(text.size()) && text[std::size_t(i)] >= 1 && text[std::size_t(i)] <= 31;
    TColor color = control ? FControlCharColor : fore;
    if (selected) {
      dc.FillRect(TRect{x, FTextTop, x + cw, FTextTop + FWidths.LineHeight()}, SolidBrush(FEFColors.Highlight().BackColor()));
      color = FEFColors.Highlight().TextColor();
    }
    dc.SetTextColor(ColorToRGB(color));
    dc.TextOut(x, FTextTop, std::string_view(&shown[std::size_t(i)], 1));
    x += cw;
  }
  dc.RestoreDC(saved);
  Canvas().Draw(0, 0, &face);
  FBorders.Draw(Canvas(), w, h);
}
