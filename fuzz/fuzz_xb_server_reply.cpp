// Fuzz target for the database-server client: after a first byte that picks the road, the input is
// everything a server sends back, fed by a writer thread so that answers of any size up to the
// client's limit arrive. One road runs the table commands whose answers it parses (open, record
// fetch, counts, texts, notices and server streams), the other a SQL statement (prepare, row
// counts, structure, record blocks, field values).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "platform/rtl/Ticks.h"
#include "tables/XbConnection.h"
#include "tables/XbQuery.h"

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

// Writes the whole input, then closes the sending side; stops when the client goes away.
void Feed(int peer, const uint8_t* data, size_t size) {
  for (size_t done = 0; done < size;) {
    ssize_t n = send(peer, data + done, size - done, MSG_NOSIGNAL);
    if (n <= 0) break;
    done += size_t(n);
  }
  shutdown(peer, SHUT_WR);
}

void RunTableCommands(TXbConnection& conn) {
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
  char blob[64];
  conn.GetBlob("M", blob, sizeof blob);
  conn.SysProp(1002, 0);
}

void RunStatement(TXbConnection& conn) {
  TXbQuery q(nullptr);
  q.SetDatabaseName("db");
  q.SetXbConnection(&conn);
  q.SetAccessMethod(amServer);
  q.SetFetchCount(3);
  q.SetSQL("SELECT a FROM t");
  try {
    q.Open();
    for (q.First(); !q.Eof(); q.Next())
      for (TField* f : q.Fields()) f->AsString();
    q.Close();
  } catch (const Exception&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static uint16_t port = 0;
  static const int listener = Listener(port);
  static TFakeClock clock;  // a shutdown notice's wait passes at once
  if (size < 1 || size > size_t(XbWire::MaxAnswerBytes) + 4096) return 0;
  bool statement = data[0] & 1;
  TXbConnection conn(nullptr);
  conn.SetPort(port);
  conn.SetTimeOut(20);
  conn.SetPolling(false);
  conn.OnError = [](TObject*, const AnsiString&, const AnsiString&) {};
  conn.OnServerStream = [](TObject*, TMemoryStream& s) {
    char b[16];
    while (s.Read(b, sizeof b) > 0) {
    }
  };
  conn.OnServerMessage = [](TObject*, const AnsiString&) {};
  conn.OnServerProgress = [](TObject*, int32_t, int32_t, int32_t, int32_t) {};
  conn.SetActive(true);
  int peer = accept(listener, nullptr, nullptr);
  if (peer < 0) return 0;
  std::thread writer(Feed, peer, data + 1, size - 1);
  if (statement)
    RunStatement(conn);
  else
    RunTableCommands(conn);
  conn.SetActive(false);
  writer.join();
  close(peer);
  return 0;
}
