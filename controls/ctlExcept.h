// Exceptions of the control library; each takes its text from the library's string table.
#pragma once

#include "controls/ctlStrRes.h"
#include "platform/rtl/Exceptions.h"

class ECtlException : public Exception {
public:
  using Exception::Exception;
};

#define QUORVEX_CTL_FAMILY(Name, Base) \
  class Name : public Base {           \
  public:                              \
    using Base::Base;                  \
  }

// A member of a family whose text is one fixed entry of the table.
#define QUORVEX_CTL_TEXT(Name, Base, Id)          \
  class Name : public Base {                      \
  public:                                         \
    Name() : Base(CtlStringById(Id)) {}           \
  }

QUORVEX_CTL_FAMILY(EControllerError, ECtlException);
QUORVEX_CTL_FAMILY(ECmdProcessorError, ECtlException);
QUORVEX_CTL_FAMILY(EEntryFieldError, ECtlException);
QUORVEX_CTL_FAMILY(EViewerError, ECtlException);
QUORVEX_CTL_FAMILY(ETimerPoolError, ECtlException);
QUORVEX_CTL_FAMILY(EFixedFontError, ECtlException);

QUORVEX_CTL_TEXT(ENoTimersAvailable, ECtlException, 30189);
QUORVEX_CTL_TEXT(ENoControllerAssigned, EControllerError, 30172);
QUORVEX_CTL_TEXT(EDuplicateCommand, ECmdProcessorError, 30169);
QUORVEX_CTL_TEXT(ETableNotFound, ECmdProcessorError, 30170);
QUORVEX_CTL_TEXT(EInvalidDataType, EEntryFieldError, 30194);
QUORVEX_CTL_TEXT(ERegionTooLarge, EViewerError, 30186);
QUORVEX_CTL_TEXT(EInvalidTriggerHandle, ETimerPoolError, 30191);
QUORVEX_CTL_TEXT(EInvalidFixedFont, EFixedFontError, 30214);

#undef QUORVEX_CTL_TEXT
#undef QUORVEX_CTL_FAMILY

class EInvalidPictureMask : public EEntryFieldError {
public:
  explicit EInvalidPictureMask(const AnsiString& Mask);
};

// Picture-field data type codes that pick the range text.
constexpr int ctlRangeLongInt = 4;
constexpr int ctlRangeWord = 5;
constexpr int ctlRangeSmallInt = 6;
constexpr int ctlRangeByte = 7;
constexpr int ctlRangeShortInt = 8;
constexpr int ctlRangeReal48 = 9;
constexpr int ctlRangeExtended = 10;
constexpr int ctlRangeDouble = 11;
constexpr int ctlRangeSingle = 12;
constexpr int ctlRangeComp = 13;
constexpr int ctlRangeDate = 14;
constexpr int ctlRangeTime = 15;

class EInvalidRangeValue : public EEntryFieldError {
public:
  // The date and time masks come from the international support that owns them.
  explicit EInvalidRangeValue(int DataType, const AnsiString& DateMask = {}, const AnsiString& TimeMask = {});
};
