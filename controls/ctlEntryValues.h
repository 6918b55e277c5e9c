// The typed values behind entry fields: data types and their sizes, the ten-byte range values, and
// the number texts that values and ranges are written in and read from.
#pragma once

#include <array>
#include <cstdint>

#include "controls/ctlIntlSup.h"
#include "platform/rtl/AnsiString.h"

enum TPictureDataType : uint8_t {
  pftString, pftChar, pftBoolean, pftYesNo, pftLongInt, pftWord, pftInteger, pftByte, pftShortInt,
  pftReal, pftExtended, pftDouble, pftSingle, pftComp, pftDate, pftTime,
};
constexpr uint8_t ctlLastDataType = pftTime;
// Set in the stored type code of a picture field.
constexpr uint8_t ctlPictureFieldMark = 64;

inline bool IsIntegerType(TPictureDataType T) { return T >= pftLongInt && T <= pftShortInt; }
inline bool IsFloatType(TPictureDataType T) { return T >= pftReal && T <= pftComp; }
inline bool IsNumericType(TPictureDataType T) { return T >= pftLongInt && T <= pftComp; }

// A value of a field's type as ten raw bytes, little-endian, zero-filled.
using TCtlRangeValue = std::array<uint8_t, 10>;

// Bytes of the typed buffer; a string is a length byte and its characters, StringChars of them.
int CtlValueSize(TPictureDataType Type, int StringChars);
TCtlRangeValue CtlDefaultRangeLo(TPictureDataType Type);
TCtlRangeValue CtlDefaultRangeHi(TPictureDataType Type);

// Typed reads and writes of a value of the type; integers narrowed to the type's width, floating
// values to its precision (pftComp rounded), characters, dates and times as integers.
int64_t CtlValueToInteger(TPictureDataType Type, const void* Value);
long double CtlValueToFloat(TPictureDataType Type, const void* Value);
TCtlRangeValue CtlValueFromInteger(TPictureDataType Type, int64_t Value);
TCtlRangeValue CtlValueFromFloat(TPictureDataType Type, long double Value);

// How a field writes integers: picked by a 'K', 'O' or 'b' in its mask.
enum TCtlRadix : uint8_t { crDecimal, crHex, crOctal, crBinary };
TCtlRadix CtlRadixOfMask(const AnsiString& Mask);

// Hexadecimal, octal and binary with leading zeros for a value of Size bytes; decimal otherwise.
AnsiString CtlIntegerToText(int32_t Value, int Size, TCtlRadix Radix);
// Blanks around are ignored and empty text is 0; false for text that is no number of the radix or
// does not fit 32 bits.
bool CtlTextToInteger(const AnsiString& Text, TCtlRadix Radix, int32_t& Value);
// A decimal number with '.' as the point; empty text is 0.
bool CtlTextToFloat(const AnsiString& Text, long double& Value);

// Range texts: the field's type, mask, decimals, length limit and epoch decide the form.
struct TCtlRangeFormat {
  TPictureDataType Type = pftString;
  const AnsiString* Mask = nullptr;
  int DecimalPlaces = 0;
  int MaxLength = 15;
  int Epoch = 0;
};
// Raises EInvalidRangeValue for text that does not convert or lies outside the type's limits.
TCtlRangeValue CtlRangeFromText(const TCtlRangeFormat& Format, const AnsiString& Text);
AnsiString CtlRangeToText(const TCtlRangeFormat& Format, const TCtlRangeValue& Value);
// The decimals a mask gives: digit positions after its '.', or -1 when it has none.
int CtlMaskDecimals(const AnsiString& Mask);
// A floating value with the decimals, plain when it fits Width and scientific otherwise.
AnsiString CtlFloatToText(long double Value, int Decimals, int Width, char DecimalChar);
