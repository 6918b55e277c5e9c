#include <gtest/gtest.h>

#include "LoopbackServer.h"
#include "core/TempDir.h"
#include "platform/rtl/Ticks.h"
#include "tables/TickClock.h"
#include "tables/XbNet.h"
#include "tables/intCrypt.h"

namespace {

TEST(TickClock, ElapsedAtTheMillisecondAndTraceLinesInOrder) {
  {
    TFakeClock fake;
    TTickClock clock;
    fake.Advance(499);
    EXPECT_FALSE(clock.Elapsed(500));
    fake.Advance(1);
    EXPECT_TRUE(clock.Elapsed(500));
    EXPECT_EQ(clock.ElapsedMs(), 500u);
  }
  TempDir dir;
  {
    TFileStream f(dir.path + "t.log", fmCreate);
    WriteTraceLine(f, "");
    WriteTraceText(f, "");
    WriteTraceLine(f, "O: HELLO");
  }
  EXPECT_EQ(TempDir::Read(dir.path + "t.log"), "\r\nO: HELLO\r\n");
}

struct LineClient : ::testing::Test {
  TLoopbackServer server{{"line"}};
  std::vector<std::string> status;  // outlives the client, whose end still reports
  TXbNetClient client{nullptr};
  void SetUp() override {
    ASSERT_GT(server.Port(), 0);
    client.SetHost("LocalHost");
    client.SetPort(server.Port());
    client.OnStatus = [this](TObject*, const AnsiString& s) { status.push_back(s); };
  }
};

TEST_F(LineClient, RepliesSingleAndMultiLineWithTheirCodes) {
  TempDir dir;
  client.SetTraceFileName(dir.path + "trace.txt");
  client.Connect();
  EXPECT_EQ(client.ResolvedAddress(), "127.0.0.1");
  EXPECT_THROW(client.Connect(), EXbNetAlreadyConnected);
  EXPECT_EQ(client.ReadReply(), 220);

  EXPECT_EQ(client.SendCommand("MULTI", 123, "*", 1), 123);
  EXPECT_EQ(client.LastReply(), "123 last");
  EXPECT_EQ(client.ReplyLines().Count(), 3);
  EXPECT_EQ(status.back(), "  123 last");

  struct Case { const char* command; int code; const char* reply; };
  for (Case c : {Case{"OK", 1, "+OK fine"}, Case{"ERR", 0, "-ERR bad"}, Case{"ABC", 0, "abc def"},
                 Case{"SPLIT", 250, "250 split"}}) {
    EXPECT_EQ(client.SendCommand(c.command, -1, "", 0), c.code) << c.command;
    EXPECT_EQ(client.LastReply(), c.reply);
  }
  try {
    client.SendCommand("ERR", 1, "", 0);
    FAIL();
  } catch (EXbNetResponseError& e) {
    EXPECT_EQ(e.Message(), "-ERR bad");
  }
  client.Disconnect();
  EXPECT_FALSE(client.Active());
  EXPECT_EQ(status.back(), "Disconnected");
  EXPECT_EQ(TempDir::Read(dir.path + "trace.txt").substr(0, 53),
            "I: 220 ready\r\n\r\nO: MULTI\r\nI: 123-first\r\n\r\nI: middle\r\n");
}

TEST_F(LineClient, EarlyCloseAndTimedReadsLeaveTheClientUsable) {
  client.Connect();
  client.ReadReply();
  client.SendLine("PARTIAL");
  try {
    client.ReadBytes(10);
    FAIL();
  } catch (EXbNetConnClosedGraceful& e) {
    EXPECT_EQ(e.Message(), "Connection Closed Gracefully.");
  }
  EXPECT_FALSE(client.Active());
  EXPECT_EQ(client.BufferedCount(), 0);
  EXPECT_THROW(client.SendText("x"), EXbNetClosedSocket);

  client.Connect();
  client.ReadReply();
  try {
    client.ReadBytesTimed(100, 30);
    FAIL();
  } catch (Exception& e) {
    EXPECT_EQ(e.Message(), "Not enough data in buffer.");
  }
  EXPECT_TRUE(client.Active());
  EXPECT_EQ(client.SendCommand("OK", 1, "", 0), 1);
}

TEST(XbNet, RefusedConnectionNamesTheSocketError) {
  int port;
  { TLoopbackServer gone({"line"}); port = gone.Port(); }
  TXbNetClient client(nullptr);
  client.SetHost("127.0.0.1");
  client.SetPort(port);
  try {
    client.Connect();
    FAIL();
  } catch (EXbNetSocketError& e) {
    EXPECT_EQ(e.ErrorCode(), 10061);
    EXPECT_EQ(e.Message(), "Socket Error #10061\r\nConnection refused.");
  }
  EXPECT_FALSE(client.Active());
  EXPECT_EQ(SocketErrorDescription(10035), "Operation would block. ");
  EXPECT_EQ(SocketErrorDescription(12345), "");
}

TEST(XbCrypt, UnCompressRestoresWhatCompressMade) {
  ASSERT_TRUE(LoadCompressionEngine());
  std::string text(20000, 'a');
  for (size_t i = 0; i < text.size(); i += 7) text[i] = char(i);
  TMemoryStream plain, packed, back, garbage, none;
  plain.WriteBuffer(text.data(), int64_t(text.size()));
  CompressStream(&plain, &packed);
  EXPECT_LT(packed.Size(), plain.Size());
  UnCompressStream(&packed, &back);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(back.Memory()), size_t(back.Size())), text);
  garbage.WriteBuffer("not zlib", 8);
  UnCompressStream(&garbage, &none);
  EXPECT_EQ(none.Size(), 0);
}

}  // namespace
