// The version block of a program file, queried by path as the platform's version functions do.
// Only the running program carries one (the resource ("VERSION", "#1")); other files have none.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/ErrorCodes.h"

struct TVSFixedFileInfo {
  uint32_t dwSignature = 0;  // 0xFEEF04BD
  uint32_t dwStrucVersion = 0;
  uint32_t dwFileVersionMS = 0;
  uint32_t dwFileVersionLS = 0;
  uint32_t dwProductVersionMS = 0;
  uint32_t dwProductVersionLS = 0;
  uint32_t dwFileFlagsMask = 0;
  uint32_t dwFileFlags = 0;
  uint32_t dwFileOS = 0;
  uint32_t dwFileType = 0;
  uint32_t dwFileSubtype = 0;
  uint32_t dwFileDateMS = 0;
  uint32_t dwFileDateLS = 0;
};

// 0 when the file has no block; error then says why (file missing, or no version resource).
uint32_t GetFileVersionInfoSize(const AnsiString& fileName, int* error = nullptr);
bool GetFileVersionInfo(const AnsiString& fileName, std::vector<uint8_t>& block, int* error = nullptr);
// Paths: "\" the fixed information, "\VarFileInfo\Translation" the language and code-page pairs,
// "\StringFileInfo\040904e4\ProductName" a text. Keys compare without regard to case. A malformed
// block finds nothing.
bool VerQueryValue(const std::vector<uint8_t>& block, const AnsiString& subBlock, std::vector<uint8_t>& value);
bool VerQueryString(const std::vector<uint8_t>& block, const AnsiString& subBlock, AnsiString& text);
bool VerQueryFixedFileInfo(const std::vector<uint8_t>& block, TVSFixedFileInfo& info);
