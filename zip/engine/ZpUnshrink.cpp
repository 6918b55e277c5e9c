#include "zip/engine/ZpUnshrink.h"

#include <vector>

TZpUnshrinker::TZpUnshrinker(TZpUnzipHelper& owner) : TZpOldMethodDecoder(owner, false) {}

void TZpUnshrinker::Run() {
  constexpr int MaxCode = 8192;
  std::vector<int16_t> parent(MaxCode, -1);
  std::vector<uint8_t> value(MaxCode, 0);
  std::vector<uint8_t> inUse(MaxCode, 0);
  std::vector<uint8_t> stack(MaxCode);
  for (int i = 0; i < 256; ++i) {
    value[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
    inUse[static_cast<std::size_t>(i)] = 1;
  }
  inUse[256] = 1;
  int codeSize = 9;
  int nextFree = 257;
  int prev = -1;
  while (Left() > 0) {
    int code = static_cast<int>(Bits(codeSize));
    if (code == 256) {
      const uint32_t control = Bits(codeSize);
      if (control == 1) {
        if (++codeSize > 13) BadData();
      } else if (control == 2) {
        // Partial clear: every code that is no other code's parent becomes free.
        std::vector<uint8_t> isParent(MaxCode, 0);
        for (int c = 257; c < MaxCode; ++c)
          if (inUse[static_cast<std::size_t>(c)] && parent[static_cast<std::size_t>(c)] >= 0)
            isParent[static_cast<std::size_t>(parent[static_cast<std::size_t>(c)])] = 1;
        for (int c = 257; c < MaxCode; ++c)
          if (!isParent[static_cast<std::size_t>(c)]) inUse[static_cast<std::size_t>(c)] = 0;
        nextFree = 257;
        while (nextFree < MaxCode && inUse[static_cast<std::size_t>(nextFree)]) ++nextFree;
      } else {
        BadData();
      }
      continue;
    }
    if (code >= MaxCode) BadData();
    // A code not yet defined can only be the one about to be made (the KwKwK case).
    const bool known = inUse[static_cast<std::size_t>(code)] != 0;
    if (!known && (code != nextFree || prev < 0)) BadData();
    int depth = 0;
    int c = known ? code : prev;
    while (c >= 0) {
      if (depth >= MaxCode) BadData();
      stack[static_cast<std::size_t>(depth++)] = value[static_cast<std::size_t>(c)];
      c = c >= 257 ? parent[static_cast<std::size_t>(c)] : -1;
    }
    const uint8_t first = stack[static_cast<std::size_t>(depth - 1)];
    for (int i = depth - 1; i >= 0; --i) Put(stack[static_cast<std::size_t>(i)]);
    if (!known) Put(first);
    if (prev >= 0 && nextFree < MaxCode) {
      parent[static_cast<std::size_t>(nextFree)] = static_cast<int16_t>(prev);
      value[static_cast<std::size_t>(nextFree)] = first;
      inUse[static_cast<std::size_t>(nextFree)] = 1;
      while (nextFree < MaxCode && inUse[static_cast<std::size_t>(nextFree)]) ++nextFree;
    }
    prev = code;
  }
  Flush();
}
