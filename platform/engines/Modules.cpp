#include "platform/engines/Modules.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace {

uint32_t& ErrorMode() {
  static uint32_t mode = 0;
  return mode;
}

std::vector<AnsiString>& CustomFolders() {
  static std::vector<AnsiString> folders;
  return folders;
}

AnsiString ProgramFolder() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  AnsiString path(buf, static_cast<std::size_t>(n));
  return path.substr(0, path.rfind('/'));
}

bool FileExists(const AnsiString& path) { return access(path.c_str(), F_OK) == 0; }

}  // namespace

uint32_t SetErrorMode(uint32_t mode) {
  uint32_t old = ErrorMode();
  ErrorMode() = mode;
  return old;
}

uint32_t GetErrorMode() { return ErrorMode(); }

AnsiString LibraryFileName(const AnsiString& name) {
  AnsiString base = name.substr(name.rfind('/') == AnsiString::npos ? 0 : name.rfind('/') + 1);
  if (base.size() > 4 && SameText(base.substr(base.size() - 4), ".DLL")) base.resize(base.size() - 4);
  return base + ".so";
}

void SetLibraryFolders(std::vector<AnsiString> folders) { CustomFolders() = std::move(folders); }

std::vector<AnsiString> LibraryFolders() {
  if (!CustomFolders().empty()) return CustomFolders();
  return {ProgramFolder(), QUORVEX_ENGINE_DIR};
}

HMODULE LoadLibrary(const AnsiString& name) {
  std::vector<AnsiString> candidates;
  if (name.find('/') != AnsiString::npos) candidates.push_back(name);
  else
    for (const AnsiString& folder : LibraryFolders()) candidates.push_back(folder + "/" + LibraryFileName(name));
  for (const AnsiString& path : candidates) {
    if (!FileExists(path)) continue;
    if (void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return reinterpret_cast<HMODULE>(h);
  }
  return 0;
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
  if (!module || !name) return nullptr;
  return dlsym(reinterpret_cast<void*>(module), name);
}

bool FreeLibrary(HMODULE module) { return module && dlclose(reinterpret_cast<void*>(module)) == 0; }
