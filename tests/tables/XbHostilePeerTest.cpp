// The server client against peers that misbehave on purpose: each ends in its one clear error, within
// the time-out and a margin, without memory that the peer's claims would ask for.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>

#include "LoopbackServer.h"
#include "platform/engines/DbfPeer.h"
#include "tables/XbConnection.h"
#include "tables/XbQuery.h"

namespace {

using Clock = std::chrono::steady_clock;

long StatusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::strlen(key) + 1));
  return 0;
}

// How far the resident set rose above where it was while f ran, and how long f took.
struct TCost {
  double PeakMiB = 0;
  int64_t Ms = 0;
};

TCost Measure(const std::function<void()>& f) {
  std::ofstream("/proc/self/clear_refs") << "5";  // the high-water mark restarts from here
  long before = StatusKb("VmRSS:");
  auto start = Clock::now();
  f();
  TCost c;
  c.Ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  c.PeakMiB = double(StatusKb("VmHWM:") - before) / 1024;
  return c;
}

using TErrors = std::vector<std::pair<std::string, std::string>>;

struct TPeer {
  explicit TPeer(const std::string& faults, const char* mode = "table", int32_t timeOut = 1000) {
    std::vector<std::string> args = {mode, QUORVEX_BINARY_DIR "/engines/XBE7.so"};
    if (std::string(mode) == "sql") args.push_back(QUORVEX_BINARY_DIR "/engines/xbesql7.so");
    args.push_back(Dir.path + "wire.log");
    args.push_back(faults);
    Server = std::make_unique<TLoopbackServer>(args);
    Conn.SetPort(Server->Port());
    Conn.SetTimeOut(timeOut);
    Conn.SetPolling(false);
    Conn.OnError = [this](TObject*, const AnsiString& where, const AnsiString& what) { Errors.emplace_back(where, what); };
  }
  TempDir Dir;
  std::unique_ptr<TLoopbackServer> Server;
  TXbConnection Conn{nullptr};
  TErrors Errors;
};

// A listener that queues connections and never takes or reads one.
struct TDeafListener {
  explicit TDeafListener(int backlog) {
    Fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(Fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(Fd, backlog);
    socklen_t n = sizeof a;
    getsockname(Fd, reinterpret_cast<sockaddr*>(&a), &n);
    Port = ntohs(a.sin_port);
  }
  // Connects that wait in the queue until it is full.
  void Fill(int count) {
    for (int i = 0; i < count; ++i) {
      int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
      sockaddr_in a{};
      a.sin_family = AF_INET;
      a.sin_port = htons(uint16_t(Port));
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      (void)!connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
      Fillers.push_back(fd);
    }
    usleep(50000);
  }
  ~TDeafListener() {
    for (int fd : Fillers) close(fd);
    close(Fd);
  }
  int Fd = -1;
  int Port = 0;
  std::vector<int> Fillers;
};

// A peer that stops reading, or never takes the connection, costs no more than the time-out.
TEST(XbHostilePeer, SendsAndConnectsEndAtTheTimeOut) {
  TDeafListener deaf(4);
  TXbConnection conn(nullptr);
  TErrors errors;
  conn.OnError = [&](TObject*, const AnsiString& where, const AnsiString& what) { errors.emplace_back(where, what); };
  conn.SetPolling(false);
  conn.SetPort(deaf.Port);
  conn.SetTimeOut(1000);
  conn.SetActive(true);
  ASSERT_TRUE(conn.Active());
  std::string blob(64 << 20, 'b');
  TCost cost = Measure([&] { conn.PutBlob("NOTES", blob.data(), int32_t(blob.size())); });
  EXPECT_LT(cost.Ms, 1000 + 700);
  EXPECT_LT(cost.PeakMiB, 100);  // the blob's one copy in the send stream
  EXPECT_EQ(errors, (TErrors{{"XbConnection.ClientStreamSendReceive", "Time out"}}));
  EXPECT_FALSE(conn.Active());

  TDeafListener full(0);
  full.Fill(4);
  errors.clear();
  conn.SetPort(full.Port);
  conn.SetTimeOut(500);
  cost = Measure([&] { conn.SetActive(true); });
  EXPECT_LT(cost.Ms, 500 + 700);
  EXPECT_EQ(errors, (TErrors{{"XbConnection.SetActive", "No Xb Database Server found at 127.0.0.1"}}));
  EXPECT_FALSE(conn.Active());
  EXPECT_EQ(conn.Handle(), INVALID_SOCKET);
}

// Notices restart the time-out of a frame, but not of the command: it ends after five time-outs.
TEST(XbHostilePeer, ACommandEndsAtItsDeadlineThoughNoticesKeepComing) {
  TPeer p("trickle:0516:100", "table", 300);
  int notices = 0;
  p.Conn.OnServerProgress = [&](TObject*, int32_t, int32_t, int32_t, int32_t) { ++notices; };
  p.Conn.SetActive(true);
  TCost cost = Measure([&] { EXPECT_EQ(p.Conn.Count(), 0); });
  EXPECT_GE(cost.Ms, 5 * 300 - 50);
  EXPECT_LT(cost.Ms, 5 * 300 + 700);
  EXPECT_GT(notices, 5);
  EXPECT_LT(cost.PeakMiB, 8);
  EXPECT_EQ(p.Errors, (TErrors{{"XbConnection.FillReadStream", "Time out"}}));
  EXPECT_FALSE(p.Conn.Active());
  p.Conn.SetActive(true);
  EXPECT_TRUE(p.Conn.Active());
}

// Frames waiting before a command are read off; an answer of another command ends it.
TEST(XbHostilePeer, AnExtraAnswerShiftsNothingAndAForeignOneIsAnError) {
  TPeer twice("twice:0618");
  twice.Conn.SetActive(true);
  EXPECT_FALSE(twice.Conn.EngineVersion().empty());
  usleep(50000);
  EXPECT_EQ(twice.Conn.RecCount(), 0);
  EXPECT_EQ(twice.Conn.EngineVersion(), twice.Conn.EngineVersion());
  EXPECT_TRUE(twice.Errors.empty());

  TPeer foreign("kind:0470:0516");
  foreign.Conn.SetActive(true);
  TCost cost = Measure([&] { EXPECT_EQ(foreign.Conn.RecCount(), 0); });
  EXPECT_LT(cost.Ms, 1000);
  EXPECT_LT(cost.PeakMiB, 8);
  EXPECT_EQ(foreign.Errors, (TErrors{{"XbConnection.FillReadStream", "Unexpected answer 0516 to command 0470"}}));
  EXPECT_FALSE(foreign.Conn.Active());
}

// What the client puts on the wire, read raw and held against the layout written out by hand.
TEST(XbRawPeer, RequestFramesAreTheBytesTheProtocolGives) {
  TDeafListener peer(4);
  TXbConnection conn(nullptr);
  conn.SetPolling(false);
  conn.SetPort(peer.Port);
  conn.SetActive(true);
  int fd = accept(peer.Fd, nullptr, nullptr);
  ASSERT_GE(fd, 0);
  conn.SetTablePassword("pw");
  conn.SetLockTimeOut(120);
  conn.SetTranslate(true);
  std::string expected = std::string("00000002" "0000" "0000" "0566") + "pw" + "00000003" "0000" "0000" "0577" "120" +
                         "00000001" "0000" "0000" "0587" "Y";
  std::string got(expected.size(), '\0');
  size_t have = 0;
  while (have < got.size()) {
    ssize_t n = read(fd, got.data() + have, got.size() - have);
    if (n <= 0) break;
    have += size_t(n);
  }
  EXPECT_EQ(got, expected);
  close(fd);
}

// Sizes a server claims are checked before they cost memory; what it sends is held once.
TEST(XbHostilePeer, SizesFromTheWireAreBoundedBeforeAnythingIsAllocated) {
  struct Case {
    const char* fault;
    bool compress;
    const char* error;
    double maxMiB;
  };
  for (Case c : {Case{"claim:0480:7FFFFFF8", false, "Connection lost", 16},
                 Case{"claim:0480:10000000", false, "Connection lost", 16},
                 Case{"bomb:0480:512", true, "Connection lost", 160},
                 Case{"big:0480:40", false, nullptr, 130}}) {
    SCOPED_TRACE(c.fault);
    TPeer p(c.fault, "table", 4000);  // room for 40 MiB on a loaded machine
    p.Conn.SetCompression(c.compress);
    p.Conn.SetActive(true);
    ASSERT_TRUE(p.Conn.Active());
    std::string blob(48 << 20, '\0');
    int32_t got = -1;
    TCost cost = Measure([&] { got = p.Conn.GetBlob("NOTES", blob.data(), int32_t(blob.size())); });
    EXPECT_LT(cost.Ms, 4000 + 500);
    EXPECT_LT(cost.PeakMiB, c.maxMiB);
    if (c.error) {
      EXPECT_EQ(got, 0);
      EXPECT_EQ(p.Errors, (TErrors{{"XbConnection.FillReadStream", c.error}}));
      EXPECT_FALSE(p.Conn.Active());
    } else {
      EXPECT_EQ(got, 40 << 20);
      EXPECT_TRUE(p.Errors.empty());
    }
  }
}

// A table's open answer sizes the table's record buffers: a size past a record's limit is refused.
TEST(XbHostilePeer, ATableRecordSizeIsCheckedBeforeBuffersAreMade) {
  for (const char* fault : {"recsize:0469:40000000", "recsize:0469:7FFFFFF8"}) {
    SCOPED_TRACE(fault);
    TPeer p(fault);
    MakePeople(p.Dir, "db3");
    p.Conn.SetActive(true);
    TXbServerOpenRequest q;
    q.DatabaseName = p.Dir.path;
    q.TableName = "people.dbf";
    q.TableType = 2;
    TXbServerOpenResult r;
    p.Conn.Use(q, r);
    EXPECT_EQ(r.WorkArea, 0);
    EXPECT_EQ(r.RecordSize, 0);
    EXPECT_EQ(p.Errors, (TErrors{{"XbConnection.UseEx", "UseEx"}}));
  }
}

// A statement's answer that claims rows or a record size it cannot back ends the open.
TEST(XbHostilePeer, StatementSizesAreCheckedBeforeRowsAreMade) {
  TempDir data;
  RunDbfPython(data, "t = dbf.Table('items.dbf', 'name C(10); qty N(5,0)', dbf_type='db3')\n"
                     "t.open(dbf.READ_WRITE)\nt.append(('one', 1))\nt.close()\n");
  for (const char* fault : {"rows:0802:04000000", "rows:0802:FFFFFFFF", "recsize:0802:40000000",
                            "recsize:0802:7FFFFFF8", "width:0806:FFFFFFFE", "width:0806:7FFFFFFF"}) {
    SCOPED_TRACE(fault);
    TPeer p(fault, "sql");
    p.Conn.SetActive(true);
    TXbQuery q(nullptr);
    q.SetDatabaseName(data.path);
    q.SetXbConnection(&p.Conn);
    q.SetAccessMethod(amServer);
    q.SetSQL("SELECT name, qty FROM items");
    q.TableList().Add()->SetTableName("items");
    AnsiString message;
    TCost cost = Measure([&] {
      try {
        q.Open();
        for (q.First(); !q.Eof(); q.Next()) q.Fields()[0]->AsString();
      } catch (const Exception& e) {
        message = e.Message();
      } catch (const std::exception& e) {
        message = AnsiString("std: ") + e.what();
      }
    });
    EXPECT_EQ(message, "Error while reading stream");
    EXPECT_LT(cost.Ms, 1500);
    EXPECT_LT(cost.PeakMiB, 16);
    EXPECT_FALSE(q.Active());
  }
}

}  // namespace
