#include "platform/gdi/Fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

#include "platform/rtl/Exceptions.h"

namespace {

using FaceKey = std::tuple<AnsiString, int, bool, bool, int>;

// Faces live in the library object so they are closed before the library itself.
struct FontLibrary {
  FT_Library Library = nullptr;
  std::map<FaceKey, std::unique_ptr<TFontFace>> Faces;
  FontLibrary() {
    if (FT_Init_FreeType(&Library) != 0) throw Exception("Cannot start the font engine");
    if (!FcInit()) throw Exception("Cannot read the font configuration");
  }
  ~FontLibrary() {
    Faces.clear();
    FT_Done_FreeType(Library);
  }
};

FontLibrary& Fonts() {
  static FontLibrary lib;
  return lib;
}

const char* GenericFamily(const AnsiString& name, bool fixedPitch) {
  static const std::pair<const char*, const char*> aliases[] = {
      {"MS Sans Serif", "sans-serif"}, {"MS Shell Dlg", "sans-serif"}, {"MS Shell Dlg 2", "sans-serif"},
      {"System", "sans-serif"},        {"Small Fonts", "sans-serif"},  {"Tahoma", "sans-serif"},
      {"Arial", "sans-serif"},         {"Helvetica", "sans-serif"},    {"MS Serif", "serif"},
      {"Times New Roman", "serif"},    {"Courier", "monospace"},      {"Courier New", "monospace"},
      {"Fixedsys", "monospace"},       {"Terminal", "monospace"},     {"Lucida Console", "monospace"},
  };
  for (auto& [from, to] : aliases)
    if (SameText(name, from)) return to;
  if (name.empty()) return fixedPitch ? "monospace" : "sans-serif";
  return nullptr;
}

struct MatchResult {
  AnsiString File;
  int Index = 0;
  AnsiString Family;
};

MatchResult Match(const AnsiString& name, int weight, bool italic, bool fixedPitch) {
  Fonts();
  const char* generic = GenericFamily(name, fixedPitch);
  FcPattern* pat = FcPatternCreate();
  std::string family = generic ? generic : AnsiToUtf8(name);
  FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  if (fixedPitch && !generic) FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>("monospace"));
  FcPatternAddInteger(pat, FC_WEIGHT, weight >= FW_SEMIBOLD ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult res;
  FcPattern* found = FcFontMatch(nullptr, pat, &res);
  FcPatternDestroy(pat);
  MatchResult m;
  if (found) {
    FcChar8* file = nullptr;
    FcChar8* fam = nullptr;
    if (FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch) m.File = reinterpret_cast<char*>(file);
    if (FcPatternGetString(found, FC_FAMILY, 0, &fam) == FcResultMatch) m.Family = Utf8ToAnsi(reinterpret_cast<char*>(fam));
    FcPatternGetInteger(found, FC_INDEX, 0, &m.Index);
    FcPatternDestroy(found);
  }
  if (m.File.empty()) throw Exception("No font is installed for %s", {name});
  return m;
}

int Ceil26(FT_Pos v) { return int((v + 63) >> 6); }

}  // namespace

struct TFontFace::Impl {
  FT_Face Face = nullptr;
  std::map<char32_t, TGlyph> Glyphs;
};

TFontFace::TFontFace(const AnsiString& file, int index, const TLogFont& font) : FImpl(std::make_unique<Impl>()) {
  FFile = file;
  if (FT_New_Face(Fonts().Library, file.c_str(), index, &FImpl->Face) != 0)
    throw Exception("Cannot load font file %s", {file});
  FT_Face face = FImpl->Face;
  FT_Select_Charmap(face, FT_ENCODING_UNICODE);
  FFamily = face->family_name ? AnsiString(face->family_name) : AnsiString();
  FFixedPitch = FT_IS_FIXED_WIDTH(face);

  int em;
  if (font.Height < 0) {
    em = -font.Height;
  } else if (font.Height > 0) {
    // A cell height asks for ascent plus descent of that many pixels.
    double cell = double(face->ascender - face->descender);
    em = std::max(1, int(std::lround(font.Height * double(face->units_per_EM) / cell)));
  } else {
    em = 13;
  }
  em = std::min(em, 2000);
  FT_Set_Pixel_Sizes(face, 0, FT_UInt(em));

  auto& m = FMetrics;
  m.Ascent = Ceil26(face->size->metrics.ascender);
  m.Descent = Ceil26(-face->size->metrics.descender);
  m.Height = m.Ascent + m.Descent;
  m.InternalLeading = std::max(0, m.Height - em);
  m.ExternalLeading = std::max(0, Ceil26(face->size->metrics.height) - m.Height);
  m.MaxCharWidth = Ceil26(face->size->metrics.max_advance);
  m.Weight = font.Weight >= FW_SEMIBOLD ? FW_BOLD : FW_NORMAL;
  m.Italic = font.Italic;
  m.Underlined = font.Underline;
  m.StruckOut = font.StrikeOut;
  m.PitchAndFamily = uint8_t(TMPF_TRUETYPE | (FFixedPitch ? 0 : TMPF_FIXED_PITCH));
  m.CharSet = ANSI_CHARSET;
  m.AveCharWidth = Advance(U'x');
}

TFontFace::~TFontFace() {
  if (FImpl && FImpl->Face) FT_Done_Face(FImpl->Face);
}

const TGlyph& TFontFace::Glyph(char32_t c) {
  auto it = FImpl->Glyphs.find(c);
  if (it != FImpl->Glyphs.end()) return it->second;
  TGlyph g;
  FT_Face face = FImpl->Face;
  FT_UInt index = FT_Get_Char_Index(face, FT_ULong(c));
  if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_RENDER) == 0) {
    FT_GlyphSlot slot = face->glyph;
    g.Advance = int(std::lround(slot->advance.x / 64.0));
    g.Left = slot->bitmap_left;
    g.Top = slot->bitmap_top;
    g.Width = int(slot->bitmap.width);
    g.Height = int(slot->bitmap.rows);
    g.Coverage.resize(size_t(g.Width) * g.Height);
    for (int y = 0; y < g.Height; ++y) {
      const uint8_t* src = slot->bitmap.buffer + std::ptrdiff_t(y) * slot->bitmap.pitch;
      for (int x = 0; x < g.Width; ++x) {
        uint8_t v = slot->bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? ((src[x / 8] >> (7 - x % 8)) & 1) * 255 : src[x];
        g.Coverage[size_t(y) * g.Width + x] = v;
      }
    }
  }
  return FImpl->Glyphs.emplace(c, std::move(g)).first->second;
}

int TFontFace::Advance(char32_t c) { return Glyph(c).Advance; }

int TFontFace::TextWidth(std::string_view text) {
  int w = 0;
  for (char ch : text) w += Advance(AnsiCharToUnicode(ch));
  return w;
}

TFontFace& GetFontFace(const TLogFont& font) {
  auto& cache = Fonts().Faces;
  bool fixed = font.Pitch == FIXED_PITCH;
  bool bold = font.Weight >= FW_SEMIBOLD;
  FaceKey key{UpperCase(font.Name), font.Height, bold, font.Italic, fixed};
  auto it = cache.find(key);
  if (it == cache.end()) {
    MatchResult m = Match(font.Name, font.Weight, font.Italic, fixed);
    TLogFont lf = font;
    it = cache.emplace(key, std::unique_ptr<TFontFace>(new TFontFace(m.File, m.Index, lf))).first;
  }
  return *it->second;
}

AnsiString ResolveFontFamily(const AnsiString& name, bool fixedPitch) {
  return Match(name, FW_NORMAL, false, fixedPitch).Family;
}

std::vector<AnsiString> GetFixedPitchFaces() {
  Fonts();
  FcPattern* pat = FcPatternCreate();
  FcPatternAddInteger(pat, FC_SPACING, FC_MONO);
  FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, nullptr);
  FcFontSet* set = FcFontList(nullptr, pat, os);
  std::set<AnsiString> names;
  if (set) {
    for (int i = 0; i < set->nfont; ++i) {
      FcChar8* fam = nullptr;
      if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &fam) == FcResultMatch)
        names.insert(Utf8ToAnsi(reinterpret_cast<char*>(fam)));
    }
    FcFontSetDestroy(set);
  }
  FcObjectSetDestroy(os);
  FcPatternDestroy(pat);
  return std::vector<AnsiString>(names.begin(), names.end());
}
