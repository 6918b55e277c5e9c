#include <gtest/gtest.h>

#include <functional>

#include "XbeTables.h"

namespace {

// On the first record of the people table: Ann, 30, 12.50, 2001-02-03, .T., "first memo".
TEST(XbeExpr, EvaluatesTheLanguageAgainstARecord) {
  TempDir dir;
  MakePeople(dir, "db3");
  TOpenTable t(dir.path + "people.dbf");
  ASSERT_GT(t.Area, 0);
  xb_SetExact(0);
  struct TCase {
    const char* Expr;
    int32_t Type;
    const char* Value;
  } cases[] = {
      {"NAME", xbTypeCharacter, "Ann       "},
      {"upper(name)", xbTypeCharacter, "ANN       "},
      {"TRIM(NAME) + '!'", xbTypeCharacter, "Ann!"},
      {"NAME - 'x'", xbTypeCharacter, "Annx       "},
      {"LEFT(NAME, 2)", xbTypeCharacter, "An"},
      {"SUBSTR(NAME, 2, 1)", xbTypeCharacter, "n"},
      {"SUBSTR(NAME, 20)", xbTypeCharacter, ""},
      {"STR(AGE)", xbTypeCharacter, "        30"},
      {"STR(SAL, 6, 1)", xbTypeCharacter, "  12.5"},
      {"STR(SAL * 1000, 3)", xbTypeCharacter, "***"},
      {"DTOS(BORN)", xbTypeCharacter, "20010203"},
      {"DTOS(STOD('20240301') - 1)", xbTypeCharacter, "20240229"},
      {"STOD('20010210') - BORN", xbTypeNumeric, "7"},
      {"AGE * 2 + SAL / 2 - -1", xbTypeNumeric, "67.25"},
      {"(AGE + 2) * 2", xbTypeNumeric, "64"},
      {"VAL('  42.5xyz')", xbTypeNumeric, "42.5"},
      {"NAME = 'An'", xbTypeLogical, ".T."},
      {"NAME == 'An'", xbTypeLogical, ".F."},
      {"NAME = ''", xbTypeLogical, ".T."},
      {"NAME <> 'Bob' .AND. NAME # 'Cyd'", xbTypeLogical, ".T."},
      {"'nn' $ NAME", xbTypeLogical, ".T."},
      {"AGE >= 30 .and. AGE < 31 .and. AGE <= 30 .and. AGE > 29", xbTypeLogical, ".T."},
      {"BORN < STOD('20010204')", xbTypeLogical, ".T."},
      {".NOT. OK .OR. .F.", xbTypeLogical, ".F."},
      {"!DELETED()", xbTypeLogical, ".T."},
      {"NOTES = 'first'", xbTypeLogical, ".T."},
      {"DATE() > STOD('20200101')", xbTypeLogical, ".T."},
      {"'b' > 'a ' .AND. 'a' = 'a  '", xbTypeLogical, ".F."},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(xb_EvalTest(c.Expr), c.Type) << c.Expr;
    EXPECT_STREQ(xb_EvalString(c.Expr), c.Value) << c.Expr;
  }
  xb_SetExact(-1);
  EXPECT_EQ(xb_EvalLogical("NAME = 'An'"), 0);
  EXPECT_EQ(xb_EvalLogical("NAME = 'Ann'"), -1);
  xb_SetExact(0);
}

TEST(XbeExpr, ParseErrorsAreClearAndHarmless) {
  TempDir dir;
  MakePeople(dir, "db3");
  TOpenTable t(dir.path + "people.dbf");
  TEngineErrors errors;
  struct TCase {
    const char* Expr;
    const char* Message;
  } cases[] = {
      {"NAME +", "Expression error at position 7: expression ends too early"},
      {"NOSUCH = 1", "Expression error at position 1: unknown field NOSUCH"},
      {"FOO(1)", "Expression error at position 1: unknown function FOO()"},
      {"LEFT(NAME)", "Expression error at position 1: wrong number of arguments to LEFT()"},
      {"NAME + 1", "Expression error at position 6: cannot add numeric and character"},
      {"AGE = 'x'", "Expression error at position 5: cannot compare numeric with character"},
      {"'open", "Expression error at position 1: unterminated text"},
      {"(AGE", "Expression error at position 5: \")\" expected"},
      {"AGE .XOR. 1", "Expression error at position 5: unknown word starting with \".\""},
      {"1.2.3", "Expression error at position 1: malformed number"},
      {"AGE ; 1", "Expression error at position 5: unexpected character \";\""},
      {"AGE 1", "Expression error at position 5: unexpected \"1\""},
      {"AGE / 0", "Division by zero"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(xb_EvalNumeric(c.Expr), 0.0) << c.Expr;
    EXPECT_EQ(TEngineErrors::Last(), c.Message) << c.Expr;
  }
  EXPECT_EQ(xb_EvalTest("NAME +"), -1);
  EXPECT_EQ(xb_QueryTest("AGE"), -1);  // a filter must be logical
  EXPECT_EQ(xb_QueryTest(""), 0);
  EXPECT_EQ(xb_Query("AGE +"), -1);
  EXPECT_STREQ(xb_DBFilter(), "");  // a failed query keeps the filter it had
}

TEST(XbeExpr, QueriesFilterTheRecords) {
  TempDir dir;
  MakePeople(dir, "db3");
  TOpenTable t(dir.path + "people.dbf");
  xb_SetDeleted(0);
  EXPECT_EQ(xb_Query("AGE > 26"), 1);
  EXPECT_EQ(xb_QueryTest("AGE > 26"), 1);
  EXPECT_EQ(xb_QueryRecCount(), 2);
  EXPECT_STREQ(xb_DBFilter(), "AGE > 26");
  xb_Skip(1);
  EXPECT_EQ(xb_RecNo(), 2);
  xb_Skip(1);
  EXPECT_EQ(xb_Eof(), -1);
  xb_SetDeleted(-1);
  EXPECT_EQ(xb_QueryRecCount(), 1);
  EXPECT_EQ(xb_Query(""), 1);
  EXPECT_EQ(xb_Count(), 2);
  xb_SetDeleted(0);
}

}  // namespace

namespace {

// Expressions too deep to evaluate on the stack end in the engine's expression error.
TEST(XbeExpr, DeepExpressionsAreRefusedNotRecursedInto) {
  TempDir dir;
  MakePeople(dir, "db3");
  std::string parens = std::string(20000, '(') + "AGE > 1" + std::string(20000, ')');
  std::string nots = std::string(100000, '!') + "OK";
  std::string sum = "AGE";
  for (int i = 0; i < 100000; ++i) sum += "+1";
  dir.Write("people.cdx", "XBEINDEX 1\nDEEP\t" + std::string(30000, '(') + "AGE" + std::string(30000, ')') + "\n");
  TEngineErrors errors;
  TOpenTable t(dir.path + "people.dbf");
  ASSERT_GT(t.Area, 0);  // the index it could not read is reported; the table opens
  EXPECT_NE(TEngineErrors::Last().find("nested deeper"), std::string::npos) << TEngineErrors::Last();
  EXPECT_EQ(xb_SysProp(xbPropOrderCount, 0), 0);
  struct TCase {
    const char* What;
    std::function<void()> Run;
  } cases[] = {
      {"a filter", [&] { xb_Query(parens.c_str()); }},
      {"a test", [&] { xb_EvalTest(nots.c_str()); }},
      {"an evaluation", [&] { xb_EvalNumeric(sum.c_str()); }},
      {"an index file", [&] { xb_IndexOpen((dir.path + "people.cdx").c_str()); }},
  };
  for (const TCase& c : cases) {
    TEngineErrors::Last().clear();
    c.Run();
    EXPECT_NE(TEngineErrors::Last().find("Expression error"), std::string::npos) << c.What << ": " << TEngineErrors::Last();
  }
  // Ordinary nesting still works.
  EXPECT_DOUBLE_EQ(xb_EvalNumeric("((((AGE))))+1+1"), 32);
}

}  // namespace
