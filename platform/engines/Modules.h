// Libraries loaded at run time by name, as the system's external engines are: "XBE7.DLL" is the
// shared library "XBE7.so" in the program's folder, or in the build's engine folder.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/rtl/AnsiString.h"

using HMODULE = uintptr_t;  // 0 when nothing was loaded
using FARPROC = void*;

constexpr uint32_t SEM_FAILCRITICALERRORS = 0x0001;
constexpr uint32_t SEM_NOOPENFILEERRORBOX = 0x8000;

// The process error mode; answers the mode before.
uint32_t SetErrorMode(uint32_t mode);
uint32_t GetErrorMode();

// Loads the library by name; 0 when it is missing or does not load.
HMODULE LoadLibrary(const AnsiString& name);
// The exported entry of that name, nullptr when there is none.
FARPROC GetProcAddress(HMODULE module, const char* name);
bool FreeLibrary(HMODULE module);

// The folders searched, in order. Tests point them at a folder of their own; an empty list
// restores the program's folder and the build's engine folder.
void SetLibraryFolders(std::vector<AnsiString> folders);
std::vector<AnsiString> LibraryFolders();
// The file that a library name maps to inside a folder.
AnsiString LibraryFileName(const AnsiString& name);
