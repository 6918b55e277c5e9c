#include "framework/forms/aRoot.h"

#include <algorithm>

#include "framework/base/uFileUtils.h"
#include "framework/base/uStringUtils.h"
#include "platform/rtl/Format.h"

namespace {

bool GUseExeDirForOptions = false;
AnsiString GOptionFolder;

const char* const SUnableToWriteOptions =
    "Unable to write to user option file %s\rIt is likely that you do not have WRITE permission to the "
    "following folder:\r%s\rPlease request your System Administrator to make sure you have full "
    "permissions\r for this folder.";

const char* const OptionFileExtension = "ACOPT";

}  // namespace

bool UseExeDirForOptions() { return GUseExeDirForOptions; }
void SetUseExeDirForOptions(bool value) { GUseExeDirForOptions = value; }
const AnsiString& OptionFolder() { return GOptionFolder; }
void SetOptionFolder(const AnsiString& folder) { GOptionFolder = folder; }

TPoint RootDefaultPosition(int screenWidth, int screenHeight, int minWidth, int minHeight) {
  return Point((screenWidth - minWidth) / 2, (screenHeight - minHeight) / 2);
}

TRect KeepBoundsOnScreen(const TRect& bounds, const TRect& area, bool sizeable) {
  int w = bounds.Width(), h = bounds.Height();
  if (sizeable) {
    w = std::min(w, area.Width());
    h = std::min(h, area.Height());
  }
  int top = bounds.Top, left = bounds.Left;
  if (top + h > area.Bottom) top = area.Bottom - h;
  if (top < area.Top) top = area.Top;
  if (left + w > area.Right) left = area.Right - w;
  if (left < area.Left) left = area.Left;
  return Rect(left, top, left + w, top + h);
}

TRect LoadFormGeometry(TCtlAbstractStore& store, const AnsiString& section, const TFormGeometryItems& items,
                       const TRect& current, bool sizeable, TSize minimum, TPoint defaultPosition) {
  int w = current.Width(), h = current.Height();
  if (sizeable) {
    h = std::max(store.ReadInteger(section, items.Height, minimum.cy), minimum.cy);
    w = std::max(store.ReadInteger(section, items.Width, minimum.cx), minimum.cx);
  }
  int top = store.ReadInteger(section, items.Top, defaultPosition.Y);
  int left = store.ReadInteger(section, items.Left, defaultPosition.X);
  return Rect(left, top, left + w, top + h);
}

void SaveFormGeometry(TCtlAbstractStore& store, const AnsiString& section, const TFormGeometryItems& items,
                      const TRect& bounds, bool sizeable) {
  store.WriteInteger(section, items.Top, bounds.Top);
  store.WriteInteger(section, items.Left, bounds.Left);
  if (sizeable) {
    store.WriteInteger(section, items.Height, bounds.Height());
    store.WriteInteger(section, items.Width, bounds.Width());
  }
}

bool ChooseOptionFile(const AnsiString& exeName, TOptionFileChoice& choice) {
  AnsiString name = ReplaceExtension(ExtractBaseName(exeName), OptionFileExtension);
  AnsiString prepared;
  if (GUseExeDirForOptions) {
    // The store reads the file in the program's folder, so that is where a missing one is filled.
    PrepareOptionFile(EnsureTrailingBackslash(ExtractFolderPart(exeName)) + name, prepared);
    choice.FileName = name;
    choice.UseExeDir = true;
    return true;
  }
  if (!GOptionFolder.empty()) {
    PrepareOptionFile(EnsureTrailingBackslash(GOptionFolder) + name, prepared);
    choice.FileName = prepared;
    choice.UseExeDir = false;
    return true;
  }
  return false;
}

AnsiString OptionFileWriteWarning(const AnsiString& path) {
  return Format(SUnableToWriteOptions, {ExtractFilePart(path), ExtractFolderPart(path)});
}
