#include "framework/base/uSysFolders.h"

#include <cstring>

#include "framework/base/uFileUtils.h"
#include "platform/rtl/Files.h"

void GetTempFolder(AnsiString& Folder) {
  Folder = GetTempPath();
  // A name handed over with an embedded zero ends there.
  Folder.resize(::strnlen(Folder.c_str(), Folder.size()));
}

void TempFolder(const AnsiString& /*Ignored*/, AnsiString& Folder) {
  GetTempFolder(Folder);
  ForceDirectoriesChecked(Folder);
}

bool GetSystemFolder(AnsiString& Folder) {
  Folder.clear();
  return false;
}

bool GetWindowsFolder(AnsiString& Folder) {
  Folder.clear();
  return false;
}
