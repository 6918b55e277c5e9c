#include "controls/ctlCaret.h"

#include "platform/classlib/Controls.h"
#include "platform/win/Caret.h"

void TCtlCaret::Release(const void* Owner) {
  if (FChangeOwner == Owner) SetOnChange(nullptr, nullptr);
  if (FRefCount <= 1) {
    delete this;
    return;
  }
  --FRefCount;
}

void TCtlCaret::SetOnChange(const void* Owner, std::function<void()> Callback) {
  FChangeOwner = Owner;
  FOnChange = std::move(Callback);
}

void TCtlCaret::changed() {
  if (FOnChange) FOnChange();
}

void TCtlCaret::SetShape(TCtlCaretShape Value) {
  if (Value == FShape) return;
  FShape = Value;
  switch (Value) {
    case csBlock: FAlign = caLeft; break;
    case csHalfBlock: FAlign = caBottom; break;
    case csVertLine:
      FAlign = caLeft;
      FCaretWidth = 2;
      break;
    case csHorzLine:
      FAlign = caBottom;
      FCaretHeight = 2;
      break;
    case csBitmap:
      FCaretHeight = FBitmap.Height();
      FCaretWidth = FBitmap.Width();
      break;
    case csCustom: break;
  }
  changed();
}

void TCtlCaret::SetAlign(TCtlCaretAlign Value) {
  if (Value == FAlign) return;
  FAlign = Value;
  changed();
}

void TCtlCaret::SetBlinkTime(uint16_t Value) {
  if (Value == FBlinkTime) return;
  FBlinkTime = Value;
  changed();
}

void TCtlCaret::SetIsGray(bool Value) {
  if (Value == FIsGray) return;
  FIsGray = Value;
  changed();
}

void TCtlCaret::SetCaretHeight(int Value) {
  if (Value == FCaretHeight) return;
  FCaretHeight = Value;
  changed();
}

void TCtlCaret::SetCaretWidth(int Value) {
  if (Value == FCaretWidth) return;
  FCaretWidth = Value;
  changed();
}

void TCtlCaret::SetBitmapHotSpotX(int Value) {
  if (Value == FHotSpotX) return;
  FHotSpotX = Value;
  if (FShape == csBitmap) changed();
}

void TCtlCaret::SetBitmapHotSpotY(int Value) {
  if (Value == FHotSpotY) return;
  FHotSpotY = Value;
  if (FShape == csBitmap) changed();
}

TCtlSingleCaret::TCtlSingleCaret(TWinControl* Owner) : FOwner(Owner) {
  FCaret = hold(new TCtlCaret);
  Reinit();
}

TCtlSingleCaret::~TCtlSingleCaret() {
  SetVisible(false);
  SetLinked(false);
  letGo(FCaret);
}

TCtlCaret* TCtlSingleCaret::hold(TCtlCaret* caret) {
  if (!caret) return nullptr;
  caret->AddRef();
  caret->SetOnChange(this, [this] { caretChanged(); });
  return caret;
}

void TCtlSingleCaret::letGo(TCtlCaret* caret) {
  if (caret) caret->Release(this);
}

void TCtlSingleCaret::SetCaret(TCtlCaret* Value) {
  if (Value == FCaret || !Value) return;
  letGo(FCaret);
  FCaret = hold(Value);
  caretChanged();
}

void TCtlSingleCaret::SetCellHeight(int Value) {
  if (Value <= 0 || Value == FCellHeight) return;
  FCellHeight = Value;
  caretChanged();
}

void TCtlSingleCaret::SetCellWidth(int Value) {
  if (Value <= 0 || Value == FCellWidth) return;
  FCellWidth = Value;
  caretChanged();
}

void TCtlSingleCaret::caretChanged() {
  bool wasLinked = FLinked;
  SetLinked(false);
  Reinit();
  if (wasLinked) SetLinked(true);
}

void TCtlSingleCaret::Reinit() {
  TCtlCaret& c = *FCaret;
  // 1. Size by shape.
  switch (c.FShape) {
    case csBlock: c.setSize(FCellHeight, FCellWidth); break;
    case csHalfBlock: c.setSize(FCellHeight / 2, FCellWidth); break;
    case csVertLine: c.setSize(FCellHeight, c.FCaretWidth); break;
    case csHorzLine: c.setSize(c.FCaretHeight, FCellWidth); break;
    case csCustom: case csBitmap: break;
  }
  // 2. Offset by alignment.
  int dx = FCellWidth - c.FCaretWidth;
  int dy = FCellHeight - c.FCaretHeight;
  TPoint offset{0, 0};
  switch (c.FAlign) {
    case caLeft: offset = {0, dy / 2}; break;
    case caTop: offset = {dx / 2, 0}; break;
    case caRight: offset = {dx, dy / 2}; break;
    case caBottom: offset = {dx / 2, dy}; break;
    case caCenter: offset = {dx / 2, dy / 2}; break;
  }
  if (c.FShape == csBitmap) {
    offset.X -= c.FHotSpotX;
    offset.Y -= c.FHotSpotY;
  }
  // 3. A linked caret follows a new offset at once.
  if (offset != FOffset) {
    FOffset = offset;
    if (FLinked) moveSystemCaret();
  }
}

void TCtlSingleCaret::SetLinked(bool Value) {
  if (Value == FLinked) return;
  if (Value) {
    if (!FOwner || !FOwner->HandleAllocated()) return;
    FSavedBlinkTime = GetCaretBlinkTime();
    int width = FCaret->FShape == csBitmap ? FCaret->FBitmap.Width() : FCaret->FCaretWidth;
    int height = FCaret->FShape == csBitmap ? FCaret->FBitmap.Height() : FCaret->FCaretHeight;
    CreateCaret(FOwner->Handle(), width, height);
    FLinked = true;
    if (FVisible) ShowCaret(FOwner->Handle());
    moveSystemCaret();
    if (FCaret->FBlinkTime != 0 && FCaret->FBlinkTime != FSavedBlinkTime) SetCaretBlinkTime(FCaret->FBlinkTime);
  } else {
    FLinked = false;
    SetCaretBlinkTime(FSavedBlinkTime);
    if (FOwner && FOwner->HandleAllocated() && CaretWindow() == FOwner->Handle()) DestroyCaret();
  }
}

void TCtlSingleCaret::SetVisible(bool Value) {
  if (Value == FVisible) return;
  FVisible = Value;
  if (!FLinked || !FOwner->HandleAllocated()) return;
  if (Value) ShowCaret(FOwner->Handle());
  else HideCaret(FOwner->Handle());
}

void TCtlSingleCaret::SetPosition(int X, int Y) {
  TPoint p{X < 0 ? INT_MAX : X, Y < 0 ? INT_MAX : Y};
  if (p == FPosition) return;
  FPosition = p;
  if (FLinked) moveSystemCaret();
}

void TCtlSingleCaret::moveSystemCaret() {
  // Out of sight is far to the left and above, where adding the caret's size cannot overflow.
  constexpr int outOfSight = -32768;
  int x = FPosition.X == INT_MAX ? outOfSight : FPosition.X + FOffset.X;
  int y = FPosition.Y == INT_MAX ? outOfSight : FPosition.Y + FOffset.Y;
  SetCaretPos(x, y);
}

TCtlCaretPair::TCtlCaretPair(TWinControl* Owner) : TCtlSingleCaret(Owner) {
  FInsertCaret = new TCtlCaret;
  FInsertCaret->AddRef();
  FOverwriteCaret = new TCtlCaret;
  FOverwriteCaret->AddRef();
  FOverwriteCaret->SetShape(csBlock);
  SetCaret(FInsertCaret);
}

TCtlCaretPair::~TCtlCaretPair() {
  FInsertCaret->Release(this);
  FOverwriteCaret->Release(this);
}

void TCtlCaretPair::SetInsertMode(bool Value) {
  if (Value == FInsertMode) return;
  FInsertMode = Value;
  SetCaret(Value ? FInsertCaret : FOverwriteCaret);
}

void TCtlCaretPair::SetInsertCaret(TCtlCaret* Value) {
  if (!Value || Value == FInsertCaret) return;
  Value->AddRef();
  TCtlCaret* old = FInsertCaret;
  FInsertCaret = Value;
  if (FInsertMode) SetCaret(Value);
  old->Release(this);
}

void TCtlCaretPair::SetOverwriteCaret(TCtlCaret* Value) {
  if (!Value || Value == FOverwriteCaret) return;
  Value->AddRef();
  TCtlCaret* old = FOverwriteCaret;
  FOverwriteCaret = Value;
  if (!FInsertMode) SetCaret(Value);
  old->Release(this);
}
