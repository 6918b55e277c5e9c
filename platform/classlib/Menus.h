// Menus: items with captions, accelerators, shortcuts, separators and enabled and checked states,
// and the popup menu that tracks the user's choice modally.
#pragma once

#include <memory>
#include <vector>

#include "platform/classlib/ActnList.h"
#include "platform/classlib/Classes.h"
#include "platform/classlib/Graphics.h"

class TMenu;

class TMenuItem : public TComponent {
public:
  explicit TMenuItem(TComponent* owner);
  ~TMenuItem() override;
  AnsiString ClassName() const override { return "TMenuItem"; }

  const AnsiString& Caption() const { return FCaption; }
  void SetCaption(const AnsiString& v);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool v);
  bool Visible() const { return FVisible; }
  void SetVisible(bool v);
  bool Checked() const { return FChecked; }
  void SetChecked(bool v);
  bool Default() const { return FDefault; }
  void SetDefault(bool v) { FDefault = v; }
  TShortCut ShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut v) { FShortCut = v; }
  const AnsiString& Hint() const { return FHint; }
  void SetHint(const AnsiString& v) { FHint = v; }
  int HelpContext() const { return FHelpContext; }
  void SetHelpContext(int v) { FHelpContext = v; }
  int GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(int v) { FGroupIndex = v; }
  bool RadioItem() const { return FRadioItem; }
  void SetRadioItem(bool v) { FRadioItem = v; }
  // A caption of "-" makes a separator.
  bool IsLine() const { return FCaption == "-"; }
  TBasicAction* Action() const { return FActionLink ? FActionLink->Action() : nullptr; }
  void SetAction(TBasicAction* v);

  int Count() const { return static_cast<int>(FItems.size()); }
  TMenuItem* Items(int index) const { return FItems.at(static_cast<size_t>(index)); }
  TMenuItem* Parent() const { return FParent; }
  // Takes an item as the last child (or at index); the item stays owned by its owner.
  void Add(TMenuItem* item);
  void Insert(int index, TMenuItem* item);
  void Remove(TMenuItem* item);
  void Clear();  // frees the children
  int IndexOf(const TMenuItem* item) const;
  int MenuIndex() const { return FParent ? FParent->IndexOf(this) : -1; }
  // The first visible, enabled item whose "&" accelerator is key, or nullptr.
  TMenuItem* FindAccel(uint16_t key) const;
  // The item (this or below) with the shortcut, or nullptr.
  TMenuItem* FindShortCut(TShortCut sc);

  // Runs the item as the user's choice: the action's execute, else OnClick.
  virtual void Click();
  TNotifyEvent OnClick;

protected:
  void Notification(TComponent* component, TOperation operation) override;

private:
  class TMenuActionLink;
  AnsiString FCaption;
  bool FEnabled = true;
  bool FVisible = true;
  bool FChecked = false;
  bool FDefault = false;
  bool FRadioItem = false;
  int FGroupIndex = 0;
  TShortCut FShortCut = 0;
  AnsiString FHint;
  int FHelpContext = 0;
  TMenuItem* FParent = nullptr;
  std::vector<TMenuItem*> FItems;
  std::unique_ptr<TActionLink> FActionLink;
};

class TMenu : public TComponent {
public:
  explicit TMenu(TComponent* owner);
  ~TMenu() override;
  AnsiString ClassName() const override { return "TMenu"; }
  TMenuItem& Items() { return *FItems; }
  // Runs the item whose shortcut is sc; false when none has it (or it is disabled).
  bool IsShortCut(TShortCut sc);

private:
  TMenuItem* FItems = nullptr;  // owned through the component tree
};

enum TPopupAlignment { paLeft, paRight, paCenter };

// How a popup menu learns the user's choice: the default tracks it in a modal loop over the
// menu's own window; tests and other hosts can replace it.
using TPopupTracker = std::function<TMenuItem*(class TPopupMenu& menu, int x, int y)>;

class TPopupMenu : public TMenu {
public:
  explicit TPopupMenu(TComponent* owner);
  ~TPopupMenu() override;
  AnsiString ClassName() const override { return "TPopupMenu"; }
  bool AutoPopup() const { return FAutoPopup; }
  void SetAutoPopup(bool v) { FAutoPopup = v; }
  TPopupAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TPopupAlignment v) { FAlignment = v; }
  TComponent* PopupComponent() const { return FPopupComponent; }
  void SetPopupComponent(TComponent* c);
  int HelpContext() const { return FHelpContext; }
  void SetHelpContext(int v) { FHelpContext = v; }
  // Shows the menu at the screen point and returns when the user chose or cancelled; the chosen
  // item's click runs then.
  virtual void Popup(int x, int y);
  TNotifyEvent OnPopup;

  static void SetTracker(TPopupTracker tracker);

protected:
  void Notification(TComponent* component, TOperation operation) override;

private:
  bool FAutoPopup = true;
  TPopupAlignment FAlignment = paLeft;
  TComponent* FPopupComponent = nullptr;
  int FHelpContext = 0;
};

// Shortcuts: a virtual key with scShift, scCtrl, scAlt.
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr TShortCut scNone = 0;
TShortCut ShortCut(uint16_t key, unsigned shift);
AnsiString ShortCutToText(TShortCut sc);
// Strips the "&" accelerator marks: "&&" stays one "&".
AnsiString StripHotkey(const AnsiString& caption);
// The accelerator character of a caption, upper-cased; 0 when none.
char GetHotkey(const AnsiString& caption);

// The menu of a form: its shortcuts and Alt accelerators reach the items while the form is active.
class TMainMenu : public TMenu {
public:
  explicit TMainMenu(TComponent* owner) : TMenu(owner) {}
  AnsiString ClassName() const override { return "TMainMenu"; }
};
