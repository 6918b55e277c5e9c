#include "platform/com/ExcelTlb.h"

const TDispNames& ExcelDispNames() {
  static const TDispNames names = [] {
    TDispNames n;
#define QX_XL_NAME(m) n[UpperCase(#m)] = DISPID_##m;
    QX_XL_MEMBERS(QX_XL_NAME)
#undef QX_XL_NAME
    return n;
  }();
  return names;
}
