#include "platform/rtl/Regional.h"

TFormatSettings& FormatSettings() {
  static TFormatSettings s;
  return s;
}
