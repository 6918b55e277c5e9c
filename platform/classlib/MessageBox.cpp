#include "platform/classlib/MessageBox.h"

#include <cmath>
#include <memory>
#include <vector>

#include "platform/gdi/Colors.h"
#include "platform/gdi/Fonts.h"
#include "platform/rtl/Files.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/MessageLayout.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/win/DisplayBackend.h"

namespace {

bool& ReachUserFlag() {
  static bool on = false;
  return on;
}

// A round sign as a polygon fine enough to pass for a circle at icon size.
std::vector<TPoint> Round(int w, int h) {
  constexpr int kSteps = 32;
  std::vector<TPoint> points;
  for (int i = 0; i < kSteps; ++i) {
    const double a = 2 * 3.14159265358979 * i / kSteps;
    points.push_back(TPoint{static_cast<int>(std::lround((w - 1) / 2.0 * (1 + std::cos(a)))),
                            static_cast<int>(std::lround((h - 1) / 2.0 * (1 + std::sin(a))))});
  }
  return points;
}

// The kind's symbol, drawn: a round sign for errors, information and questions, a triangle for warnings.
class TMessageIcon final : public TGraphicControl {
public:
  TMessageIcon(TComponent* owner, TMsgDlgType kind) : TGraphicControl(owner), FKind(kind) {}
  AnsiString ClassName() const override { return "TMessageIcon"; }

protected:
  void Paint() override {
    TCanvas& c = Canvas();
    const int w = Width(), h = Height();
    c.Pen().SetColor(clBlack);
    switch (FKind) {
      case TMsgDlgType::mtWarning:
        c.Brush().SetColor(clYellow);
        c.Polygon({TPoint{w / 2, 0}, TPoint{w - 1, h - 1}, TPoint{0, h - 1}});
        mark("!", clBlack);
        break;
      case TMsgDlgType::mtError:
        c.Brush().SetColor(clRed);
        c.Polygon(Round(w, h));
        mark("X", clWhite);
        break;
      case TMsgDlgType::mtInformation:
        c.Brush().SetColor(clBlue);
        c.Polygon(Round(w, h));
        mark("i", clWhite);
        break;
      case TMsgDlgType::mtConfirmation:
        c.Brush().SetColor(clBlue);
        c.Polygon(Round(w, h));
        mark("?", clWhite);
        break;
      case TMsgDlgType::mtCustom: break;
    }
  }

private:
  void mark(const char* letter, TColor color) {
    TCanvas& c = Canvas();
    c.Brush().SetStyle(bsClear);
    c.Font().SetStyle(fsBold);
    c.Font().SetSize(14);
    c.Font().SetColor(color);
    TRect r{0, 2, Width(), Height()};
    c.DrawText(letter, r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }

  TMsgDlgType FKind;
};

TTextMeasure MeasureIn(const TFont& font) {
  TFontFace& face = GetFontFace(font.Handle());
  return TTextMeasure{[&face](std::string_view s) { return face.TextWidth(s); }, face.Metrics().Height};
}

class TMessageForm final : public TForm {
public:
  TMessageForm(const AnsiString& text, const AnsiString& caption, TMsgDlgType kind, TMsgDlgButtons buttons,
               int defaultButton)
      : TForm(nullptr) {
    SetBorderStyle(bsDialog);
    SetBorderIcons(biSystemMenu);
    SetPosition(poScreenCenter);
    SetCaption(caption);
    const TRect work = Screen().WorkAreaRect();
    FLayout = LayoutMessageBox(text, kind, buttons, defaultButton, MeasureIn(Font()), work.Width() * 2 / 3);
    SetClientSize(FLayout.ClientSize.cx, FLayout.ClientSize.cy);
    if (FLayout.HasIcon) {
      auto* icon = new TMessageIcon(this, kind);
      icon->SetBoundsRect(FLayout.IconBounds);
      icon->SetParent(this);
    }
    const int lineHeight = FLayout.Lines.empty() ? 0 : FLayout.TextBounds.Height() / static_cast<int>(FLayout.Lines.size());
    int y = FLayout.TextBounds.Top;
    for (const AnsiString& line : FLayout.Lines) {
      auto* label = new TLabel(this);
      label->SetShowAccelChar(false);
      label->SetAutoSize(false);
      label->SetCaption(line);
      label->SetBounds(FLayout.TextBounds.Left, y, FLayout.TextBounds.Width(), lineHeight);
      label->SetParent(this);
      y += lineHeight;
    }
    for (std::size_t i = 0; i < FLayout.Buttons.size(); ++i) {
      const TMessageButton& mb = FLayout.Buttons[i];
      auto* b = new TButton(this);
      b->SetCaption(mb.Caption);
      b->SetModalResult(mb.Result);
      b->SetDefault(static_cast<int>(i) == FLayout.DefaultIndex);
      b->SetCancel(static_cast<int>(i) == FLayout.CancelIndex);
      b->SetBoundsRect(mb.Bounds);
      // Help answers nothing: no help is installed, and the box stays.
      if (mb.Result != mrNone) b->OnClick = [this](TObject*) { FPressed = true; };
      b->SetParent(this);
      FButtons.push_back(b);
    }
    SetActiveControl(FButtons[FLayout.DefaultIndex]);
    // Closing the window answers as Escape does; where Escape means nothing, so does closing.
    OnCloseQuery = [this](TObject*, bool& canClose) {
      if (FPressed) return;
      if (FLayout.CancelIndex < 0) {
        canClose = false;
        return;
      }
      SetModalResult(FLayout.Buttons[FLayout.CancelIndex].Result);
    };
  }
  AnsiString ClassName() const override { return "TMessageForm"; }

  // A loop that ended without a press (the application ending, nothing left to wait for) still
  // answers with one of the box's own buttons: the Escape one, else the default.
  TModalResult Answer(TModalResult r) const {
    for (const TMessageButton& b : FLayout.Buttons)
      if (b.Result == r && r != mrNone) return r;
    return FLayout.Buttons[FLayout.CancelIndex >= 0 ? FLayout.CancelIndex : FLayout.DefaultIndex].Result;
  }

private:
  TMessageLayout FLayout;
  std::vector<TButton*> FButtons;
  bool FPressed = false;
};

AnsiString DefaultCaption(TMsgDlgType kind) {
  AnsiString c = MessageKindCaption(kind);
  if (!c.empty()) return c;
  c = Application().Title();
  return c.empty() ? ChangeFileExt(ExtractFileName(Application().ExeName()), "") : c;
}

}  // namespace

TModalResult ShowMessageBox(const AnsiString& text, const AnsiString& caption, TMsgDlgType kind,
                            TMsgDlgButtons buttons, int defaultButton, int helpContext) {
  auto form = std::make_unique<TMessageForm>(text, caption.empty() ? DefaultCaption(kind) : caption, kind,
                                             buttons, defaultButton);
  form->SetHelpContext(helpContext);
  return form->Answer(form->ShowModal());
}

bool MessageBoxesReachUser() {
  // A display that brings input has a user at it; headless, only a test that answers the boxes is.
  return DisplayBackend().BringsInput() || ReachUserFlag();
}
void SetMessageBoxesReachUser(bool on) { ReachUserFlag() = on; }

bool ShowErrorBox(const AnsiString& message, const AnsiString& title) {
  // An error while the box waits (nothing can arrive, say) would open box after box.
  static bool showing = false;
  if (showing || !MessageBoxesReachUser()) return false;
  showing = true;
  try {
    ShowMessageBox(message, title, TMsgDlgType::mtError, mbOKOnly, mbOK);
  } catch (...) {
    showing = false;
    return false;
  }
  showing = false;
  return true;
}
