#include <gtest/gtest.h>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Regional.h"

namespace {
struct UsSettings {
  UsSettings() { FormatSettings() = TFormatSettings{}; }
  ~UsSettings() { FormatSettings() = TFormatSettings{}; }
};

struct Case {
  const char* fmt;
  TVarRecs args;
  const char* want;
};
}  // namespace

TEST(Format, TableOfConversions) {
  UsSettings us;
  const Case cases[] = {
      {"plain %% text", {}, "plain % text"},
      {"%d|%5d|%-5d|%.4d|%.4d", {42, 42, 42, 42, -42}, "42|   42|42   |0042|-0042"},
      {"%d %d", {INT64_MIN, INT64_MAX}, "-9223372036854775808 9223372036854775807"},
      {"%u %u", {-1, 7u}, "4294967295 7"},
      {"%x %X %.4x %8.4x", {255, 255, 255, 255}, "FF FF 00FF     00FF"},
      {"%x", {-1}, "FFFFFFFF"},
      {"%s|%6s|%-6s|%.2s", {"abc", "abc", "abc", "abc"}, "abc|   abc|abc   |ab"},
      {"%s%s", {'x', AnsiString("yz")}, "xyz"},
      {"%*d|%-*d|%.*f", {5, 42, 4, 7, 1, 2.25}, "   42|7   |2.3"},
      {"%1:s %0:s %s", {"a", "b", "c"}, "b a b"},
      {"%2:d %d", {1, 2, 3, 4}, "3 4"},
      {"%f %.0f %.3f", {1.005, 0.5, -0.0004}, "1.00 1 0.000"},  // no sign on a zero,
      {"%.2f %.1f %.0f", {9.995, 9.96, 1e15}, "9.99 10.0 1000000000000000"},
      {"%e", {1234.5}, "1.23450000000000E+003"},
      {"%.3e %.2e", {-0.000125, 9.99}, "-1.25E-004 1.0E+001"},
      {"%g %g %g %g", {1234.5, 0.1, 1e20, 0.0}, "1234.5 0.1 1E020 0"},
      {"%.3g", {1234.5}, "1.23E003"},
      {"%n %.0n %0.0n %.1n", {1234567.891, 999.5, 1234567.0, -1234.56}, "1,234,567.89 1,000 1,234,567 -1,234.6"},
      {"%m %m %.0m", {1234.5, -3.0, 2.5}, "$1,234.50 ($3.00) $3"},
      {"%p", {static_cast<const void*>(nullptr)}, "00000000"},
      {"%s", {TVarRec(ShortString<3>("abcdef"))}, "abc"},
  };
  for (const auto& c : cases) EXPECT_EQ(Format(c.fmt, c.args), c.want) << c.fmt;
}

TEST(Format, MismatchesAndMalformedFormatsRaiseEConvertError) {
  UsSettings us;
  const Case cases[] = {
      {"%d", {"text"}, ""},      // type mismatch
      {"%s", {42}, ""},
      {"%f", {42}, ""},          // an integer is no float
      {"%x", {1.5}, ""},
      {"%p", {1}, ""},
      {"%d %d", {1}, ""},        // missing argument
      {"%s", {}, ""},
      {"%3:d", {1, 2}, ""},      // index past the arguments
      {"%*d", {"5", 1}, ""},     // '*' takes an integer
      {"%*d", {5}, ""},
      {"abc %", {1}, ""},        // cut short
      {"%5", {1}, ""},
      {"%y", {1}, ""},           // no such conversion
  };
  for (const auto& c : cases) {
    try {
      Format(c.fmt, c.args);
      ADD_FAILURE() << c.fmt << " should raise";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), AnsiString("Format '") + c.fmt + "' invalid or incompatible with argument");
    }
  }
  // The exception's own formatting constructor uses the same engine.
  EXPECT_EQ(EFOpenError::ForFile("x.hot").Message(), "Cannot open file x.hot");
}

TEST(Format, ThousandsFollowTheRegionalSeparator) {
  UsSettings us;
  FormatSettings().ThousandSeparator = '\xA0';
  FormatSettings().DecimalSeparator = ',';
  EXPECT_EQ(Format("%0.0n", {1234567.0}), "1\xA0" "234\xA0" "567");
  EXPECT_EQ(Format("%.2f", {0.125}), "0,13");
  FormatSettings().ThousandSeparator = '\0';  // none
  EXPECT_EQ(Format("%0.0n", {1234567.0}), "1234567");
  EXPECT_EQ(FloatToStrF(1234.5, TFloatFormat::ffNumber, 15, 1), "1234,5");
}
