// The wire codec against bytes written out from the protocol's description by hand.
#include <gtest/gtest.h>

#include <functional>

#include "RaisedMessage.h"
#include "tables/DatabaseServerProtocol.h"
#include "tables/XbQuery.h"

namespace {

TEST(DatabaseServerProtocol, FieldsAreWrittenAtTheirWidthsOrRefused) {
  struct Case {
    std::function<void(TXbWireWriter&)> write;
    AnsiString bytes, error;
  } cases[] = {
      {[](TXbWireWriter& w) { w.Text("ab", 5, "F"); }, "ab   ", ""},
      {[](TXbWireWriter& w) { w.Text("abcdef", 5, "Name x"); }, "", "Name x is longer than 5 characters"},
      {[](TXbWireWriter& w) { w.TextOrWhole("abcdef", 5); }, "abcdef", ""},
      {[](TXbWireWriter& w) { w.Hex(255, 4, "F"); }, "00FF", ""},
      {[](TXbWireWriter& w) { w.Hex(-2, 8, "F"); }, "FFFFFFFE", ""},
      {[](TXbWireWriter& w) { w.Hex(0x10000, 4, "WorkArea"); }, "", "WorkArea is longer than 4 hexadecimal digits"},
      {[](TXbWireWriter& w) { w.Hex(-1, 4, "Order"); }, "", "Order is longer than 4 hexadecimal digits"},
      {[](TXbWireWriter& w) { w.Hex(int64_t(1) << 32, 8, "Length"); }, "", "Length is longer than 8 hexadecimal digits"},
      {[](TXbWireWriter& w) { w.Decimal(7).Decimal(12).Decimal(-3); }, "712-3", ""},
      {[](TXbWireWriter& w) { w.YesNo(true).YesNo(false); }, "YN", ""},
  };
  for (const Case& c : cases) {
    TXbWireWriter w;
    EXPECT_EQ(RaisedMessage([&] { c.write(w); }), c.error);
    if (c.error.empty()) {
      EXPECT_EQ(w.Bytes(), c.bytes);
    }
  }
}

TEST(DatabaseServerProtocol, AnswersAreReadCheckedAgainstWhatTheyHold) {
  TXbWireReader r("0000002Ax1ab  Y");
  EXPECT_EQ(r.Hex(8), 42);
  EXPECT_EQ(r.Text(1), "x");
  EXPECT_EQ(r.Digit(), 1);
  EXPECT_EQ(r.TrimmedText(4), "ab");
  EXPECT_TRUE(r.Flag('Y'));
  EXPECT_EQ(r.Left(), 0u);
  EXPECT_EQ(RaisedMessage([&] { r.Raw(1); }), "Answer too short");
  EXPECT_EQ(RaisedMessage([] { TXbWireReader("12G4").Hex(4); }), "Not a hexadecimal field");
  EXPECT_EQ(RaisedMessage([] { TXbWireReader("x").Digit(); }), "Not a decimal digit");

  EXPECT_EQ(ReplyHex(" 1f "), 31);
  EXPECT_EQ(ReplyHex("FFFFFFFF"), -1);
  EXPECT_EQ(ReplyDecimal("-12"), -12);
  EXPECT_NE(RaisedMessage([] { ReplyDecimal("4294967296"); }), "");
  EXPECT_NE(RaisedMessage([] { ReplyHex(""); }), "");
  EXPECT_TRUE(ReplyYes("Y"));
  EXPECT_FALSE(ReplyYes("y"));
  EXPECT_FALSE(ReplyYes("Y "));
}

TEST(DatabaseServerProtocol, HeadersAndTheTableListMatchTheLayoutByHand) {
  EXPECT_EQ(RequestHeader(0, false, "0000", "0470"), "00000000" "0000" "0000" "0470");
  EXPECT_EQ(RequestHeader(0x1234, true, "0000", "0800"), "00001234" "0001" "0000" "0800");
  TXbReplyHeader h;
  ASSERT_TRUE(ReadReplyHeader("FFFFFFF0" "abcdefgh" "0303", h));
  EXPECT_EQ(h.Length, 0xFFFFFFF0);
  EXPECT_EQ(h.Kind, "0303");
  EXPECT_FALSE(ReadReplyHeader("0000001Z" "00000000" "0000", h));

  TXbTableList list;
  list.Add()->SetTableName("  ");  // no name: left out
  TXbTableListItem* t = list.Add();
  t->SetTableName(" orders.dbf ");
  t->SetAlias("ORD");
  t->SetPassword("pw");
  t->SetOEMTranslate(true);
  t->ExtraIndexes().Add("BYDATE");
  t->ExtraIndexes().Add("BYCUST ");
  std::string extra = "BYDATE\r\nBYCUST";
  std::string entry = "orders.dbf" + std::string(54, ' ') + "ORD" + std::string(61, ' ') +
                      std::to_string(int(t->TableType())) + "pw      " + "Y" + "0000000E" + extra;
  ASSERT_EQ(entry.size(), 64u + 64 + 1 + 8 + 1 + 8 + 14);
  EXPECT_EQ(list.Encoded(), "000000A0" "00000001" + entry);
}

}  // namespace
