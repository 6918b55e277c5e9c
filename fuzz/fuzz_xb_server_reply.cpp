// Fuzz target for the database-server client: after a first byte that picks the road, the input is
// everything a server sends back, played by a peer thread that answers each request with the next
// frames, so that answers of any size up to the client's limit arrive when asked for. One road runs the table commands whose answers it parses (open, record
// fetch, counts, texts, notices and server streams), the other a SQL statement (prepare, row
// counts, structure, record blocks, field values).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
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

bool ReadExact(int peer, uint8_t* buffer, size_t n) {
  for (size_t done = 0; done < n;) {
    ssize_t got = recv(peer, buffer + done, n - done, 0);
    if (got <= 0) return false;
    done += size_t(got);
  }
  return true;
}

// One request off the wire, its payload dropped; false once the client has gone.
bool ReadRequest(int peer) {
  uint8_t header[20];
  if (!ReadExact(peer, header, sizeof header)) return false;
  uint32_t length = 0;
  if (!ReadHexDigits({reinterpret_cast<const char*>(header), 8}, length)) return false;
  uint8_t piece[8192];
  for (uint32_t left = length; left > 0;) {
    uint32_t n = std::min<uint32_t>(left, sizeof piece);
    if (!ReadExact(peer, piece, n)) return false;
    left -= n;
  }
  return true;
}

bool IsNotice(const uint8_t* kind) {
  return kind[0] == '0' && kind[1] == '3' && kind[2] == '0' && kind[3] >= '0' && kind[3] <= '3';
}

// Plays the server: after each request, the input's next frames up to and including an answer
// (what cannot be read as a frame goes out as it is), so that answers come when asked for.
void Feed(int peer, const uint8_t* data, size_t size) {
  size_t at = 0;
  while (at < size && ReadRequest(peer)) {
    for (bool answered = false; !answered && at < size;) {
      size_t end = size;
      uint32_t length = 0;
      if (size - at >= 20 && ReadHexDigits({reinterpret_cast<const char*>(data + at), 8}, length)) {
        end = std::min<size_t>(size, at + 20 + length);
        answered = !IsNotice(data + at + 16);
      }
      for (size_t sent = at; sent < end;) {
        ssize_t n = send(peer, data + sent, end - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += size_t(n);
      }
      at = end;
    }
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
