// Fuzz target for the database-server client: the input is everything a server sends back, read
// by a connection that runs the commands whose answers it parses (open, record fetch, counts,
// texts, notices), then closed by the peer.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "platform/rtl/Ticks.h"
#include "tables/XbConnection.h"

namespace {

int Listener(uint16_t& port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  listen(fd, 4);
  socklen_t n = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
  port = ntohs(a.sin_port);
  return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static uint16_t port = 0;
  static const int listener = Listener(port);
  static TFakeClock clock;  // a shutdown notice's wait passes at once
  if (size > 60000) return 0;  // what the peer's socket buffer takes without a reader
  TXbConnection conn(nullptr);
  conn.SetPort(port);
  conn.SetTimeOut(20);
  conn.SetPolling(false);
  conn.OnError = [](TObject*, const AnsiString&, const AnsiString&) {};
  conn.OnServerStream = [](TObject*, TMemoryStream&) {};
  conn.OnServerMessage = [](TObject*, const AnsiString&) {};
  conn.SetActive(true);
  int peer = accept(listener, nullptr, nullptr);
  if (peer < 0) return 0;
  if (size) (void)!write(peer, data, size);
  shutdown(peer, SHUT_WR);
  TXbServerOpenRequest q;
  q.DatabaseName = "db";
  q.TableName = "t.dbf";
  TXbServerOpenResult r;
  conn.Use(q, r);
  std::vector<TXbTraverseEntry> entries;
  conn.TraverseTable(TXbTraverseRequest{}, 16, entries);
  int32_t count = 0;
  conn.QueryRowCount("X", count);
  conn.RecCount();
  conn.EvalNumeric("1");
  conn.GetStructure();
  char record[16];
  conn.GetRecord(record, sizeof record);
  conn.SysProp(1002, 0);
  close(peer);
  return 0;
}
