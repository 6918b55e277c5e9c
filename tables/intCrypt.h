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
