// Ternary raster-operation codes (pattern, source, destination) and binary mix modes.
#pragma once

#include <cstdint>

// Bits 16..23 of a ternary code are its truth table: bit (P << 2 | S << 1 | D) is the result.
constexpr uint32_t SRCCOPY = 0x00CC0020;
constexpr uint32_t SRCPAINT = 0x00EE0086;
constexpr uint32_t SRCAND = 0x008800C6;
constexpr uint32_t SRCINVERT = 0x00660046;
constexpr uint32_t SRCERASE = 0x00440328;
constexpr uint32_t NOTSRCCOPY = 0x00330008;
constexpr uint32_t NOTSRCERASE = 0x001100A6;
constexpr uint32_t MERGECOPY = 0x00C000CA;
constexpr uint32_t MERGEPAINT = 0x00BB0226;
constexpr uint32_t PATCOPY = 0x00F00021;
constexpr uint32_t PATPAINT = 0x00FB0A09;
constexpr uint32_t PATINVERT = 0x005A0049;
constexpr uint32_t DSTINVERT = 0x00550009;
constexpr uint32_t BLACKNESS = 0x00000042;
constexpr uint32_t WHITENESS = 0x00FF0062;
constexpr uint32_t ROP_DSna = 0x00220326;
constexpr uint32_t ROP_DSPDxax = 0x00E20746;
constexpr uint32_t ROP_PSDPxax = 0x00B8074A;
constexpr uint32_t ROP_PSo = 0x00FC008A;
constexpr uint32_t ROP_DPo = 0x00FA0089;
constexpr uint32_t ROP_DPa = 0x00A000C9;
constexpr uint32_t ROP_DPna = 0x000A0329;

constexpr uint8_t RopIndex(uint32_t rop) { return uint8_t((rop >> 16) & 0xFF); }
constexpr bool RopUsesSource(uint32_t rop) {
  uint8_t t = RopIndex(rop);
  return ((t >> 2) & 0x33) != (t & 0x33);
}
constexpr bool RopUsesPattern(uint32_t rop) {
  uint8_t t = RopIndex(rop);
  return ((t >> 4) & 0x0F) != (t & 0x0F);
}

// Applies the ternary operation to each of the 32 bits of the three operands.
constexpr uint32_t EvalRop3(uint8_t table, uint32_t p, uint32_t s, uint32_t d) {
  uint32_t r = 0;
  for (int i = 0; i < 8; ++i) {
    if (!((table >> i) & 1)) continue;
    uint32_t term = ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    r |= term;
  }
  return r;
}

// Binary mix modes of pens (SetROP2).
constexpr int R2_BLACK = 1;
constexpr int R2_NOTMERGEPEN = 2;
constexpr int R2_MASKNOTPEN = 3;
constexpr int R2_NOTCOPYPEN = 4;
constexpr int R2_MASKPENNOT = 5;
constexpr int R2_NOT = 6;
constexpr int R2_XORPEN = 7;
constexpr int R2_NOTMASKPEN = 8;
constexpr int R2_MASKPEN = 9;
constexpr int R2_NOTXORPEN = 10;
constexpr int R2_NOP = 11;
constexpr int R2_MERGENOTPEN = 12;
constexpr int R2_COPYPEN = 13;
constexpr int R2_MERGEPENNOT = 14;
constexpr int R2_MERGEPEN = 15;
constexpr int R2_WHITE = 16;

// A binary mode (1..16) is a table over (P, D): bit (P << 1 | D) of (mode - 1).
constexpr uint32_t EvalRop2(int mode, uint32_t p, uint32_t d) {
  uint32_t table = uint32_t(mode - 1) & 0xF;
  uint32_t r = 0;
  for (int i = 0; i < 4; ++i) {
    if (!((table >> i) & 1)) continue;
    r |= ((i & 2) ? p : ~p) & ((i & 1) ? d : ~d);
  }
  return r;
}
