// Method 1, shrink: LZW with codes of 9 to 13 bits and partial clearing.
#pragma once

#include "zip/engine/ZpOldMethodDecoder.h"

class TZpUnshrinker final : public TZpOldMethodDecoder {
public:
  explicit TZpUnshrinker(TZpUnzipHelper& owner);
  void Run();
};
