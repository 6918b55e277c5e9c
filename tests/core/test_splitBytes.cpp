// The split's output is fixed: speed work must not change one byte of it. The sample mixes what
// real files and damaged ones hold: short and over-long lines, tabs, control and high characters,
// NULs, blank lines of every sort, odd ids, all three line ends, and an end behind Ctrl-Z.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "TempDir.h"
#include "core/uHotSplitter.h"

namespace {

uint64_t Fnv1a(const std::string& s) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
  return h;
}

class TNoisyWriter {
public:
  explicit TNoisyWriter(bool layoutA) : FLayoutA(layoutA) {}

  uint32_t Next(uint32_t bound) {
    FNoise = FNoise * 1103515245u + 12345u;
    return (FNoise >> 8) % bound;
  }

  // A record line of the id, its content running to `length`, with `field` at `at`, then damage.
  void Record(const char* id, std::size_t length, std::size_t at = 0, const std::string& field = "",
              bool damage = true) {
    std::string line(length, ' ');
    for (std::size_t i = 13; i < length; ++i) line[i] = char('0' + Next(10));
    line.replace(0, 3, id, 3);
    line.replace(11, 2, id + 3, 2);
    if (at) {
      if (line.size() < at - 1 + field.size()) line.resize(at - 1 + field.size(), ' ');
      line.replace(at - 1, field.size(), field);
    }
    if (damage) Damage(line);
    Emit(line);
  }

  void Emit(const std::string& line) {
    static const char* const ends[] = {"\r\n", "\r\n", "\r\n", "\n", "\r"};
    Text += line;
    Text += ends[Next(5)];
  }

  void Damage(std::string& line) {
    switch (Next(20)) {
      case 0: line.insert(1 + Next(uint32_t(line.size())), "\t"); break;
      case 1: line.insert(1 + Next(12), "\t"); break;  // inside the id
      case 2: line[1 + Next(uint32_t(line.size() - 1))] = "\x01\x02\x07\x08\x0b\x0c\x1b\x1f"[Next(8)]; break;
      case 3: line[13 + Next(uint32_t(line.size() - 13))] = char(128 + Next(128)); break;
      case 4: line[5 + Next(uint32_t(line.size() - 5))] = '\0'; break;
      case 5: line.resize(500 + Next(1600), '7'); break;
      case 6: line.append(Next(30), ' '); break;
      case 7: line.insert(std::min<std::size_t>(20, line.size()), "\t\t"); break;
      case 8:
      case 9: line.replace(3, 5, "\t"); break;  // a tab for the blanks before the qualifier
      default: break;
    }
  }

  void Blank() {
    switch (Next(6)) {
      case 0: Emit(""); break;
      case 1: Emit(std::string(1 + Next(200), ' ')); break;
      case 2: Emit("\t \t"); break;
      case 3: Emit("\x01\x02 \x1f"); break;
      case 4: Emit(std::string(600, ' ') + "x"); break;  // blank as far as it is read
      default: Emit(std::string(1 + Next(5), '\t')); break;
    }
  }

  void File() {
    const std::string revision = FLayoutA ? "203" + std::string(16, '1') + "20" : "022";
    Record("BFH01", 40 + Next(100), FLayoutA ? 20 : 22, revision, false);
    Record("BCH02", 30 + Next(100));
    static const char* const agents[] = {"1000001", "1000002", "12345", "0012345", "100 001", "1000003"};
    static const char* const airlines[] = {"074  ", "  074", " 74  ", "220  ", "125  ", "22\t0 ", "074"};
    static const char* const details[] = {"BKS24", "BKS30", "BAR64", "BKP84", "AKS24", "BKS4\t"};
    static const char* const totals[] = {"BOT93", "BOT94"};
    for (int office = 0; office < 120; ++office) {
      Record("BOH03", 14 + Next(40), 14, agents[Next(6)]);
      for (uint32_t t = Next(12); t > 0; --t) {
        const std::string airline = airlines[Next(7)];
        Record("BKT06", FLayoutA ? 20 + Next(60) : 45 + Next(40), FLayoutA ? 25 : 51,
               FLayoutA ? airline.substr(0, 3) : airline);
        for (uint32_t d = Next(6); d > 0; --d) {
          if (Next(8) == 0) Blank();
          Record(details[Next(6)], 14 + Next(123));
        }
      }
      Record(totals[Next(2)], 20 + Next(117));
      if (Next(3) == 0) Record("BOT94", 20 + Next(117));
    }
    Record("BCT95", 20 + Next(117));
    Record("BFT99", 20 + Next(117), 0, "", false);
    Emit("TTH01");
    Emit("\t  ");
    Text += "   \x1a BKT06 not read";
  }

  std::string Text;

private:
  bool FLayoutA;
  uint32_t FNoise = 424242u;
};

}  // namespace

TEST(SplitBytes, OutputOfAVariedSampleIsPinned) {
  const struct {
    bool layoutA;
    const char* airlines;
    const char* agents;
    std::size_t size;
    uint64_t hash;
  } pinned[] = {
      {true, "074|220", "1000001|0012345", 56107, 0xb59ee1a6d1d3a169ull},
      {true, "", "", 406316, 0x57f8b18c48a61addull},
      {false, "074|220", "1000001|0012345", 80129, 0x17af0aad73b68f27ull},
      {false, "125", "1000002|0100001|1000003", 40431, 0xdde9bf9be8590359ull},
      {false, "", "", 395250, 0x4f6137bec918f11cull},
  };
  for (const auto& p : pinned) {
    TNoisyWriter w(p.layoutA);
    w.File();
    TempDir dir;
    const std::string input = dir.Write("H0101.txt", w.Text);
    TCtlTextFileViewer viewer;
    THotSplitter s(viewer);
    s.SetAirlineList(p.airlines);
    s.SetAgentList(p.agents);
    const std::string out = TempDir::Read(s.SplitOneFile(input));
    EXPECT_EQ(out.size(), p.size) << p.airlines << " / " << p.agents;
    EXPECT_EQ(Fnv1a(out), p.hash) << p.airlines << " / " << p.agents;
  }
}
