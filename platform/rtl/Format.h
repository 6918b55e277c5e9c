// The run-time's Format: %s %d %u %x %e %f %g %n %m %p %%, with index, width, precision and '*'.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/rtl/AnsiString.h"

// One typed argument of Format.
struct TVarRec {
  enum class Kind { Int, UInt, Float, String, Char, Pointer };
  Kind VType = Kind::Int;
  int64_t VInt = 0;
  uint64_t VUInt = 0;
  long double VFloat = 0;
  AnsiString VString;
  const void* VPointer = nullptr;

  TVarRec(int v) : VType(Kind::Int), VInt(v) {}
  TVarRec(long v) : VType(Kind::Int), VInt(v) {}
  TVarRec(long long v) : VType(Kind::Int), VInt(v) {}
  TVarRec(unsigned v) : VType(Kind::UInt), VUInt(v) {}
  TVarRec(unsigned long v) : VType(Kind::UInt), VUInt(v) {}
  TVarRec(unsigned long long v) : VType(Kind::UInt), VUInt(v) {}
  TVarRec(double v) : VType(Kind::Float), VFloat(v) {}
  TVarRec(long double v) : VType(Kind::Float), VFloat(v) {}
  TVarRec(char c) : VType(Kind::Char), VString(1, c) {}
  TVarRec(const char* s) : VType(Kind::String), VString(s ? s : "") {}
  TVarRec(const AnsiString& s) : VType(Kind::String), VString(s) {}
  TVarRec(std::string_view s) : VType(Kind::String), VString(s) {}
  template <std::size_t N>
  TVarRec(const ShortString<N>& s) : VType(Kind::String), VString(s.Str()) {}
  TVarRec(const void* p) : VType(Kind::Pointer), VPointer(p) {}
  TVarRec(bool) = delete;
};

using TVarRecs = std::vector<TVarRec>;

// Raises EConvertError on a type or count mismatch or a malformed format.
AnsiString Format(const AnsiString& fmt, const TVarRec* args, std::size_t count);
inline AnsiString Format(const AnsiString& fmt, std::initializer_list<TVarRec> args) {
  return Format(fmt, args.begin(), args.size());
}
inline AnsiString Format(const AnsiString& fmt, const TVarRecs& args) {
  return Format(fmt, args.data(), args.size());
}

// Float formatting of the run-time (ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency).
enum class TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };
AnsiString FloatToStrF(long double v, TFloatFormat f, int precision, int digits);
AnsiString FloatToStr(long double v);
