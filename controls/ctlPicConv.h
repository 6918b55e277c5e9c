// The picture field's typed values: converting the text to a value and back, and checking the
// text, by data type. Pure functions over the mask, the regional settings and the range.
#pragma once

#include <cstdint>
#include <optional>

#include "controls/ctlEntryValues.h"
#include "controls/ctlPicMask.h"

class TCtlIntlSup;

constexpr bool IsSinglePositionType(TPictureDataType T) { return T >= pftChar && T <= pftYesNo; }

// One value of any data type; only the member of the field's type counts.
struct TCtlPicValue {
  AnsiString Str;           // pftString
  char Char = 0;            // pftChar
  bool Bool = false;        // pftBoolean, pftYesNo
  int32_t Int = 0;          // integer types; day number of pftDate, seconds of pftTime
  long double Float = 0;    // floating types and pftComp
};

// What a conversion needs to know of the field.
struct TCtlPicConvContext {
  TPictureDataType DataType = pftString;
  const TCtlPictureMask* Mask = nullptr;
  TCtlMaskIntl Intl;
  const TCtlIntlSup* IntlSup = nullptr;
  bool TrimBlanks = false;
  bool StripLiterals = false;
  bool RightJustify = false;
  int DecimalPlaces = 0;
  int Epoch = 2000;
  TCtlPicValue RangeLo;
  TCtlPicValue RangeHi;
};

// The default mask of a data type; dates and times take theirs from the regional settings.
AnsiString DefaultPictureMask(TPictureDataType Type, const TCtlIntlSup& Intl);

// Text to value: an unconvertible text gives 0, or -1 for dates and times; nothing raises.
TCtlPicValue PictureTextToValue(const TCtlPicConvContext& C, const AnsiString& Text);
AnsiString PictureValueToText(const TCtlPicConvContext& C, const TCtlPicValue& Value);
// 0 when the text is valid for the type and range, else the entry error code.
uint16_t PictureCheckText(const TCtlPicConvContext& C, const AnsiString& Text);
// The options the merge of this type uses.
TCtlPictureMask::TMergeOptions PictureMergeOptions(const TCtlPicConvContext& C);

// The value one step up (Delta > 0) or down from the text's, or nothing when the step does not
// apply. Dates and times step the unit of the mask character at Caret. Every search is bounded.
std::optional<TCtlPicValue> PictureStepValue(const TCtlPicConvContext& C, const AnsiString& Text, int Caret,
                                             bool Wrap, double Delta);
