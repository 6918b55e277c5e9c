// The picture-mask engine: which characters each position of a masked text takes and how, and how
// a plain value goes into the mask and comes out again. Pure functions over texts.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "controls/ctlUserData.h"
#include "platform/rtl/AnsiString.h"

constexpr int ctlMaxMaskLength = 255;
// Shown in every edit position of a number that does not fit its mask.
constexpr char ctlOverflowChar = '*';

enum TCtlPosKind : uint8_t { pkLiteral = 0, pkEdit = 1, pkSemiLiteral = 2 };

// The regional characters the mask engine shows and takes.
struct TCtlMaskIntl {
  char DecimalChar = '.';
  char ThousandsChar = ',';
  AnsiString CurrencyLeft = "$";
  AnsiString CurrencyRight;
  char TrueChar = 'T';
  char FalseChar = 'F';
  char YesChar = 'Y';
  char NoChar = 'N';
  char DateSeparator = '/';
  char TimeSeparator = ':';
};

bool IsMaskEditChar(char M);
// Ch case-converted for the mask character M; Prev is the character before it in the text.
char ConvertMaskCase(char M, char Ch, char Prev, const TCtlUserData& User = CtlUserData());
// Ch as the mask character M takes it (case-converted), or nothing when M refuses it.
std::optional<char> AcceptMaskChar(char M, char Ch, char Prev, const TCtlMaskIntl& Intl,
                                   const TCtlUserData& User = CtlUserData());

// A mask laid over a text of MaxLength positions.
class TCtlPictureMask {
public:
  // What Merge needs to know of the field beyond the mask.
  struct TMergeOptions {
    bool FloatingPoint = false;  // the value's '.' shows as the regional decimal character
    bool RightJustify = false;
    bool NumericValue = false;   // a value that does not fit shows as overflow, never cut
  };

  TCtlPictureMask() : TCtlPictureMask("X", 1) {}
  // The mask is cut at 255 characters and extended to MaxLength by repeating its last character.
  TCtlPictureMask(const AnsiString& Mask, int MaxLength);

  const AnsiString& Mask() const { return FMask; }
  int MaxLength() const { return static_cast<int>(FMask.size()); }
  TCtlPosKind Kind(int Pos) const;
  bool IsLiteral(int Pos) const { return Kind(Pos) == pkLiteral; }
  bool IsSemiLiteral(int Pos) const { return Kind(Pos) == pkSemiLiteral; }
  int SemiLiteralCount() const { return FSemiLiterals; }
  bool NoLiterals() const { return FNoLiterals; }
  bool HasChar(char C) const { return FMask.find(C) != AnsiString::npos; }
  // Semi-literals, hex, octal or binary characters, a point or currency fields.
  bool IsNumericMask() const;
  bool IsRadixMask() const;
  // The position of the mask's '.' when it lies at or before the last edit position, else -1.
  int DecimalPos() const { return FDecimalPos; }
  // One past the whole-number part: the '.', or one past the last edit position.
  int WholeEnd() const { return FDecimalPos >= 0 ? FDecimalPos : FLastEdit + 1; }
  // With floating currency or separators the caret can stand only near the units, so the whole
  // part fills from the right as on a calculator.
  bool FillsFromRight(int Pos) const {
    return FSemiLiterals > 0 && !IsRadixMask() && Pos >= FirstEditPos() && Pos < WholeEnd();
  }
  // The length of the first run of '$'.
  int DollarRun() const;
  // The mask character that decides what the position takes: a semi-literal uses the last one.
  char AcceptChar(int Pos) const;

  int FirstEditPos() const;
  int LastEditPos() const { return FLastEdit; }
  // One past the last edit position that holds a non-blank character.
  int EndOfText(const AnsiString& Text) const;
  int HomePos() const { return FirstEditPos(); }
  // End of text, moved forward over literals up to the last edit position.
  int EndPos(const AnsiString& Text) const;
  // Where the caret may stand: on an edit position, or one past the last.
  int ClipCaret(int Pos) const;
  int NextEditPos(int Pos) const;  // LastEditPos() + 1 when there is none
  int PrevEditPos(int Pos) const;  // -1 when there is none
  // The first and last position of the run of edit positions around Pos.
  int RunStart(int Pos) const;
  int RunEnd(int Pos) const;

  bool IsEmpty(const AnsiString& Text) const;
  AnsiString StripLiterals(const AnsiString& Text) const;
  AnsiString StripForValue(const AnsiString& Text, const TCtlMaskIntl& Intl) const;
  AnsiString Merge(const AnsiString& Value, const TCtlMaskIntl& Intl, TMergeOptions Options,
                   const TCtlUserData& User = CtlUserData()) const;
  // What a literal position shows.
  char LiteralShown(int Pos, const TCtlMaskIntl& Intl, const TCtlUserData& User = CtlUserData()) const;
  // Integer digits right against the point, a units digit, the fraction padded with '0'.
  AnsiString DecimalFixup(const AnsiString& Text) const;
  // Only the integer part, or only the fraction.
  AnsiString FixIntegerPart(const AnsiString& Text) const;
  AnsiString FixFraction(const AnsiString& Text) const;
  // The integer part without currency text and thousands separators, digits to the right.
  AnsiString ToEditForm(const AnsiString& Text, const TCtlMaskIntl& Intl) const;
  AnsiString FromEditForm(const AnsiString& Text, const TCtlMaskIntl& Intl, TMergeOptions Options) const;
  bool Overflowed(const AnsiString& Text) const;
  // Unused edit positions show PadChar. With Password every edit position before the end of the
  // text, or before TypedEnd when that lies further, shows PasswordChar, blanks included.
  AnsiString Display(const AnsiString& Text, bool Password, char PadChar, char PasswordChar, int TypedEnd = 0) const;

private:
  bool inReservation(int pos, int reserved) const;
  AnsiString currencyFloat(const TCtlMaskIntl& intl) const;
  AnsiString mergeNumeric(AnsiString out, const AnsiString& value, const TCtlMaskIntl& intl,
                          const TCtlUserData& user) const;
  AnsiString mergePlain(AnsiString out, const AnsiString& value, const TCtlMaskIntl& intl, TMergeOptions options,
                        const TCtlUserData& user) const;
  AnsiString overflow(AnsiString out) const;

  AnsiString FMask;
  std::vector<TCtlPosKind> FKinds;
  int FSemiLiterals = 0;
  bool FNoLiterals = true;
  int FLastEdit = -1;
  int FDecimalPos = -1;
};

class TCtlIntlSup;
// The regional characters as the international support has read them.
TCtlMaskIntl MaskIntlOf(const TCtlIntlSup& Intl);
