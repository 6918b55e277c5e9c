// Resources compiled into the program: found by type and by name or "#number".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/rtl/AnsiString.h"

struct TResource {
  AnsiString Type;
  AnsiString Name;
  const uint8_t* Data = nullptr;
  std::size_t Size = 0;
};

// Registration of one generated resource; made by the sources that the generator writes.
class TResourceRegistration {
public:
  TResourceRegistration(const char* type, const char* name, const uint8_t* data, std::size_t size);
};

// Names compare without regard to case, as the platform's resource names do.
const TResource* FindResource(std::string_view type, std::string_view name);
const TResource* FindResource(std::string_view type, int id);
std::vector<const TResource*> ResourcesOfType(std::string_view type);

// The program's numbered resource string ("STRING", "#id"); empty when there is none.
AnsiString LoadResString(int id);
