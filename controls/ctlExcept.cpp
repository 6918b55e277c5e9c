#include "controls/ctlExcept.h"

#include <cstdint>

namespace {

AnsiString RangeText(int DataType, const AnsiString& DateMask, const AnsiString& TimeMask) {
  auto between = [](int64_t lo, int64_t hi) { return Format(CtlStringById(30203), {lo, hi}); };
  switch (DataType) {
    case ctlRangeLongInt: return between(INT32_MIN, INT32_MAX);
    case ctlRangeWord: return between(0, 65535);
    case ctlRangeSmallInt: return between(-32768, 32767);
    case ctlRangeByte: return between(0, 255);
    case ctlRangeShortInt: return between(-128, 127);
    case ctlRangeReal48: return CtlStringById(30204);
    case ctlRangeExtended: return CtlStringById(30205);
    case ctlRangeDouble: return CtlStringById(30206);
    case ctlRangeSingle: return CtlStringById(30207);
    case ctlRangeComp: return CtlStringById(30208);
    case ctlRangeDate: return Format(CtlStringById(30209), {DateMask});
    case ctlRangeTime: return Format(CtlStringById(30210), {TimeMask});
    default: return CtlStringById(30211);
  }
}

}  // namespace

EInvalidPictureMask::EInvalidPictureMask(const AnsiString& Mask)
    : EEntryFieldError(Format(CtlStringById(30202), {Mask})) {}

EInvalidRangeValue::EInvalidRangeValue(int DataType, const AnsiString& DateMask, const AnsiString& TimeMask)
    : EEntryFieldError(RangeText(DataType, DateMask, TimeMask)) {}
