// Generated HOT files for the tests, with what each record is, and the expected split
// worked out from that description rather than by reading the lines back.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace hot {

enum class Kind { FileHeader, CycleHeader, Office, Transaction, Detail, Totals93, Totals94, Totals95, Totals99, Other };

struct Record {
  Kind kind;
  std::string text;
  std::string agent;    // offices
  std::string airline;  // transactions, as the airline code is meant (3 digits or longer)
};

inline void Put(std::string& line, int start, const std::string& value) {
  if (line.size() < std::size_t(start - 1 + value.size())) line.resize(start - 1 + value.size(), ' ');
  line.replace(std::size_t(start - 1), value.size(), value);
}

inline std::string Base(const char* msg, int seq, const char* qual, uint32_t& noise) {
  std::string line(136, ' ');
  Put(line, 1, msg);
  char s[16];
  std::snprintf(s, sizeof s, "%08d", seq);
  Put(line, 4, s);
  Put(line, 12, qual);
  // Filler digits in every free place, so that zeroing the wrong field shows.
  for (int i = 14; i <= 136; ++i) {
    noise = noise * 1103515245u + 12345u;
    line[std::size_t(i - 1)] = char('1' + (noise >> 16) % 9);
  }
  return line;
}

class Generator {
public:
  explicit Generator(bool layoutA) : FLayoutA(layoutA) {}

  std::vector<Record> records;

  void FileHeader() {
    std::string l = Base("BFH", ++FSeq, "01", FNoise);
    if (FLayoutA) {
      Put(l, 20, "203");
      Put(l, 39, "20");
    } else {
      Put(l, 20, "10");
      Put(l, 22, "022");
    }
    records.push_back({Kind::FileHeader, l, "", ""});
  }
  void CycleHeader() { records.push_back({Kind::CycleHeader, Base("BCH", ++FSeq, "02", FNoise), "", ""}); }
  void Office(const std::string& agent) {
    std::string l = Base("BOH", ++FSeq, "03", FNoise);
    Put(l, 14, agent);
    records.push_back({Kind::Office, l, agent, ""});
  }
  // The airline as written in its field: three digits in layout A, five characters in layout B.
  void Transaction(const std::string& airline, const std::string& field, int details) {
    std::string l = Base("BKT", ++FSeq, "06", FNoise);
    Put(l, FLayoutA ? 25 : 51, field);
    records.push_back({Kind::Transaction, l, "", airline});
    for (int i = 0; i < details; ++i) Detail(i % 2 ? "BAR" : "BKS", i % 2 ? "64" : "24");
  }
  // The airline written as the layout has it: as it is in layout A, left in its five places in B.
  void Transaction(const std::string& airline, int details) {
    std::string field = airline;
    if (!FLayoutA && field.size() < 5) field.resize(5, ' ');
    Transaction(airline, field, details);
  }
  void Detail(const char* msg, const char* qual) { records.push_back({Kind::Detail, Base(msg, ++FSeq, qual, FNoise), "", ""}); }
  void Totals(Kind k) {
    const char* ids[] = {"BOT93", "BOT94", "BCT95", "BFT99"};
    const char* id = ids[int(k) - int(Kind::Totals93)];
    records.push_back({k, Base(std::string(id, 3).c_str(), ++FSeq, id + 3, FNoise), "", ""});
  }

  // The last office's totals, then the cycle's and the file's.
  void EndOfFile() {
    Totals(Kind::Totals94);
    Totals(Kind::Totals95);
    Totals(Kind::Totals99);
  }
  std::string Text() const;

private:
  bool FLayoutA;
  int FSeq = 0;
  uint32_t FNoise = 7;
};

// (start, width) of the amounts, counted from 1, from the record table.
inline std::vector<std::pair<int, int>> Amounts(Kind k, bool a) {
  switch (k) {
    case Kind::Totals93:
      return a ? std::vector<std::pair<int, int>>{{28, 15}, {43, 15}, {58, 15}, {73, 15}, {92, 15}}
               : std::vector<std::pair<int, int>>{{35, 15}, {50, 15}, {65, 15}, {80, 15}, {95, 15}, {115, 15}};
    case Kind::Totals94:
      return a ? std::vector<std::pair<int, int>>{{28, 15}, {43, 15}, {58, 15}, {73, 15}, {88, 15}}
               : std::vector<std::pair<int, int>>{{35, 15}, {50, 15}, {65, 15}, {80, 15}, {95, 15}, {115, 15}};
    case Kind::Totals95:
      return a ? std::vector<std::pair<int, int>>{{18, 5}, {23, 15}, {38, 15}, {53, 15}, {68, 15}, {83, 15}}
               : std::vector<std::pair<int, int>>{{25, 5}, {30, 15}, {45, 15}, {60, 15}, {75, 15}, {90, 15}, {115, 15}};
    case Kind::Totals99:
      return a ? std::vector<std::pair<int, int>>{{17, 5}, {22, 15}, {37, 15}, {52, 15}, {67, 15}, {82, 15}}
               : std::vector<std::pair<int, int>>{{24, 5}, {29, 15}, {44, 15}, {59, 15}, {74, 15}, {89, 15}, {115, 15}};
    default:
      return {};
  }
}

inline std::string Zeroed(std::string text, Kind k, bool a) {
  for (auto [start, width] : Amounts(k, a))
    text.replace(std::size_t(start - 1), std::size_t(width), std::string(std::size_t(width - 1), '0') + "{");
  return text;
}

// Empty sets mean no filter.
inline std::string ExpectedSplit(const std::vector<Record>& records, bool layoutA, const std::set<std::string>& agents,
                                 const std::set<std::string>& airlines) {
  std::string out;
  bool inChosenOffice = false;
  bool inChosenTransaction = false;  // details follow the transaction, or the office before any
  for (const Record& r : records) {
    bool written = false;
    switch (r.kind) {
      case Kind::FileHeader:
      case Kind::CycleHeader:
        written = true;
        inChosenTransaction = true;
        break;
      case Kind::Office:
        inChosenOffice = agents.empty() || agents.count(r.agent);
        inChosenTransaction = inChosenOffice;
        written = inChosenOffice;
        break;
      case Kind::Transaction:
        inChosenTransaction = inChosenOffice && (airlines.empty() || airlines.count(r.airline));
        written = inChosenTransaction;
        break;
      case Kind::Detail:
      case Kind::Other:
        written = inChosenTransaction;
        break;
      case Kind::Totals93:
      case Kind::Totals94:
        inChosenTransaction = inChosenOffice;
        written = inChosenOffice;
        break;
      case Kind::Totals95:
      case Kind::Totals99:
        inChosenTransaction = true;
        written = true;
        break;
    }
    if (written) out += Zeroed(r.text, r.kind, layoutA) + "\r\n";
  }
  return out;
}

inline std::string Join(const std::vector<Record>& records, const char* eol) {
  std::string out;
  for (const Record& r : records) out += r.text + eol;
  return out;
}

inline std::string Generator::Text() const { return Join(records, "\r\n"); }

}  // namespace hot
