// The control library's message box: a replaceable function, since the dialogs sit above the library.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/rtl/AnsiString.h"

// Flags and results keep the platform's numbers.
constexpr uint32_t MB_OK = 0x00000000;
constexpr uint32_t MB_OKCANCEL = 0x00000001;
constexpr uint32_t MB_YESNO = 0x00000004;
constexpr uint32_t MB_ICONERROR = 0x00000010;
constexpr uint32_t MB_ICONQUESTION = 0x00000020;
constexpr uint32_t MB_ICONWARNING = 0x00000030;
constexpr uint32_t MB_ICONINFORMATION = 0x00000040;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

using TCtlMessageBoxFunc = std::function<int(const AnsiString& Text, uint32_t Flags, int HelpContext)>;

// Shows a modal message box; until a box is set, the text goes to the standard error output and the
// answer is IDOK.
int CtlMessageBox(const AnsiString& Text, uint32_t Flags, int HelpContext = 0);
// An empty function restores the default.
void SetCtlMessageBox(TCtlMessageBoxFunc Box);
