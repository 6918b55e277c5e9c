// Logical fonts matched to installed faces through fontconfig and rendered with FreeType.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gdi/GdiConsts.h"
#include "platform/rtl/AnsiString.h"

struct TLogFont {
  AnsiString Name = "MS Sans Serif";
  int Height = -11;  // negative: character height in pixels; positive: cell height; 0: default
  int Weight = FW_NORMAL;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
  uint8_t CharSet = DEFAULT_CHARSET;
  uint8_t Pitch = DEFAULT_PITCH;
  friend bool operator==(const TLogFont&, const TLogFont&) = default;
};

struct TTextMetric {
  int Height = 0;
  int Ascent = 0;
  int Descent = 0;
  int InternalLeading = 0;
  int ExternalLeading = 0;
  int AveCharWidth = 0;
  int MaxCharWidth = 0;
  int Weight = FW_NORMAL;
  bool Italic = false;
  bool Underlined = false;
  bool StruckOut = false;
  uint8_t FirstChar = 0x20;
  uint8_t LastChar = 0xFF;
  uint8_t DefaultChar = 0x1F;
  uint8_t BreakChar = 0x20;
  uint8_t PitchAndFamily = 0;
  uint8_t CharSet = ANSI_CHARSET;
};

// One rendered character: coverage 0..255 per pixel, placed relative to the pen on the baseline.
struct TGlyph {
  int Left = 0;     // from the pen to the first column
  int Top = 0;      // from the baseline up to the first row
  int Width = 0;
  int Height = 0;
  int Advance = 0;
  std::vector<uint8_t> Coverage;
};

class TFontFace {
public:
  ~TFontFace();
  TFontFace(const TFontFace&) = delete;
  TFontFace& operator=(const TFontFace&) = delete;

  const AnsiString& FamilyName() const { return FFamily; }
  const AnsiString& FileName() const { return FFile; }
  const TTextMetric& Metrics() const { return FMetrics; }
  bool FixedPitch() const { return FFixedPitch; }
  int Advance(char32_t c);
  const TGlyph& Glyph(char32_t c);
  // Width and height of a line of Windows-1252 text.
  int TextWidth(std::string_view text);

private:
  friend TFontFace& GetFontFace(const TLogFont& font);
  TFontFace(const AnsiString& file, int index, const TLogFont& font);
  struct Impl;
  std::unique_ptr<Impl> FImpl;
  AnsiString FFamily;
  AnsiString FFile;
  TTextMetric FMetrics;
  bool FFixedPitch = false;
};

// The face for a logical font; faces stay cached for the life of the process.
TFontFace& GetFontFace(const TLogFont& font);
// Family names of the installed fixed-pitch faces, sorted.
std::vector<AnsiString> GetFixedPitchFaces();
// The installed family a font name resolves to: the older face names map to fontconfig's
// generic families (sans-serif for the dialog faces, monospace for the typewriter faces).
AnsiString ResolveFontFamily(const AnsiString& name, bool fixedPitch = false);
