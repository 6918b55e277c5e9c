// Carets of the library's controls: a shared description (shape, alignment, size, blink), the
// system caret one control drives from it, and the insert/overwrite pair of the entry fields.
#pragma once

#include <climits>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/classlib/Classes.h"
#include "platform/classlib/Graphics.h"

class TWinControl;

enum TCtlCaretShape : uint8_t { csBlock, csHalfBlock, csVertLine, csHorzLine, csCustom, csBitmap };
enum TCtlCaretAlign : uint8_t { caLeft, caTop, caRight, caBottom, caCenter };

// Shared by reference count; frees itself when the last reference goes.
class TCtlCaret : public TPersistent {
public:
  TCtlCaret() = default;
  AnsiString ClassName() const override { return "TCtlCaret"; }

  void AddRef() { ++FRefCount; }
  // Owner is the holder letting go: a change callback that points at it is cleared, so that the
  // caret never calls an owner that no longer holds it.
  void Release(const void* Owner);
  uint16_t RefCount() const { return FRefCount; }
  // The one change callback and the holder it belongs to.
  void SetOnChange(const void* Owner, std::function<void()> Callback);
  const void* ChangeOwner() const { return FChangeOwner; }

  TCtlCaretShape Shape() const { return FShape; }
  void SetShape(TCtlCaretShape Value);
  TCtlCaretAlign Align() const { return FAlign; }
  void SetAlign(TCtlCaretAlign Value);
  uint16_t BlinkTime() const { return FBlinkTime; }  // 0: the system's
  void SetBlinkTime(uint16_t Value);
  bool IsGray() const { return FIsGray; }
  void SetIsGray(bool Value);
  int CaretHeight() const { return FCaretHeight; }
  void SetCaretHeight(int Value);
  int CaretWidth() const { return FCaretWidth; }
  void SetCaretWidth(int Value);
  TBitmap& Bitmap() { return FBitmap; }
  int BitmapHotSpotX() const { return FHotSpotX; }
  void SetBitmapHotSpotX(int Value);
  int BitmapHotSpotY() const { return FHotSpotY; }
  void SetBitmapHotSpotY(int Value);

private:
  friend class TCtlSingleCaret;
  void changed();
  // Size changes made while fitting the caret to a cell tell nobody.
  void setSize(int Height, int Width) {
    FCaretHeight = Height;
    FCaretWidth = Width;
  }

  TCtlCaretShape FShape = csVertLine;
  TCtlCaretAlign FAlign = caLeft;
  uint16_t FBlinkTime = 0;
  bool FIsGray = false;
  int FCaretHeight = 10;
  int FCaretWidth = 2;
  TBitmap FBitmap;
  int FHotSpotX = 0;
  int FHotSpotY = 0;
  uint16_t FRefCount = 0;
  std::function<void()> FOnChange;
  const void* FChangeOwner = nullptr;
};

// The system caret of one control, shaped by a TCtlCaret and fitted to a character cell.
class TCtlSingleCaret : public TPersistent {
public:
  explicit TCtlSingleCaret(TWinControl* Owner);
  ~TCtlSingleCaret() override;
  TCtlSingleCaret(const TCtlSingleCaret&) = delete;
  TCtlSingleCaret& operator=(const TCtlSingleCaret&) = delete;
  AnsiString ClassName() const override { return "TCtlSingleCaret"; }

  TCtlCaret* Caret() const { return FCaret; }
  void SetCaret(TCtlCaret* Value);
  int CellHeight() const { return FCellHeight; }
  void SetCellHeight(int Value);
  int CellWidth() const { return FCellWidth; }
  void SetCellWidth(int Value);
  bool Linked() const { return FLinked; }
  void SetLinked(bool Value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  TPoint Position() const { return FPosition; }
  // Negative coordinates put the caret out of sight.
  void SetPosition(int X, int Y);
  TPoint Offset() const { return FOffset; }
  // Fits the caret to the cell: its size by shape, its offset by alignment.
  void Reinit();

protected:
  void caretChanged();
  // Shares a caret: one more reference, and its changes come here.
  TCtlCaret* hold(TCtlCaret* caret);
  void letGo(TCtlCaret* caret);

private:
  void moveSystemCaret();

  TWinControl* FOwner;
  TCtlCaret* FCaret = nullptr;
  int FCellHeight = 10;
  int FCellWidth = 10;
  bool FLinked = false;
  bool FVisible = false;
  TPoint FPosition{INT_MAX, INT_MAX};
  TPoint FOffset{0, 0};
  uint32_t FSavedBlinkTime = 0;
};

// The insert caret and the overwrite caret of an entry field; the active one drives the system caret.
class TCtlCaretPair : public TCtlSingleCaret {
public:
  explicit TCtlCaretPair(TWinControl* Owner);
  ~TCtlCaretPair() override;
  AnsiString ClassName() const override { return "TCtlCaretPair"; }

  bool InsertMode() const { return FInsertMode; }
  void SetInsertMode(bool Value);
  TCtlCaret* InsertCaret() const { return FInsertCaret; }
  void SetInsertCaret(TCtlCaret* Value);
  TCtlCaret* OverwriteCaret() const { return FOverwriteCaret; }
  void SetOverwriteCaret(TCtlCaret* Value);

private:
  TCtlCaret* FInsertCaret = nullptr;
  TCtlCaret* FOverwriteCaret = nullptr;
  bool FInsertMode = true;
};
