// Edits and memos: single- and multi-line text editing with the keyboard and the mouse, the
// clipboard, scroll bars, and the memo's lines as a string list.
#pragma once

#include "platform/rtl/StringList.h"
#include "platform/classlib/ControlPaint.h"
#include "platform/classlib/Controls.h"
#include "platform/classlib/MemoEditor.h"

// Draws an editor's visible rows with the selection; used by the edit, the memo and the combo box.
void PaintEditorText(TCanvas& canvas, const TMemoEditor& editor, const TRect& area, int lineHeight,
                     bool showSelection, bool enabled, TColor textColor, char passwordChar);

class TCustomEdit : public TCustomControl {
public:
  explicit TCustomEdit(TComponent* owner, bool multiLine = false);
  AnsiString ClassName() const override { return "TCustomEdit"; }

  void SetText(const AnsiString& v) override;
  bool AutoSelect() const { return FAutoSelect; }
  void SetAutoSelect(bool v) { FAutoSelect = v; }
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool v);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle v);
  bool HideSelection() const { return FHideSelection; }
  void SetHideSelection(bool v);
  int MaxLength() const { return FEditor.MaxLength(); }
  void SetMaxLength(int v) { FEditor.SetMaxLength(v); }
  bool ReadOnly() const { return FEditor.ReadOnly(); }
  void SetReadOnly(bool v) { FEditor.SetReadOnly(v); }
  char PasswordChar() const { return FPasswordChar; }
  void SetPasswordChar(char v);
  bool Modified() const { return FEditor.Modified(); }
  void SetModified(bool v) { FEditor.SetModified(v); }

  int SelStart() const { return FEditor.SelStart(); }
  void SetSelStart(int v);
  int SelLength() const { return FEditor.SelLength(); }
  void SetSelLength(int v);
  AnsiString SelText() const { return FEditor.SelText(); }
  void SetSelText(const AnsiString& v);
  void SelectAll();
  void ClearSelection();
  void Clear() { SetText(""); }
  bool CanUndo() const { return FEditor.CanUndo(); }
  void Undo();
  void ClearUndo() { FEditor.ClearUndo(); }
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();

  // The text model, for tests and for controls built on the edit.
  TMemoEditor& Editor() { return FEditor; }
  const TMemoEditor& Editor() const { return FEditor; }

  TNotifyEvent OnChange;

protected:
  virtual void Change();
  void Paint() override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  bool WantsKey(uint16_t key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void DoEnter() override;
  void WndProc(TMessage& m) override;
  // Without a popup menu of its own the edit offers Undo, Cut, Copy, Paste, Delete, Select All.
  void WMContextMenu(TMessage& m) override;
  void CMFontChanged(TMessage& m) override;
  void CMEnabledChanged(TMessage& m) override;

  // The area the text is drawn in, inside the border (and scroll bars).
  virtual TRect TextArea();
  // Called after layout inputs changed: view size, wrap width, scroll bars.
  virtual void UpdateLayout();
  // After the caret moved or the text changed: scroll it into view, move the system caret, repaint.
  void CaretMoved();
  void UpdateCaret();
  TTextPos PosAtPoint(int x, int y);
  int BorderWidth() const { return FBorderStyle == bsSingle ? 2 : 0; }
  int LineHeight() const { return FWidths.LineHeight(); }

  TMemoEditor FEditor;
  TCharWidths FWidths;
  bool FMouseSelecting = false;

private:
  void EditorChanged();
  void AdjustHeight();

  bool FAutoSelect = true;
  bool FAutoSize = true;
  TBorderStyle FBorderStyle = bsSingle;
  bool FHideSelection = true;
  char FPasswordChar = 0;
  bool FCaretMade = false;
};

class TEdit : public TCustomEdit {
public:
  explicit TEdit(TComponent* owner) : TCustomEdit(owner, false) {}
  AnsiString ClassName() const override { return "TEdit"; }
};

class TCustomMemo;

// The memo's lines as a string list: reading and writing it reads and edits the memo's text.
class TMemoStrings final : public TStrings {
public:
  explicit TMemoStrings(TCustomMemo& memo) : FMemo(memo) {}
  int Count() const override;
  AnsiString Get(int index) const override;
  void Put(int index, const AnsiString& s) override;
  void* GetObject(int) const override { return nullptr; }
  void PutObject(int, void*) override {}
  void Insert(int index, const AnsiString& s) override;
  void Delete(int index) override;
  void Clear() override;
  void SetText(const AnsiString& text) override;

private:
  void check(int index, int count) const;
  TCustomMemo& FMemo;
};

class TCustomMemo : public TCustomEdit {
public:
  explicit TCustomMemo(TComponent* owner);
  AnsiString ClassName() const override { return "TCustomMemo"; }

  TStrings& Lines() { return FLines; }
  void SetLines(const TStrings& v) { FLines.Assign(v); }
  TScrollStyle ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle v);
  bool WantReturns() const { return FWantReturns; }
  void SetWantReturns(bool v) { FWantReturns = v; }
  bool WantTabs() const { return FWantTabs; }
  void SetWantTabs(bool v) { FWantTabs = v; }
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool v);
  // The scroll bars' places in client coordinates; empty when not shown.
  TRect VertScrollBarRect();
  TRect HorzScrollBarRect();

protected:
  friend class TMemoStrings;
  void Paint() override;
  void KeyPress(char& key) override;
  bool WantsKey(uint16_t key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void WndProc(TMessage& m) override;
  TRect TextArea() override;
  void UpdateLayout() override;

private:
  TScrollBarGeometry VertGeometry();
  TScrollBarGeometry HorzGeometry();
  void ScrollBy(bool vertical, TScrollPart part);

  TMemoStrings FLines{*this};
  TScrollStyle FScrollBars = ssNone;
  bool FWantReturns = true;
  bool FWantTabs = false;
  bool FWordWrap = true;
  // A press on a scroll bar: which bar, which part, and for the thumb the grab offset.
  int FBarPressed = 0;  // 0 none, 1 vertical, 2 horizontal
  TScrollPart FPartPressed = TScrollPart::None;
  int FThumbGrab = 0;
  TPressRepeat FRepeat;
};

class TMemo : public TCustomMemo {
public:
  using TCustomMemo::TCustomMemo;
  AnsiString ClassName() const override { return "TMemo"; }
};

