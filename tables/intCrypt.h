// The stream compressor "xbecrypt7.DLL", loaded on first use: it packs request payloads and
// unpacks answers when a server connection asks for compression.
#pragma once

#include "platform/engines/Modules.h"
#include "platform/rtl/Streams.h"

constexpr const char* XbCryptLibraryName = "xbecrypt7.DLL";

using TCompressStreamProc = void (*)(TStream* source, TStream* dest);
using TSetCompressionPasswordProc = void (*)(const char* password);
using TSetCompressionLevelProc = void (*)(int32_t level);

extern TCompressStreamProc CompressStream;
extern TCompressStreamProc UnCompressStream;
extern TSetCompressionPasswordProc SetCompressionPassword;
extern TSetCompressionLevelProc SetCompressionLevel;

// True once the library is loaded and bound. A missing library shows its message and asks the
// application to end; so does a library that lacks an entry, which is freed again.
bool LoadCompressionEngine();
void UnloadCompressionEngine();

// A memory stream that takes no byte past its limit: a write that would pass it writes nothing,
// answers 0 and marks the stream as overflowed, which stops the compressor's expansion there.
class TLimitedMemoryStream : public TMemoryStream {
public:
  int64_t Write(const void* buffer, int64_t count) override;
  void SetLimit(int64_t limit) { FLimit = limit; }
  bool Overflowed() const { return FOverflowed; }
  void ClearOverflow() { FOverflowed = false; }

private:
  int64_t FLimit = INT64_MAX;
  bool FOverflowed = false;
};

// Expands packed (from its start) into plain, which is emptied first. False when packed is not one
// whole compressed stream or its expansion would pass plain's limit; plain is then empty.
bool ExpandStream(TStream& packed, TLimitedMemoryStream& plain);
