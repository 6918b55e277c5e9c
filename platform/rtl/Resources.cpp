#include "platform/rtl/Resources.h"

#include <deque>

namespace {
std::deque<TResource>& registry() {
  static std::deque<TResource> r;
  return r;
}
}  // namespace

TResourceRegistration::TResourceRegistration(const char* type, const char* name, const uint8_t* data,
                                             std::size_t size) {
  registry().push_back({type, name, data, size});
}

const TResource* FindResource(std::string_view type, std::string_view name) {
  for (const auto& r : registry())
    if (SameText(r.Type, type) && SameText(r.Name, name)) return &r;
  return nullptr;
}

const TResource* FindResource(std::string_view type, int id) {
  return FindResource(type, "#" + std::to_string(id));
}

std::vector<const TResource*> ResourcesOfType(std::string_view type) {
  std::vector<const TResource*> out;
  for (const auto& r : registry())
    if (SameText(r.Type, type)) out.push_back(&r);
  return out;
}

AnsiString LoadResString(int id) {
  const TResource* r = FindResource("STRING", id);
  return r ? AnsiString(reinterpret_cast<const char*>(r->Data), r->Size) : AnsiString();
}
