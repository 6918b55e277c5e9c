#include "zip/engine/ZpUnreduce.h"

#include "zip/engine/ZpExceptions.h"

TZpUnreducer::TZpUnreducer(TZpUnzipHelper& owner) : TZpOldMethodDecoder(owner, true) {}

void TZpUnreducer::Run(int factor) {
  if (factor < 1 || factor > 4) throw EZpZipInvalidFactor();
  uint8_t followers[256][64];
  uint8_t count[256];
  for (int j = 255; j >= 0; --j) {
    count[j] = static_cast<uint8_t>(Bits(6));
    for (int i = 0; i < count[j]; ++i) followers[j][i] = static_cast<uint8_t>(Bits(8));
  }
  const uint32_t lengthMask = (1u << (8 - factor)) - 1;
  uint8_t last = 0;
  int state = 0;
  uint32_t v = 0, length = 0;
  while (Left() > 0) {
    uint8_t c;
    if (count[last] == 0) {
      c = static_cast<uint8_t>(Bits(8));
    } else if (Bits(1)) {
      c = static_cast<uint8_t>(Bits(8));
    } else {
      const int n = count[last];
      int bits = 1;
      while ((1 << bits) < n) ++bits;
      const uint32_t index = Bits(bits);
      if (index >= static_cast<uint32_t>(n)) BadData();
      c = followers[last][index];
    }
    last = c;
    switch (state) {
      case 0:
        if (c == 144) state = 1;
        else Put(c);
        break;
      case 1:
        if (c == 0) {
          Put(144);
          state = 0;
        } else {
          v = c;
          length = v & lengthMask;
          state = length == lengthMask ? 2 : 3;
        }
        break;
      case 2:
        length += c;
        state = 3;
        break;
      default: {
        const uint32_t distance = ((v >> (8 - factor)) << 8) + c + 1;
        if (distance > FTotal) BadData();
        CopyBack(distance, length + 3);
        state = 0;
      }
    }
  }
  Flush();
}
