// Feeds arbitrary bytes to the inflater: it must end with the engine's exception or the data.
#include <cstddef>
#include <cstdint>

#include "platform/rtl/Streams.h"
#include "zip/engine/ZpExceptions.h"
#include "zip/engine/ZpUnzipHelper.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // The first two bytes choose the declared size, so the output bound is exercised too.
  const int64_t declared = (static_cast<int64_t>(data[0]) | static_cast<int64_t>(data[1]) << 8) * 16;
  TMemoryStream in;
  in.WriteBuffer(data + 2, static_cast<int64_t>(size - 2));
  in.SetPosition(0);
  TMemoryStream out;
  TZpUnzipHelper u(&in, &out, nullptr);
  u.SetCompressedSize(static_cast<int64_t>(size - 2));
  u.SetUncompressedSize(declared);
  u.SetMethod(ZpMethodInflate);
  try {
    u.Execute();
    if (out.Size() != declared) __builtin_trap();
  } catch (const EZpException&) {
  }
  return 0;
}
