// The clipboard, holding text in the code page; the backend may keep it outside the process.
#pragma once

#include <functional>
#include <optional>

#include "platform/win/Messages.h"
#include "platform/win/WinTypes.h"

bool OpenClipboard(HWND owner);
bool CloseClipboard();
bool EmptyClipboard();
bool SetClipboardText(const AnsiString& text);  // only while open
std::optional<AnsiString> GetClipboardText();
bool IsClipboardFormatAvailable(UINT format);

// Where the clipboard's text lives; an empty store keeps it with the display backend.
struct TClipboardStore {
  std::function<void(const std::optional<AnsiString>&)> Put;
  std::function<std::optional<AnsiString>()> Get;
};
void SetClipboardStore(TClipboardStore store);
void ResetClipboard();
