// List boxes with single and multiple selection, and combo boxes with their drop-down list.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/StringList.h"
#include "platform/classlib/ControlPaint.h"
#include "platform/classlib/Controls.h"
#include "platform/classlib/MemoEditor.h"

// The items of a list or combo box: they tell before an item is inserted or deleted, so that the
// selection can stay on the same items.
class TListBoxStrings final : public TStringList {
public:
  int Add(const AnsiString& s) override;
  void Insert(int index, const AnsiString& s) override;
  void Delete(int index) override;
  std::function<void(int index)> OnInserting;
  std::function<void(int index)> OnDeleting;
};

class TCustomListBox : public TCustomControl {
public:
  explicit TCustomListBox(TComponent* owner);
  AnsiString ClassName() const override { return "TCustomListBox"; }

  TStrings& Items() { return FItems; }
  void SetItems(const TStrings& v) { FItems.Assign(v); }
  int Count() const { return FItems.Count(); }
  // The current item: the selected one, or with multiple selection the one with the focus frame.
  int ItemIndex() const { return FItemIndex; }
  void SetItemIndex(int v);
  bool MultiSelect() const { return FMultiSelect; }
  void SetMultiSelect(bool v);
  // With multiple selection: Shift selects ranges and Ctrl adds single items, instead of each
  // click toggling an item.
  bool ExtendedSelect() const { return FExtendedSelect; }
  void SetExtendedSelect(bool v) { FExtendedSelect = v; }
  bool Selected(int index) const;
  void SetSelected(int index, bool v);
  int SelCount() const;
  void ClearSelection();
  void SelectAll();
  bool Sorted() const { return FItems.Sorted(); }
  void SetSorted(bool v) { FItems.SetSorted(v); }
  int TopIndex() const { return FTopIndex; }
  void SetTopIndex(int v);
  int ItemHeight() const { return FItemHeight; }
  void SetItemHeight(int v);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle v);
  // The item at a client point, or -1.
  int ItemAtPos(TPoint p, bool existing = true);
  TRect ItemRect(int index);
  void Clear() { FItems.Clear(); }
  int VisibleItems();
  TRect ScrollBarRect();

protected:
  void Paint() override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  bool WantsKey(uint16_t key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void WndProc(TMessage& m) override;
  void CMFontChanged(TMessage& m) override;
  // The user changed the selection.
  virtual void SelectionChanged();

private:
  void ItemsChanged();
  void ItemInserting(int index);
  void ItemDeleting(int index);
  void MoveCurrent(int index, TShiftState shift, bool fromMouse);
  void MakeVisible(int index);
  TRect ItemsArea();
  TScrollBarGeometry Geometry();
  int BorderWidth() const { return FBorderStyle == bsSingle ? 2 : 0; }

  TListBoxStrings FItems;
  std::vector<bool> FSelectedMarks;
  int FItemIndex = -1;
  int FAnchor = -1;
  bool FMultiSelect = false;
  bool FExtendedSelect = true;
  int FTopIndex = 0;
  int FItemHeight = 13;
  TBorderStyle FBorderStyle = bsSingle;
  bool FTracking = false;
  TScrollPart FPartPressed = TScrollPart::None;
  int FThumbGrab = 0;
  TPressRepeat FRepeat;
};

class TListBox : public TCustomListBox {
public:
  using TCustomListBox::TCustomListBox;
  AnsiString ClassName() const override { return "TListBox"; }
};

// ---- Combo box ----

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList };

class TComboDropDown;

class TCustomComboBox : public TCustomControl {
public:
  explicit TCustomComboBox(TComponent* owner);
  ~TCustomComboBox() override;
  AnsiString ClassName() const override { return "TCustomComboBox"; }

  TStrings& Items() { return FItems; }
  void SetItems(const TStrings& v) { FItems.Assign(v); }
  int ItemIndex() const { return FItemIndex; }
  void SetItemIndex(int v);
  TComboBoxStyle Style() const { return FStyle; }
  void SetStyle(TComboBoxStyle v);
  int DropDownCount() const { return FDropDownCount; }
  void SetDropDownCount(int v) { FDropDownCount = v < 1 ? 1 : v; }
  bool Sorted() const { return FItems.Sorted(); }
  void SetSorted(bool v) { FItems.SetSorted(v); }
  int MaxLength() const { return FEditor.MaxLength(); }
  void SetMaxLength(int v) { FEditor.SetMaxLength(v); }
  void SetText(const AnsiString& v) override;
  bool DroppedDown() const;
  void SetDroppedDown(bool v);
  void Clear();
  // The drop-down list's window while it is open, else 0.
  HWND ListWindow() const;
  TMemoEditor& Editor() { return FEditor; }

  TNotifyEvent OnChange;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnCloseUp;

protected:
  friend class TComboDropDown;
  virtual void Change();
  void Paint() override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  bool WantsKey(uint16_t key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void WndProc(TMessage& m) override;
  void CMFontChanged(TMessage& m) override;
  TRect ButtonRect();
  TRect TextArea();
  // The list chose an item (or -1 to keep the current one) and closed.
  void CloseUp(int chosen);

private:
  void ItemsChanged();
  void SelectByUser(int index);
  void EditorChanged();
  void UpdateCaret();

  TListBoxStrings FItems;
  int FItemIndex = -1;
  TComboBoxStyle FStyle = csDropDown;
  int FDropDownCount = 8;
  TMemoEditor FEditor{false};
  TCharWidths FWidths;
  std::unique_ptr<TComboDropDown> FDropDown;
  bool FSettingText = false;
  bool FCaretMade = false;
};

class TComboBox : public TCustomComboBox {
public:
  using TCustomComboBox::TCustomComboBox;
  AnsiString ClassName() const override { return "TComboBox"; }
};

