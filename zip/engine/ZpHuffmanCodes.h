// Huffman codes for the compressor: code lengths from symbol counts, limited in depth, and the
// canonical codes of those lengths; the fixed codes of the format.
#pragma once

#include <cstdint>

#include "zip/engine/ZpDeflateConstants.h"

// Optimal code lengths for n symbols limited to maxBits; unused symbols get 0.
void ZpBuildCodeLengths(const uint32_t* freq, int n, int maxBits, uint8_t* lengths);
// Canonical codes, bit-reversed as the stream sends them.
void ZpBuildCodes(const uint8_t* lengths, int n, uint16_t* codes);

struct TZpFixedCodes {
  uint8_t LitLen[288];
  uint16_t LitCode[288];
  uint8_t DistLen[30];
  uint16_t DistCode[30];
};

const TZpFixedCodes& ZpFixedCodes();
