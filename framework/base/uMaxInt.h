// The larger of two 32-bit integers.
#pragma once

#include <cstdint>

constexpr int32_t MaxInt32(int32_t A, int32_t B) { return A > B ? A : B; }
