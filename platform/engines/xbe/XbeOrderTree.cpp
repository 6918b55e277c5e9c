#include "platform/engines/xbe/XbeOrderTree.h"

#include <algorithm>

#include "platform/engines/xbe/XbeExpr.h"

namespace xbe {

int CompareKeys(const TKey& a, const TKey& b) {
  if (a.Numeric || b.Numeric) return a.Num < b.Num ? -1 : a.Num > b.Num ? 1 : 0;
  return CompareText(a.Str, b.Str);
}

namespace {
// Below this many entries a comparison sort is as quick.
constexpr std::size_t kRadixFrom = 4096;

int CompareEntries(const TKey& a, uint32_t ra, const TKey& b, uint32_t rb) {
  int c = CompareKeys(a, b);
  return c ? c : (ra < rb ? -1 : ra > rb ? 1 : 0);
}
}  // namespace

uint32_t TOrderTree::nextPrio() {
  FSeed ^= FSeed << 13;
  FSeed ^= FSeed >> 7;
  FSeed ^= FSeed << 17;
  return static_cast<uint32_t>(FSeed >> 32);
}

void TOrderTree::Clear() {
  FNodes.clear();
  FFree.clear();
  FRoot = -1;
}

void TOrderTree::update(int32_t t) {
  TNode& n = FNodes[std::size_t(t)];
  bool counts = n.First;
  n.Size = uint32_t(1 + size(n.L) + size(n.R));
  n.NAll = uint32_t((counts ? 1 : 0) + counted(n.L, false) + counted(n.R, false));
  n.NLive = uint32_t((counts && !n.E.Deleted ? 1 : 0) + counted(n.L, true) + counted(n.R, true));
}

bool TOrderTree::less(const TEntry& a, const TKey& key, uint32_t recNo) const {
  return CompareEntries(a.Key, a.RecNo, key, recNo) < 0;
}

void TOrderTree::Build(std::vector<TEntry> entries) {
  Clear();
  // Sorted by the first eight bytes of a text key, blank padded as compared; the whole key and
  // the record number only where those tie.
  struct TItem {
    uint64_t Prefix;
    uint32_t At;
  };
  bool texts = std::none_of(entries.begin(), entries.end(), [](const TEntry& e) { return e.Key.Numeric; });
  std::vector<TItem> items(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    uint64_t p = 0;
    if (texts) {
      const std::string& k = entries[i].Key.Str;
      for (std::size_t b = 0; b < 8; ++b) p = (p << 8) | (b < k.size() ? static_cast<unsigned char>(k[b]) : uint8_t(' '));
    }
    items[i] = {p, uint32_t(i)};
  }
  auto byEntry = [&](const TItem& a, const TItem& b) {
    if (a.Prefix != b.Prefix) return a.Prefix < b.Prefix;
    const TEntry& x = entries[a.At];
    const TEntry& y = entries[b.At];
    return CompareEntries(x.Key, x.RecNo, y.Key, y.RecNo) < 0;
  };
  if (!texts || items.size() < kRadixFrom) {
    std::sort(items.begin(), items.end(), byEntry);
  } else {
    // Many text keys: by prefix a byte at a time, the bytes every key shares passed over; then
    // each run of one prefix by whole key and record number.
    std::vector<TItem> spare(items.size());
    std::vector<uint32_t> counts(8 * 256, 0);
    for (const TItem& it : items)
      for (int b = 0; b < 8; ++b) ++counts[std::size_t(b * 256 + ((it.Prefix >> (8 * b)) & 0xFF))];
    for (int b = 0; b < 8; ++b) {
      uint32_t* c = counts.data() + b * 256;
      if (c[(items[0].Prefix >> (8 * b)) & 0xFF] == items.size()) continue;
      uint32_t at = 0;
      for (int v = 0; v < 256; ++v) {
        uint32_t n = c[v];
        c[v] = at;
        at += n;
      }
      for (const TItem& it : items) spare[c[(it.Prefix >> (8 * b)) & 0xFF]++] = it;
      items.swap(spare);
    }
    for (std::size_t i = 0; i < items.size();) {
      std::size_t j = i + 1;
      while (j < items.size() && items[j].Prefix == items[i].Prefix) ++j;
      if (j - i > 1) std::sort(items.begin() + std::ptrdiff_t(i), items.begin() + std::ptrdiff_t(j), byEntry);
      i = j;
    }
  }
  FNodes.resize(entries.size());
  std::vector<int32_t> order(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    FNodes[i].E = std::move(entries[items[i].At]);
    FNodes[i].First = !FUnique || i == 0 || CompareKeys(FNodes[i - 1].E.Key, FNodes[i].E.Key) != 0;
    order[i] = int32_t(i);
  }
  FRoot = build(order, 0, order.size(), 0);
}

// A balanced tree whose priorities fall with depth, so later inserts keep the heap order.
int32_t TOrderTree::build(std::vector<int32_t>& order, std::size_t lo, std::size_t hi, int depth) {
  if (lo >= hi) return -1;
  std::size_t mid = lo + (hi - lo) / 2;
  int32_t t = order[mid];
  FNodes[std::size_t(t)].Prio = (uint32_t(std::max(0, 31 - depth)) << 26) | (nextPrio() & 0x3FFFFFF);
  int32_t l = build(order, lo, mid, depth + 1);
  int32_t r = build(order, mid + 1, hi, depth + 1);
  FNodes[std::size_t(t)].L = l;
  FNodes[std::size_t(t)].R = r;
  update(t);
  return t;
}

int32_t TOrderTree::insert(int32_t t, int32_t n) {
  if (t < 0) return n;
  TNode& nn = FNodes[std::size_t(n)];
  if (less(nn.E, FNodes[std::size_t(t)].E.Key, FNodes[std::size_t(t)].E.RecNo)) {
    int32_t l = insert(FNodes[std::size_t(t)].L, n);
    FNodes[std::size_t(t)].L = l;
    if (FNodes[std::size_t(l)].Prio > FNodes[std::size_t(t)].Prio) {
      FNodes[std::size_t(t)].L = FNodes[std::size_t(l)].R;
      update(t);
      FNodes[std::size_t(l)].R = t;
      update(l);
      return l;
    }
  } else {
    int32_t r = insert(FNodes[std::size_t(t)].R, n);
    FNodes[std::size_t(t)].R = r;
    if (FNodes[std::size_t(r)].Prio > FNodes[std::size_t(t)].Prio) {
      FNodes[std::size_t(t)].R = FNodes[std::size_t(r)].L;
      update(t);
      FNodes[std::size_t(r)].L = t;
      update(r);
      return r;
    }
  }
  update(t);
  return t;
}

void TOrderTree::Insert(TEntry entry) {
  int32_t n;
  if (!FFree.empty()) {
    n = FFree.back();
    FFree.pop_back();
    FNodes[std::size_t(n)] = TNode{};
  } else {
    n = int32_t(FNodes.size());
    FNodes.emplace_back();
  }
  TNode& node = FNodes[std::size_t(n)];
  node.Prio = nextPrio();
  std::size_t rank = RankOf(entry.Key, entry.RecNo);
  bool samePrev = FUnique && rank > 0 && CompareKeys(At(rank - 1).Key, entry.Key) == 0;
  bool sameNext = FUnique && rank < Size() && CompareKeys(At(rank).Key, entry.Key) == 0;
  node.E = std::move(entry);
  node.First = !samePrev;
  update(n);
  FRoot = insert(FRoot, n);
  if (FUnique && !samePrev && sameNext) setFirst(rank + 1, false);
}

int32_t TOrderTree::merge(int32_t a, int32_t b) {
  if (a < 0) return b;
  if (b < 0) return a;
  if (FNodes[std::size_t(a)].Prio > FNodes[std::size_t(b)].Prio) {
    int32_t r = merge(FNodes[std::size_t(a)].R, b);
    FNodes[std::size_t(a)].R = r;
    update(a);
    return a;
  }
  int32_t l = merge(a, FNodes[std::size_t(b)].L);
  FNodes[std::size_t(b)].L = l;
  update(b);
  return b;
}

int32_t TOrderTree::erase(int32_t t, const TKey& key, uint32_t recNo, bool& found) {
  if (t < 0) return -1;
  TNode& n = FNodes[std::size_t(t)];
  int c = CompareEntries(key, recNo, n.E.Key, n.E.RecNo);
  if (c == 0) {
    found = true;
    int32_t rest = merge(n.L, n.R);
    FFree.push_back(t);
    FNodes[std::size_t(t)].E = TEntry{};
    return rest;
  }
  if (c < 0) {
    int32_t l = erase(n.L, key, recNo, found);
    FNodes[std::size_t(t)].L = l;
  } else {
    int32_t r = erase(n.R, key, recNo, found);
    FNodes[std::size_t(t)].R = r;
  }
  update(t);
  return t;
}

bool TOrderTree::Erase(const TKey& key, uint32_t recNo) {
  std::size_t rank = RankOf(key, recNo);
  if (rank >= Size() || At(rank).RecNo != recNo) return false;
  bool wasFirst = FUnique && Counted(rank, false);
  bool found = false;
  TKey stored = At(rank).Key;  // the key it was filed under
  FRoot = erase(FRoot, stored, recNo, found);
  // The next entry of the same key takes the place of the first one.
  if (wasFirst && rank < Size() && CompareKeys(At(rank).Key, stored) == 0) setFirst(rank, true);
  return found;
}

const TOrderTree::TEntry& TOrderTree::At(std::size_t rank) const {
  int32_t t = FRoot;
  for (;;) {
    std::size_t l = size(FNodes[std::size_t(t)].L);
    if (rank < l) {
      t = FNodes[std::size_t(t)].L;
    } else if (rank == l) {
      return FNodes[std::size_t(t)].E;
    } else {
      rank -= l + 1;
      t = FNodes[std::size_t(t)].R;
    }
  }
}

void TOrderTree::setFirst(std::size_t rank, bool first) {
  std::vector<int32_t> path;
  int32_t t = FRoot;
  for (;;) {
    path.push_back(t);
    std::size_t l = size(FNodes[std::size_t(t)].L);
    if (rank < l) {
      t = FNodes[std::size_t(t)].L;
    } else if (rank == l) {
      break;
    } else {
      rank -= l + 1;
      t = FNodes[std::size_t(t)].R;
    }
  }
  FNodes[std::size_t(t)].First = first;
  for (auto it = path.rbegin(); it != path.rend(); ++it) update(*it);
}

std::size_t TOrderTree::RankOf(const TKey& key, uint32_t recNo) const {
  return PartitionPoint([&](const TEntry& e) { return less(e, key, recNo); });
}

bool TOrderTree::Counted(std::size_t rank, bool live) const {
  const TEntry& e = At(rank);
  if (live && e.Deleted) return false;
  return !FUnique || rank == 0 || CompareKeys(At(rank - 1).Key, e.Key) != 0;
}

std::size_t TOrderTree::CountBefore(std::size_t rank, bool live) const {
  std::size_t n = 0;
  for (int32_t t = FRoot; t >= 0 && rank > 0;) {
    const TNode& node = FNodes[std::size_t(t)];
    std::size_t l = size(node.L);
    if (rank <= l) {
      t = node.L;
    } else {
      n += counted(node.L, live) + (node.First && !(live && node.E.Deleted) ? 1 : 0);
      rank -= l + 1;
      t = node.R;
    }
  }
  return n;
}

std::size_t TOrderTree::SelectCounted(std::size_t k, bool live) const {
  if (k >= CountedTotal(live)) return npos;
  std::size_t rank = 0;
  for (int32_t t = FRoot; t >= 0;) {
    const TNode& node = FNodes[std::size_t(t)];
    std::size_t l = counted(node.L, live);
    if (k < l) {
      t = node.L;
      continue;
    }
    bool self = node.First && !(live && node.E.Deleted);
    if (self && k == l) return rank + size(node.L);
    k -= l + (self ? 1 : 0);
    rank += size(node.L) + 1;
    t = node.R;
  }
  return npos;
}

}  // namespace xbe
