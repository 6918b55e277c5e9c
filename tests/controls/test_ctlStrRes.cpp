#include <gtest/gtest.h>

#include "StrTabBuilder.h"
#include "controls/ctlExcept.h"
#include "controls/ctlStrRes.h"
#include "platform/rtl/Resources.h"

namespace {

const std::string CtlSource = std::string(QUORVEX_SOURCE_DIR) + "/controls/res/RCDATA/CTL3_STRINGS_ENGLISH.strtab";

const std::vector<uint8_t> SmallTable = strtab::Build({{1, "one"}, {7, "seven"}, {30000, "caf\xC3\xA9"}, {65535, "top"}});
const std::vector<uint8_t> EmptyTable = strtab::Build({});
const std::vector<uint8_t> BadMagic = {'S', 'T', 'R', '1', 0, 0, 0, 0};
const std::vector<uint8_t> ShortCount = {'S', 'T', 'R', '0', 50, 0, 0, 0, 1, 0, 0, 0};
const std::vector<uint8_t> CompiledCtl = strtab::Build(strtab::ParseSource(CtlSource));

const TResourceRegistration r1("RCDATA", "TEST_SMALL_TABLE", SmallTable.data(), SmallTable.size());
const TResourceRegistration r2("RCDATA", "TEST_EMPTY_TABLE", EmptyTable.data(), EmptyTable.size());
const TResourceRegistration r3("RCDATA", "TEST_BAD_MAGIC", BadMagic.data(), BadMagic.size());
const TResourceRegistration r4("RCDATA", "TEST_SHORT_INDEX", ShortCount.data(), ShortCount.size());
const TResourceRegistration r5("RCDATA", "TEST_CTL_TEXTS", CompiledCtl.data(), CompiledCtl.size());

AnsiString OpenError(const char* name) {
  try {
    TCtlStringResource r(name);
  } catch (const ESrmStringResourceError& e) {
    return e.Message();
  }
  return "opened";
}

}  // namespace

TEST(CtlStringResource, FindsTextsByBinarySearch) {
  TCtlStringResource r("TEST_SMALL_TABLE");
  EXPECT_EQ(r.GetString(1), "one");
  EXPECT_EQ(r.GetString(7), "seven");
  EXPECT_EQ(r.GetString(30000), "caf\xE9");  // UTF-16 to the program's code page
  EXPECT_EQ(r.GetString(65535), "top");
  for (int absent : {0, 2, 8, 29999, 65536, -1}) EXPECT_EQ(r.GetString(absent), "") << absent;
  EXPECT_EQ(TCtlStringResource("TEST_EMPTY_TABLE").GetString(1), "");
  EXPECT_EQ(TCtlStringResource("").GetString(1), "");
}

TEST(CtlStringResource, RefusesMissingAndMalformedTables) {
  EXPECT_EQ(OpenError("TEST_BAD_MAGIC"), "Invalid StrRes resource");
  EXPECT_EQ(OpenError("TEST_SHORT_INDEX"), "Invalid StrRes resource");
  EXPECT_EQ(OpenError("NO_SUCH_TABLE"), "String resource not found: NO_SUCH_TABLE");
}

TEST(CtlStringResource, SourceHoldsTheLibraryTexts) {
  TCtlStringResource r("TEST_CTL_TEXTS");
  EXPECT_EQ(r.GetString(30189), "No Window's timers are available");
  EXPECT_EQ(r.GetString(30233), "Viewer: file not found");
  EXPECT_EQ(r.GetString(30232), "Viewer triggered I/O error %d");
  EXPECT_EQ(r.GetString(30202), "Invalid picture mask: %s");
}

TEST(CtlStringResource, LibraryTextsAndExceptions) {
  EXPECT_EQ(CtlStringById(30189), "No Window's timers are available");
  EXPECT_EQ(CtlStringById(29999), "Unknown");
  EXPECT_EQ(ENoTimersAvailable().Message(), "No Window's timers are available");
  EXPECT_EQ(ENoControllerAssigned().Message(), "No Controller assigned");
  EXPECT_EQ(EInvalidFixedFont().Message(), "Invalid font assignment. Font must be a fixed font");
  EXPECT_EQ(EInvalidPictureMask("99/99").Message(), "Invalid picture mask: 99/99");
  struct { int type; const char* text; } ranges[] = {
      {4, "Invalid range. Enter a value between (-2147483648) and (2147483647)"},
      {5, "Invalid range. Enter a value between (0) and (65535)"},
      {8, "Invalid range. Enter a value between (-128) and (127)"},
      {11, "Invalid range. Enter a value between (-1.7e+308) and (+1.7e+308)"},
      {3, "Invalid range value"},
  };
  for (const auto& c : ranges) EXPECT_EQ(EInvalidRangeValue(c.type).Message(), c.text) << c.type;
  EXPECT_EQ(EInvalidRangeValue(14, "mm/dd/yyyy").Message(),
            "Invalid date range. Enter a value using 'mm/dd/yyyy' as the format");
}

TEST(CtlStringResource, ExceptionsBelongToTheirFamilies) {
  try {
    throw ETableNotFound();
  } catch (const ECmdProcessorError& e) {
    EXPECT_TRUE(dynamic_cast<const ECtlException*>(&e));
  }
}

TEST(CtlStringResource, LetterSet) {
  const TCtlCharSet& s = CtlLetterSet();
  for (int c : {32, 44, 45, 46, 65, 122, 0xE9, 0xC0}) EXPECT_TRUE(s.test(std::size_t(c))) << c;
  for (int c : {48, 57, 47, 95, 0xD7, 0xF7, 0x80}) EXPECT_FALSE(s.test(std::size_t(c))) << c;
}
