// Tables of the spreadsheet-file layer's HTML exporter: the named colours, the character entities
// and the character escapes, and the string lists built from them at start-up.
#pragma once

#include <cstdint>

#include "platform/rtl/StringList.h"

struct TXLSNamedColour {
  const char* Name;
  uint32_t Color;  // 0x00BBGGRR
};
struct TXLSCharEntity {
  const char* Name;
  uint32_t CodePoint;
};
struct TXLSCharEscape {
  uint8_t Code;
  const char* Text;
};

constexpr int XLSNamedColourCount = 147;
constexpr int XLSCharEntityCount = 253;
constexpr int XLSCharEscapeCount = 100;

extern const TXLSNamedColour XLSNamedColours[XLSNamedColourCount];
extern const TXLSCharEntity XLSCharEntities[XLSCharEntityCount];
extern const TXLSCharEscape XLSCharEscapes[XLSCharEscapeCount];

// Built by InitXLSHtml and freed by the matching DoneXLSHtml; nested calls only count.
// Colours: names in table order, the colour as each entry's object. Entities: sorted and case
// sensitive ("Aacute" and "aacute" are both kept), the code point as each entry's object.
void InitXLSHtml();
void DoneXLSHtml();
const TStringList* XLSColourList();
const TStringList* XLSEntityList();

// The value an entry of the two lists carries as its object.
inline uint32_t XLSListValue(const TStringList& list, int index) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(list.Objects(index)));
}
