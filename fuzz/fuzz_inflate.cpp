// Feeds arbitrary bytes to the inflater: it must end with the engine's exception or the data.
#include <cstddef>
#include <cstdint>

#include "platform/rtl/Streams.h"
#include "zip/engine/ZpExceptions.h"
#include "zip/engine/ZpUnzipHelper.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // The first two bytes choose the declared size, so the output bound is exercised too; the top
  // bits of the first also reach the older methods now and then.
  static const int methods[8] = {8, 8, 8, 1, 2, 3, 5, 6};
  const int method = methods[data[0] >> 5];
  const int64_t declared = (static_cast<int64_t>(data[0] & 0x1F) | static_cast<int64_t>(data[1]) << 5) * 16;
  TMemoryStream in;
  in.WriteBuffer(data + 2, static_cast<int64_t>(size - 2));
  in.SetPosition(0);
  TMemoryStream out;
  TZpUnzipHelper u(&in, &out, nullptr);
  u.SetCompressedSize(static_cast<int64_t>(size - 2));
  u.SetUncompressedSize(declared);
  u.SetMethod(method);
  try {
    u.Execute();
    if (out.Size() != declared) __builtin_trap();
  } catch (const EZpException&) {
  }
  return 0;
}
