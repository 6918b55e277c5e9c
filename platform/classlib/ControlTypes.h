// The vocabulary every control shares: the message record, alignment and anchors, shift states,
// border styles, control style and state bits, drag settings, the mouse and key events, accelerators.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/classlib/Classes.h"
#include "platform/rtl/AnsiString.h"
#include "platform/win/Input.h"
#include "platform/win/Messages.h"
#include "platform/win/WinTypes.h"

struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
enum TAnchorKind : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = unsigned;
constexpr TAnchors DefaultAnchors = akLeft | akTop;

constexpr TMouseButton mbLeft = TMouseButton::Left;
constexpr TMouseButton mbRight = TMouseButton::Right;
constexpr TMouseButton mbMiddle = TMouseButton::Middle;

enum TShiftStateFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
using TShiftState = unsigned;
// The shift state of a key message's moment, and of a mouse message's key flags.
TShiftState KeyboardStateToShiftState();
TShiftState KeyDataToShiftState(LPARAM keyData);
TShiftState MouseKeysToShiftState(WPARAM keys);

// Border styles shared by forms and bordered controls.
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;

// Control style bits.
enum TControlStyleFlag : uint32_t {
  csAcceptsControls = 0x0001,
  csCaptureMouse = 0x0002,
  csDesignInteractive = 0x0004,
  csClickEvents = 0x0008,
  csFramed = 0x0010,
  csSetCaption = 0x0020,
  csOpaque = 0x0040,
  csDoubleClicks = 0x0080,
  csFixedWidth = 0x0100,
  csFixedHeight = 0x0200,
  csNoDesignVisible = 0x0400,
  csReplicatable = 0x0800,
  csNoStdEvents = 0x1000,
  csDisplayDragImage = 0x2000,
  csReflector = 0x4000,
  csActionClient = 0x8000,
  csMenuEvents = 0x10000,
};
using TControlStyle = uint32_t;

// Control state bits.
enum TControlStateFlag : uint32_t {
  csLButtonDown = 0x0001,
  csClicked = 0x0002,
  csPalette = 0x0004,
  csReadingState = 0x0008,
  csAlignmentNeeded = 0x0010,
  csFocusing = 0x0020,
  csCreating = 0x0040,
  csPaintCopy = 0x0080,
  csCustomPaint = 0x0100,
  csDestroyingHandle = 0x0200,
  csDocking = 0x0400,
};
using TControlState = uint32_t;

enum TDragMode { dmManual, dmAutomatic };
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
using TDragDropEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y)>;
using TDragOverEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TEndDragEvent = std::function<void(TObject* Sender, TObject* Target, int X, int Y)>;
using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;

// The mouse messages a control handles itself: buttons and moves, not the wheel.
inline bool IsMouseMessage(UINT m) { return m >= WM_MOUSEFIRST && m <= WM_MOUSELAST && m != WM_MOUSEWHEEL; }

// Whether `key` is the accelerator ("&x") of caption, in any letter case.
bool IsAccel(uint16_t key, const AnsiString& caption);
