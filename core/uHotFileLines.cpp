#include "core/uHotFileLines.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/rtl/Exceptions.h"

namespace {

// Characters 'first'..'first+count-1' (from 1); missing characters are left out.
std::string_view Chars(const AnsiString& s, std::size_t first, std::size_t count) {
  if (first < 1 || first > s.size()) return {};
  return std::string_view(s).substr(first - 1, count);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

struct TField {
  int Width;
  int StartB;
  int StartA;  // 0: the layout has no such field
};

constexpr TField Totals93[] = {{15, 35, 28}, {15, 50, 43}, {15, 65, 58}, {15, 80, 73}, {15, 95, 0}, {15, 115, 92}};
constexpr TField Totals94[] = {{15, 35, 28}, {15, 50, 43}, {15, 65, 58}, {15, 80, 73}, {15, 95, 0}, {15, 115, 88}};
constexpr TField Totals95[] = {{5, 25, 18},  {15, 30, 23}, {15, 45, 38}, {15, 60, 53},
                               {15, 75, 68}, {15, 90, 0},  {15, 115, 83}};
constexpr TField Totals99[] = {{5, 24, 17},  {15, 29, 22}, {15, 44, 37}, {15, 59, 52},
                               {15, 74, 67}, {15, 89, 0},  {15, 115, 82}};

// A total reads as zero: '0's with the signed zero '{' last. The field lies within text.
void ZeroFieldAt(char* text, int start, int width) {
  std::memset(text + start - 1, '0', std::size_t(width - 1));
  text[start + width - 2] = '{';
}

template <std::size_t N>
AnsiString ZeroFields(const AnsiString& Line, bool layoutA, const TField (&fields)[N]) {
  AnsiString copy = Line;
  for (const TField& f : fields) THotFileLine::ZeroField(copy, layoutA ? f.StartA : f.StartB, f.Width);
  return copy;
}

}  // namespace

bool THotFileData::IsTLine(const AnsiString& Line) { return !Line.empty() && Line[0] == 'T'; }

ShortString<3> THotFileData::MessageId(const AnsiString& Line) { return Chars(Line, 1, 3); }

ShortString<2> THotFileData::NumericQualifier(const AnsiString& Line) { return Chars(Line, 12, 2); }

ShortString<5> THotFileData::RecordId(const AnsiString& Line) {
  char id[5];
  const std::string_view message = Chars(Line, 1, 3);
  const std::string_view qualifier = Chars(Line, 12, 2);
  if (!message.empty()) std::memcpy(id, message.data(), message.size());
  if (!qualifier.empty()) std::memcpy(id + message.size(), qualifier.data(), qualifier.size());
  return ShortString<5>(std::string_view(id, message.size() + qualifier.size()));
}

void THotFileData::DetectLayout(const AnsiString& Header, ShortString<3>& Code) {
  if (IsTLine(Header)) {
    Code = "100";
    return;
  }
  Code = Chars(Header, 20, 3);
  const AnsiString trimmed = Trim(Code.View());
  const std::string_view century = Chars(Header, 39, 2);
  const bool announcesA = trimmed.size() == 3 && IsDigit(trimmed[0]) && IsDigit(trimmed[1]) &&
                          IsDigit(trimmed[2]) && trimmed[0] == '2' && century.size() == 2 &&
                          IsDigit(century[0]) && IsDigit(century[1]);
  if (announcesA) {
    FLayoutA = true;
    return;
  }
  FLayoutA = false;
  Code = Chars(Header, 22, 3);
}

ShortString<7> THotFileData::Agtn(const AnsiString& Line) { return Chars(Line, 14, 7); }

ShortString<5> THotFileData::Tacn(const AnsiString& Line) const {
  if (IsTLine(Line)) return {};
  return FLayoutA ? Chars(Line, 25, 3) : Chars(Line, 51, 5);
}

THotFileLine::THotFileLine() : FBuffer(std::make_unique<char[]>(HotMaxFetch + 1)) {}

bool THotFileLine::ReadLine(TCtlBaseViewer& Viewer, int N, AnsiString& Id, AnsiString& Line,
                            const THotProgress& Progress, void* UserValue) {
  Line.clear();
  Id.clear();
  if (Viewer.ClampLine(N) != N) return false;
  if (Progress) Progress(UserValue);
  const int length = Viewer.FetchDisplayLine(N, FBuffer.get(), HotMaxFetch);
  if (length == 0) return true;
  // A line of blanks is padding, not the end of the records.
  bool blank = true;
  for (int i = 0; i < length && blank; ++i) blank = uint8_t(FBuffer[i]) <= 32;
  if (blank) return true;
  Line.assign(FBuffer.get(), std::size_t(length));
  return ParseLine(Line, Id);
}

bool THotFileLine::ParseLine(AnsiString& Line, AnsiString& Id) {
  if (Line.size() < std::size_t(HotRecordWidth)) Line.resize(HotRecordWidth, ' ');
  if (Line[0] != 'B' && Line[0] != 'A') return false;
  // The line is at least a record wide here: message id and numeric qualifier are both whole.
  Id.assign(Line.data(), 3);
  Id.append(Line.data() + 11, 2);
  return true;
}

bool THotFileLine::QuickId(const TCtlBaseViewer& Viewer, const char* Text, char (&Id)[5]) {
  if (Text[0] != 'B' && Text[0] != 'A') return false;
  const uint8_t first = Viewer.FirstChar(), last = Viewer.LastChar();
  if (last < first) return false;
  const uint8_t span = uint8_t(last - first);
#if defined(__SSE2__)
  // All thirteen at once; what lies past a NUL among them is loaded but never used.
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Text));
  const __m128i shifted = _mm_sub_epi8(v, _mm_set1_epi8(char(first)));
  const __m128i shown = _mm_cmpeq_epi8(_mm_min_epu8(shifted, _mm_set1_epi8(char(span))), shifted);
  const __m128i stops = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_setzero_si128()), _mm_cmpeq_epi8(v, _mm_set1_epi8('\t')));
  const int bad = _mm_movemask_epi8(_mm_andnot_si128(shown, _mm_set1_epi8(-1))) | _mm_movemask_epi8(stops);
  if (bad & 0x1FFF) return false;
#else
  // Stops at the NUL: nothing past the line's end is read.
  for (int i = 0; i < 13; ++i) {
    const uint8_t c = uint8_t(Text[i]);
    if (c == 0 || c == '\t' || uint8_t(c - first) > span) return false;
  }
#endif
  std::memcpy(Id, Text, 3);
  std::memcpy(Id + 3, Text + 11, 2);
  return true;
}

void THotFileLine::ZeroField(AnsiString& Line, int Start, int Width) {
  if (Start <= 0 || Width <= 0) return;
  const std::size_t end = std::size_t(Start + Width - 1);
  if (Line.size() < end) Line.resize(end, ' ');
  ZeroFieldAt(Line.data(), Start, Width);
}

int THotFileLine::FetchRecord(TCtlBaseViewer& Viewer, int N, char* Dest) {
  const int length = Viewer.FetchDisplayLine(N, Dest, HotMaxFetch);
  if (length >= HotRecordWidth) return length;
  std::memset(Dest + length, ' ', std::size_t(HotRecordWidth - length));
  return HotRecordWidth;
}

void THotFileLine::ZeroTotalsIn(char* Record, int Qualifier) const {
  const auto zero = [&](const auto& fields) {
    for (const TField& f : fields) {
      const int start = LayoutA() ? f.StartA : f.StartB;
      if (start > 0) ZeroFieldAt(Record, start, f.Width);
    }
  };
  switch (Qualifier) {
    case 93: zero(Totals93); break;
    case 94: zero(Totals94); break;
    case 95: zero(Totals95); break;
    case 99: zero(Totals99); break;
    default: break;
  }
}

AnsiString THotFileLine::ZeroTotals93(const AnsiString& Line) const { return ZeroFields(Line, LayoutA(), Totals93); }
AnsiString THotFileLine::ZeroTotals94(const AnsiString& Line) const { return ZeroFields(Line, LayoutA(), Totals94); }
AnsiString THotFileLine::ZeroTotals95(const AnsiString& Line) const { return ZeroFields(Line, LayoutA(), Totals95); }
AnsiString THotFileLine::ZeroTotals99(const AnsiString& Line) const { return ZeroFields(Line, LayoutA(), Totals99); }

namespace {

std::unique_ptr<THotFileLine> GHotFileLine;

}  // namespace

THotFileLine& GlobalHotFileLine() {
  if (!GHotFileLine) throw EInvalidOperation("The record reader is not started");
  return *GHotFileLine;
}

void CreateGlobalHotFileLine() {
  if (!GHotFileLine) GHotFileLine = std::make_unique<THotFileLine>();
}

void FreeGlobalHotFileLine() { GHotFileLine.reset(); }
