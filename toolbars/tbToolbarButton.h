// The flat push button of the toolbars: a windowless control with a glyph and a caption that
// tracks the mouse itself, and can be a sticky group button, a repeating button, a default or cancel
// button with a modal result, and a button with a dropdown menu.
#pragma once

#include <functional>
#include <memory>

#include "platform/classlib/ActnList.h"
#include "platform/classlib/Controls.h"
#include "platform/classlib/Menus.h"
#include "platform/classlib/Timer.h"
#include "toolbars/tbGlyphs.h"
#include "toolbars/tbHooks.h"

enum TtbTBButtonDisplayMode { admBoth, admGlyphOnly, admTextOnly };
using TtbTBButtonDropdownEvent = std::function<void(TObject* Sender, bool& ShowMenu, bool& RemoveClicks)>;

// Where the tool window holding a control is docked, as far as a dropdown menu cares.
enum class TtbButtonDockSide { Left, Right, Other };
using TtbDockSideQuery = std::function<TtbButtonDockSide(TControl* control)>;
// Docks install the real query; until then every button answers "not docked".
void SetDockSideQuery(TtbDockSideQuery query);
TtbButtonDockSide QueryDockSide(TControl* control);

class TtbToolbarButton;

// Couples an action's Checked, HelpContext and ImageIndex to the button's Down, HelpContext and
// ImageIndex; a property counts as linked while the action's value equals the button's.
class TtbToolbarButtonActionLink {
public:
  explicit TtbToolbarButtonActionLink(TtbToolbarButton* client) : FClient(client) {}
  bool IsCheckedLinked() const;
  bool IsHelpContextLinked() const;
  bool IsImageIndexLinked() const;

private:
  TCustomAction* action() const;
  TtbToolbarButton* FClient;
};

class TtbToolbarButton : public TGraphicControl {
public:
  explicit TtbToolbarButton(TComponent* AOwner);
  ~TtbToolbarButton() override;
  AnsiString ClassName() const override { return "TtbToolbarButton"; }

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);
  bool AllowAllUp() const { return FAllowAllUp; }
  void SetAllowAllUp(bool v);
  bool Cancel() const { return FCancel; }
  void SetCancel(bool v) { FCancel = v; }
  bool Default() const { return FDefault; }
  void SetDefault(bool v) { FDefault = v; }
  TtbTBButtonDisplayMode DisplayMode() const { return FDisplayMode; }
  void SetDisplayMode(TtbTBButtonDisplayMode v);
  bool Down() const { return FDown; }
  void SetDown(bool v);
  bool DropdownAlways() const { return FDropdownAlways; }
  void SetDropdownAlways(bool v);
  bool DropdownArrow() const { return FDropdownArrow; }
  void SetDropdownArrow(bool v);
  int DropdownArrowWidth() const { return FDropdownArrowWidth; }
  void SetDropdownArrowWidth(int v);
  bool DropdownCombo() const { return FDropdownCombo; }
  void SetDropdownCombo(bool v);
  TPopupMenu* DropdownMenu() const { return FDropdownMenu; }
  void SetDropdownMenu(TPopupMenu* v);
  bool Flat() const { return FFlat; }
  void SetFlat(bool v);
  TBitmap& Glyph() { return FGlyph->Glyph(); }
  void SetGlyph(const TBitmap* v);
  TBitmap& GlyphMask() { return FGlyph->GlyphMask(); }
  void SetGlyphMask(const TBitmap* v);
  int GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(int v);
  int ImageIndex() const { return FGlyph->ImageIndex(); }
  void SetImageIndex(int v);
  TCustomImageList* Images() const { return FGlyph->ImageList(); }
  void SetImages(TCustomImageList* v);
  TButtonLayout Layout() const { return FLayout; }
  void SetLayout(TButtonLayout v);
  int Margin() const { return FMargin; }
  void SetMargin(int v);
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult v) { FModalResult = v; }
  bool NoBorder() const { return FNoBorder; }
  void SetNoBorder(bool v);
  int NumGlyphs() const { return FGlyph->NumGlyphs(); }
  void SetNumGlyphs(int v);
  bool OldDisabledStyle() const { return FOldDisabledStyle; }
  void SetOldDisabledStyle(bool v);
  bool Opaque() const { return FOpaque; }
  void SetOpaque(bool v);
  bool Repeating() const { return FRepeating; }
  void SetRepeating(bool v) { FRepeating = v; }
  int RepeatDelay() const { return FRepeatDelay; }
  void SetRepeatDelay(int v) { FRepeatDelay = v; }
  int RepeatInterval() const { return FRepeatInterval; }
  void SetRepeatInterval(int v) { FRepeatInterval = v; }
  bool ShowBorderWhenInactive() const { return FShowBorderWhenInactive; }
  void SetShowBorderWhenInactive(bool v) { FShowBorderWhenInactive = v; }
  int Spacing() const { return FSpacing; }
  void SetSpacing(int v);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool v);

  // Whether the form file keeps these: not while an action supplies them.
  bool IsDownStored() const { return !FButtonLink.IsCheckedLinked(); }
  bool IsHelpContextStored() const { return !FButtonLink.IsHelpContextLinked(); }
  bool IsImageIndexStored() const { return !FButtonLink.IsImageIndexLinked(); }

  TtbButtonState State() const { return FState; }
  bool MouseInControl() const { return FMouseInControl; }
  TtbTBButtonGlyph& ButtonGlyph() { return *FGlyph; }
  // The glyph's palette; nullptr when it has none.
  const std::vector<TColorRef>* GetPalette() const {
    const auto& p = FGlyph->Glyph().Image()->Palette();
    return p.empty() ? nullptr : &p;
  }
  // The button the mouse is over, if any, of all buttons of the process.
  static TtbToolbarButton* HotButton();

  void Click() override;
  // Invalidates the control; the parent repaints beneath only when it may show through.
  static void RepaintTransparent(TControl* control, bool parentShowsThrough);

  TtbTBButtonDropdownEvent OnDropdown;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

protected:
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void DblClick() override {}
  void WndProc(TMessage& m) override;
  void ActionChange(TBasicAction* sender, bool checkDefaults) override;
  void AssignTo(TPersistent* dest) const override;
  void CMEnabledChanged(TMessage& m) override;
  void CMFontChanged(TMessage& m) override;
  void CMTextChanged(TMessage& m) override;

private:
  friend class TtbToolbarButtonActionLink;
  static void HookProc(TtbHookEventKind kind, HWND wnd, WPARAM wp, LPARAM lp);

  void repaint() { RepaintTransparent(this, true); }
  bool inMainPart(int x, int y);
  bool hasDropdown() const { return FDropdownAlways || FDropdownMenu; }
  void updateHasDropdown();
  void updateGroup();
  void mouseEntered();
  void mouseLeft();
  void becomeHot();
  void endClick();
  void stopHotTracking();
  void repeatTick();
  void freeRepeatTimer();
  void removeQueuedClicks();
  void showDropdownMenu(bool showMenu);
  void dialogKey(TMessage& m);
  void dialogChar(TMessage& m);
  void sysColorChange(TMessage& m);
  void paintOn(TCanvas& canvas);
  TtbButtonState restingState() const { return FDown && FGroupIndex != 0 ? tbsExclusive : tbsUp; }

  std::unique_ptr<TtbTBButtonGlyph> FGlyph;
  TtbToolbarButtonActionLink FButtonLink{this};
  TAlignment FAlignment = taCenter;
  bool FAllowAllUp = false;
  bool FCancel = false;
  bool FDefault = false;
  TtbTBButtonDisplayMode FDisplayMode = admBoth;
  bool FDown = false;
  bool FDropdownAlways = false;
  bool FDropdownArrow = true;
  int FDropdownArrowWidth = 9;
  bool FDropdownCombo = false;
  TPopupMenu* FDropdownMenu = nullptr;
  bool FFlat = true;
  int FGroupIndex = 0;
  TButtonLayout FLayout = blGlyphLeft;
  int FMargin = -1;
  TModalResult FModalResult = 0;
  bool FNoBorder = false;
  bool FOldDisabledStyle = false;
  bool FOpaque = true;
  bool FRepeating = false;
  int FRepeatDelay = 400;
  int FRepeatInterval = 100;
  bool FShowBorderWhenInactive = false;
  int FSpacing = 4;
  bool FWordWrap = false;

  TtbButtonState FState = tbsUp;
  bool FMouseInControl = false;
  bool FMouseIsDown = false;       // tracking: the left button pressed on the main part
  bool FMenuIsDown = false;        // this press went to the dropdown part
  bool FHasDropdown = false;
  bool FInClick = false;
  std::unique_ptr<TTimer> FRepeatTimer;
};
