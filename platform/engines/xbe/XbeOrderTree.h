// The entries of one order (index tag) sorted by key and record number in a counted treap:
// insert, erase, seek and the rank of an entry among the visible ones all take O(log n).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace xbe {

struct TKey {
  bool Numeric = false;
  double Num = 0;
  std::string Str;
};

int CompareKeys(const TKey& a, const TKey& b);

class TOrderTree {
public:
  struct TEntry {
    TKey Key;
    uint32_t RecNo = 0;
    bool Deleted = false;
  };
  static constexpr std::size_t npos = SIZE_MAX;

  // unique: only the first entry of each key counts.
  explicit TOrderTree(bool unique = false) : FUnique(unique) {}

  std::size_t Size() const { return size(FRoot); }
  void Clear();
  // Replaces the contents; entries need not be sorted.
  void Build(std::vector<TEntry> entries);
  void Insert(TEntry entry);
  bool Erase(const TKey& key, uint32_t recNo);

  const TEntry& At(std::size_t rank) const;
  // The number of leading entries for which before(entry) holds; before must hold on a prefix.
  template <class F>
  std::size_t PartitionPoint(F before) const {
    std::size_t n = 0;
    for (int32_t t = FRoot; t >= 0;) {
      if (before(FNodes[std::size_t(t)].E)) {
        n += size(FNodes[std::size_t(t)].L) + 1;
        t = FNodes[std::size_t(t)].R;
      } else {
        t = FNodes[std::size_t(t)].L;
      }
    }
    return n;
  }
  // The rank (key, recNo) has or would have.
  std::size_t RankOf(const TKey& key, uint32_t recNo) const;

  // Counted entries: every entry, or the first of each key in a unique order; live ones are
  // also not deleted.
  bool Counted(std::size_t rank, bool live) const;
  std::size_t CountBefore(std::size_t rank, bool live) const;
  std::size_t CountedTotal(bool live) const { return counted(FRoot, live); }
  // The rank of the k-th counted entry, from 0.
  std::size_t SelectCounted(std::size_t k, bool live) const;

private:
  struct TNode {
    TEntry E;
    uint32_t Prio = 0;
    int32_t L = -1, R = -1;
    uint32_t Size = 1, NAll = 1, NLive = 1;
    bool First = true;
  };
  std::size_t size(int32_t t) const { return t < 0 ? 0 : FNodes[std::size_t(t)].Size; }
  std::size_t counted(int32_t t, bool live) const {
    return t < 0 ? 0 : (live ? FNodes[std::size_t(t)].NLive : FNodes[std::size_t(t)].NAll);
  }
  void update(int32_t t);
  bool less(const TEntry& a, const TKey& key, uint32_t recNo) const;
  int32_t insert(int32_t t, int32_t n);
  int32_t erase(int32_t t, const TKey& key, uint32_t recNo, bool& found);
  int32_t merge(int32_t a, int32_t b);
  int32_t build(std::vector<int32_t>& order, std::size_t lo, std::size_t hi, int depth);
  void setFirst(std::size_t rank, bool first);
  uint32_t nextPrio();

  bool FUnique;
  std::vector<TNode> FNodes;
  std::vector<int32_t> FFree;
  int32_t FRoot = -1;
  uint64_t FSeed = 0x9E3779B97F4A7C15ull;
};

}  // namespace xbe
