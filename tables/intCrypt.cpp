#include "tables/intCrypt.h"

#include "platform/classlib/Forms.h"
#include "platform/classlib/MessageBox.h"

TCompressStreamProc CompressStream = nullptr;
TCompressStreamProc UnCompressStream = nullptr;
TSetCompressionPasswordProc SetCompressionPassword = nullptr;
TSetCompressionLevelProc SetCompressionLevel = nullptr;

namespace {

HMODULE Library = 0;

template <class F>
bool Bind(F& entry, const char* name) {
  entry = reinterpret_cast<F>(GetProcAddress(Library, name));
  return entry != nullptr;
}

// Frees the library when the process ends.
struct TCryptLibraryOwner {
  ~TCryptLibraryOwner() { UnloadCompressionEngine(); }
} CryptLibraryOwner;

}  // namespace

bool LoadCompressionEngine() {
  if (Library) return true;
  uint32_t previousMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  Library = LoadLibrary(XbCryptLibraryName);
  SetErrorMode(previousMode);
  if (Library && Bind(CompressStream, "CompressStream") && Bind(UnCompressStream, "UnCompressStream") &&
      Bind(SetCompressionPassword, "SetCompressionPassword") && Bind(SetCompressionLevel, "SetCompressionLevel"))
    return true;
  // A library that lacks an entry is as good as none: nothing of it may be called.
  UnloadCompressionEngine();
  ShowErrorBox("Missing required xbecrypt7.DLL.\r\rThis file is part of the XBE engine.", "");
  Application().Terminate();
  return false;
}

void UnloadCompressionEngine() {
  if (Library) FreeLibrary(Library);
  Library = 0;
  CompressStream = nullptr;
  UnCompressStream = nullptr;
  SetCompressionPassword = nullptr;
  SetCompressionLevel = nullptr;
}

int64_t TLimitedMemoryStream::Write(const void* buffer, int64_t count) {
  if (count > 0 && (count > FLimit || Position() > FLimit - count)) {
    FOverflowed = true;
    return 0;
  }
  return TMemoryStream::Write(buffer, count);
}

bool ExpandStream(TStream& packed, TLimitedMemoryStream& plain) {
  plain.Clear();
  plain.ClearOverflow();
  if (!LoadCompressionEngine()) return false;
  packed.SetPosition(0);
  UnCompressStream(&packed, &plain);
  if (plain.Overflowed()) plain.Clear();
  plain.SetPosition(0);
  return !plain.Overflowed() && plain.Size() > 0;
}
