// Feeds arbitrary bytes to the inflater: it must end with the engine's exception or the data.
// Deflated data also goes into a stream of another kind and into one holding bytes past the
// item, and every way must agree.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/rtl/Streams.h"
#include "zip/engine/ZpExceptions.h"
#include "zip/engine/ZpUnzipHelper.h"

namespace {

bool Decode(const uint8_t* data, size_t size, int method, int64_t declared, TStream& out) {
  TMemoryStream in;
  in.WriteBuffer(data, static_cast<int64_t>(size));
  in.SetPosition(0);
  TZpUnzipHelper u(&in, &out, nullptr);
  u.SetCompressedSize(static_cast<int64_t>(size));
  u.SetUncompressedSize(declared);
  u.SetMethod(method);
  try {
    u.Execute();
    return true;
  } catch (const EZpException&) {
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // The first two bytes choose the declared size, so the output bound is exercised too; the top
  // bits of the first also reach the older methods now and then.
  static const int methods[8] = {8, 8, 8, 1, 2, 3, 5, 6};
  const int method = methods[data[0] >> 5];
  const int64_t declared = (static_cast<int64_t>(data[0] & 0x1F) | static_cast<int64_t>(data[1]) << 5) * 16;
  TMemoryStream out;
  const bool ok = Decode(data + 2, size - 2, method, declared, out);
  if (ok && out.Size() != declared) __builtin_trap();
  if (method != 8) return 0;
  TStringStream text;
  const bool textOk = Decode(data + 2, size - 2, method, declared, text);
  constexpr int64_t Held = 40;
  TMemoryStream around;
  around.SetSize(declared + Held);
  std::memset(around.Memory(), 0xA5, static_cast<size_t>(declared + Held));
  const bool aroundOk = Decode(data + 2, size - 2, method, declared, around);
  if (textOk != ok || aroundOk != ok) __builtin_trap();
  for (int64_t i = 0; i < Held; ++i)
    if (around.Memory()[declared + i] != 0xA5) __builtin_trap();
  if (ok && declared > 0 &&
      (text.DataString().size() != static_cast<size_t>(declared) ||
       std::memcmp(text.DataString().data(), out.Memory(), static_cast<size_t>(declared)) != 0 ||
       std::memcmp(around.Memory(), out.Memory(), static_cast<size_t>(declared)) != 0))
    __builtin_trap();
  return 0;
}
