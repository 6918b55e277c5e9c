// The SQL engine's statements over the tables read in place, beside the same statements on the
// copies it makes once a statement writes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "DbfPeer.h"
#include "platform/engines/xbesql/XbSqlStatement.h"
#include "platform/engines/xbesql/XbSqlTable.h"

using xbsql::TSqlStatement;

namespace {

const std::vector<xbsql::TSqlTable> Tables = {{"people", ""}, {"orders", "o"}};

// The orders of the people table, by age; codes hold numbers as text, and one that is not.
void MakeOrders(const TempDir& dir) {
  RunDbfPython(dir,
               "t = dbf.Table('orders.dbf', 'pid N(3,0); amount N(8,2); code C(5)', dbf_type='db3')\n"
               "t.open(dbf.READ_WRITE)\n"
               "for r in [(30, 1.5, '30'), (41, 2, 'x'), (25, 3.25, '25'), (30, -0.0, ' 30'), (None, 7, '')]:\n"
               "    t.append(r)\n"
               "t.close()\n");
}

// Every row, the layout and the blobs of an answer.
std::string Answer(TSqlStatement& s, const std::string& sql) {
  s.Open(sql);
  std::string out = s.Structure();
  for (int32_t r = 1; r <= s.RowCount(); ++r) {
    out += "|";
    out += s.Record(r);
    for (int32_t f = 1; f <= s.FieldCount(); ++f)
      if (const std::string* b = s.Blob(r, f)) out += "#" + *b;
  }
  return out;
}

}  // namespace

TEST(XbSqlStatement, TablesReadInPlaceAnswerAsTheirCopiesDo) {
  TempDir dir;
  MakePeople(dir, "db3");
  MakeOrders(dir);
  const char* queries[] = {
      "SELECT * FROM people",
      "SELECT rowid, name, sal, sal / 2, typeof(sal), age / 2, born, ok, notes FROM people ORDER BY name",
      "SELECT p.name, o.amount, typeof(o.amount) FROM people p JOIN o ON o.pid = p.age ORDER BY o.amount",
      "SELECT p.name, o.amount FROM o JOIN people p ON p.age = o.code ORDER BY 2",
      "SELECT a.pid, b.pid FROM o a, o b WHERE a.pid = b.pid ORDER BY a.rowid, b.rowid",
      "SELECT count(*) FROM o WHERE amount = 2",
      "SELECT count(*) FROM o WHERE amount = 0",
      "SELECT count(*) FROM o WHERE pid = '30'",
      "SELECT count(*) FROM o WHERE pid = 'x' OR pid = NULL OR pid = 30.5",
      "SELECT count(*) FROM o WHERE pid = 9007199254740993",
      "SELECT count(*) FROM o WHERE pid = x'3330'",
      "SELECT count(*) FROM o WHERE pid = ' 30.0 '",
      "SELECT count(*) FROM o WHERE amount = 1.5",
      "SELECT name FROM people WHERE ok = 1",
      "SELECT a.amount, b.code FROM o a, o b WHERE a.amount = b.amount ORDER BY 1",
      "SELECT pid FROM o WHERE amount > 2 ORDER BY 1",
      "SELECT pid FROM o WHERE amount >= 2 AND amount < 7 ORDER BY 1",
      "SELECT count(*) FROM o WHERE pid <= 30 AND pid >= 30",
      "SELECT count(*) FROM o WHERE pid > '29.5' OR amount <= -0.0",
      "SELECT count(*) FROM o WHERE pid < 'x'",
      "SELECT count(*) FROM o WHERE pid >= x'00'",
      "SELECT count(*) FROM o WHERE amount > NULL",
      "SELECT count(*) FROM o WHERE amount < 9223372036854775807 AND pid > 29.999999999999996",
      "SELECT p.name, o.amount FROM people p JOIN o ON o.pid = p.age WHERE o.amount < 3 AND p.sal > 0 ORDER BY 1, 2",
  };
  for (bool skipDeleted : {true, false}) {
    TSqlStatement inPlace(dir.path, skipDeleted, Tables, {});
    TSqlStatement copied(dir.path, skipDeleted, Tables, {});
    copied.Exec("CREATE TABLE scratch (x)");
    for (const char* q : queries) EXPECT_EQ(Answer(inPlace, q), Answer(copied, q)) << q << " " << skipDeleted;
    inPlace.Open("SELECT name FROM people");
    EXPECT_EQ(inPlace.RowCount(), skipDeleted ? 2 : 3);
  }
}

TEST(XbSqlStatement, EachRunReadsTheTableAsItIsThen) {
  TempDir dir;
  MakePeople(dir, "db3");
  MakeOrders(dir);
  TSqlStatement s(dir.path, true, Tables, {});
  s.Open("SELECT name FROM people");
  EXPECT_EQ(s.RowCount(), 2);
  RunDbfPython(dir, "t = dbf.Table('people.dbf')\nt.open(dbf.READ_WRITE)\nt.append(('Dee', 50))\n"
                    "dbf.delete(t[0])\nt.close()\n");
  s.Open("SELECT name FROM people ORDER BY name");
  ASSERT_EQ(s.RowCount(), 2);
  EXPECT_EQ(s.Record(1).substr(1, 3), "Cyd");
  EXPECT_EQ(s.Record(2).substr(1, 3), "Dee");

  // A table whose structure changed, or that went, is an error of the run.
  RunDbfPython(dir, "t = dbf.Table('orders.dbf', 'pid C(3)', dbf_type='db3')\nt.open(dbf.READ_WRITE)\nt.close()\n");
  EXPECT_THROW(s.Open("SELECT * FROM o"), xbsql::ESqlError);
  std::filesystem::remove(dir.path + "people.dbf");
  EXPECT_THROW(s.Open("SELECT * FROM people"), xbsql::ESqlError);
}

TEST(XbSqlStatement, WritingStatementsChangeOnlyTheStatementsCopies) {
  TempDir dir;
  MakePeople(dir, "db3");
  MakeOrders(dir);
  std::string before = TempDir::Read(dir.path + "people.dbf");
  TSqlStatement s(dir.path, true, Tables, {});
  EXPECT_EQ(s.Exec("INSERT INTO people (name) VALUES ('Dee')"), 1);
  EXPECT_EQ(s.Exec("DELETE FROM o WHERE pid = 30"), 2);
  s.Open("SELECT name FROM people");
  EXPECT_EQ(s.RowCount(), 3);
  s.Open("SELECT * FROM o");
  EXPECT_EQ(s.RowCount(), 3);
  EXPECT_EQ(TempDir::Read(dir.path + "people.dbf"), before);
}

TEST(XbSqlStatement, NumberFieldsReadAsTheCLibraryReadsThem) {
  xbe::TDbfField real, whole;
  real.Type = whole.Type = 'N';
  real.Width = 20, real.Decimals = 2;
  whole.Width = 9, whole.Decimals = 0;
  for (const char* text : {"  12.50", "-0", "-0.00", "0.1", "+3.25", ".5", "5.", "-.", "1.5abc", "1e5", "0x10", "inf",
                           "123456789012345.67", "9007199254740993", "0000000000000000001.5", "99999999999999.99",
                           "1.2.3", "- 5", "12 34"}) {
    double expected = std::strtod(text, nullptr);
    xbsql::TNumber n = xbsql::ParseNumber(real, text);
    ASSERT_EQ(n.Kind, xbsql::TNumber::Real) << text;
    EXPECT_EQ(std::memcmp(&n.Dbl, &expected, sizeof expected), 0) << text << " " << n.Dbl;
  }
  for (const char* text : {"-12", "+7", "12ab", "abc", "- 5", "000000042", "-"}) {
    xbsql::TNumber n = xbsql::ParseNumber(whole, text);
    ASSERT_EQ(n.Kind, xbsql::TNumber::Integer) << text;
    EXPECT_EQ(n.Int, std::strtoll(text, nullptr, 10)) << text;
  }
  EXPECT_EQ(xbsql::ParseNumber(real, "   ").Kind, xbsql::TNumber::Null);
}
