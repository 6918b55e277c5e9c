// The platform's folders that the framework asks for: the temporary folder, and the system and
// Windows folders, which this platform does not have.
#pragma once

#include "platform/rtl/AnsiString.h"

void GetTempFolder(AnsiString& Folder);
// The text is not used; the folder is made when it is missing.
void TempFolder(const AnsiString& Ignored, AnsiString& Folder);
// False, with an empty folder, when the platform has no such folder.
bool GetSystemFolder(AnsiString& Folder);
bool GetWindowsFolder(AnsiString& Folder);
