#include "platform/win/Clipboard.h"

#include "platform/win/DisplayBackend.h"
#include "platform/win/Windows.h"

namespace {

struct TClip {
  bool Open = false;
  HWND Owner = 0;
  TClipboardStore Store;
};

TClip& Cb() {
  static TClip c;
  return c;
}

void Put(const std::optional<AnsiString>& t) {
  if (Cb().Store.Put) Cb().Store.Put(t);
  else DisplayBackend().SetClipboardText(t);
}

}  // namespace

bool OpenClipboard(HWND owner) {
  if (Cb().Open) return false;
  Cb().Open = true;
  Cb().Owner = owner;
  return true;
}

bool CloseClipboard() {
  if (!Cb().Open) return false;
  Cb().Open = false;
  return true;
}

bool EmptyClipboard() {
  if (!Cb().Open) return false;
  Put(std::nullopt);
  return true;
}

bool SetClipboardText(const AnsiString& text) {
  if (!Cb().Open) return false;
  // Text ends at its first NUL, as the platform's text format does.
  Put(text.substr(0, text.find('\0')));
  return true;
}

std::optional<AnsiString> GetClipboardText() {
  if (Cb().Store.Get) return Cb().Store.Get();
  return DisplayBackend().ClipboardText();
}

bool IsClipboardFormatAvailable(UINT format) {
  return (format == CF_TEXT || format == CF_UNICODETEXT) && GetClipboardText().has_value();
}

void SetClipboardStore(TClipboardStore store) { Cb().Store = std::move(store); }
void ResetClipboard() { Cb() = TClip{}; }
