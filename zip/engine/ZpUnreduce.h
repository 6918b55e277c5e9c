// Methods 2 to 5, reduce: follower sets, then DLE-coded copies from the recent output.
#pragma once

#include "zip/engine/ZpOldMethodDecoder.h"

class TZpUnreducer final : public TZpOldMethodDecoder {
public:
  explicit TZpUnreducer(TZpUnzipHelper& owner);
  void Run(int factor);
};
