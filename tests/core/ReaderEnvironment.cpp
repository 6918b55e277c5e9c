// Every test of the splitter reads through the record reader the program makes at start-up.
#include <gtest/gtest.h>

#include "core/uHotFileLines.h"

namespace {

class TReaderEnvironment : public ::testing::Environment {
public:
  void SetUp() override { CreateGlobalHotFileLine(); }
  void TearDown() override { FreeGlobalHotFileLine(); }
};

const auto* const GReader = ::testing::AddGlobalTestEnvironment(new TReaderEnvironment);

}  // namespace
