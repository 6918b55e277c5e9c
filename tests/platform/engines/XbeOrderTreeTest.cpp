// The counted treap against a sorted list, through random inserts and erases.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/engines/xbe/XbeOrderTree.h"

namespace {

using xbe::TKey;
using xbe::TOrderTree;

TEST(XbeOrderTree, AgreesWithASortedListThroughRandomChanges) {
  for (bool unique : {false, true}) {
    std::mt19937 rng(7);
    TOrderTree tree(unique);
    std::vector<TOrderTree::TEntry> list;
    auto before = [](const TOrderTree::TEntry& a, const TOrderTree::TEntry& b) {
      int c = xbe::CompareKeys(a.Key, b.Key);
      return c < 0 || (c == 0 && a.RecNo < b.RecNo);
    };
    std::vector<TOrderTree::TEntry> start;
    for (uint32_t r = 1; r <= 200; ++r) start.push_back({TKey{false, 0, std::string(1, char('a' + rng() % 20))}, r, rng() % 4 == 0});
    tree.Build(start);
    list = start;
    std::sort(list.begin(), list.end(), before);
    uint32_t next = 201;
    for (int step = 0; step < 3000; ++step) {
      if (rng() % 2 && !list.empty()) {
        std::size_t i = rng() % list.size();
        ASSERT_TRUE(tree.Erase(list[i].Key, list[i].RecNo));
        list.erase(list.begin() + long(i));
      } else {
        TOrderTree::TEntry e{TKey{false, 0, std::string(1, char('a' + rng() % 20))}, next++, rng() % 4 == 0};
        tree.Insert(e);
        list.insert(std::upper_bound(list.begin(), list.end(), e, before), e);
      }
      if (step % 100) continue;
      ASSERT_EQ(tree.Size(), list.size());
      for (bool live : {false, true}) {
        std::vector<std::size_t> counted;
        for (std::size_t i = 0; i < list.size(); ++i)
          if (!(live && list[i].Deleted) && (!unique || i == 0 || list[i - 1].Key.Str != list[i].Key.Str)) counted.push_back(i);
        ASSERT_EQ(tree.CountedTotal(live), counted.size()) << unique << live;
        for (std::size_t k = 0; k < counted.size(); ++k) ASSERT_EQ(tree.SelectCounted(k, live), counted[k]);
        for (std::size_t i = 0; i <= list.size(); i += 7)
          ASSERT_EQ(tree.CountBefore(i, live), std::size_t(std::lower_bound(counted.begin(), counted.end(), i) - counted.begin()));
      }
      for (std::size_t i = 0; i < list.size(); ++i) ASSERT_EQ(tree.At(i).RecNo, list[i].RecNo);
      std::string k = "k";
      auto pp = tree.PartitionPoint([&](const TOrderTree::TEntry& e) { return e.Key.Str < k; });
      ASSERT_EQ(pp, std::size_t(std::count_if(list.begin(), list.end(), [&](const auto& e) { return e.Key.Str < k; })));
    }
  }
}

// Many text keys at once: keys that share their first eight bytes, differ only by the blanks that
// pad them, or hold bytes above 127, and equal keys whose record numbers come in any order.
TEST(XbeOrderTree, ABuildOfManyTextKeysSortsAsTheComparisonDoes) {
  const char* stems[] = {"", "ab", "ab  ", "abcdefgh1", "abcdefgh2", "abcdefgh", "abcdefgh ", "\xE9t\xE9", "N0001234", "a"};
  std::mt19937 rng(11);
  std::vector<TOrderTree::TEntry> entries;
  for (uint32_t i = 0; i < 20000; ++i)
    entries.push_back({TKey{false, 0, std::string(stems[rng() % 10]) + (rng() % 3 ? "" : std::to_string(rng() % 50))},
                       uint32_t(rng()), false});
  std::vector<TOrderTree::TEntry> list = entries;
  std::sort(list.begin(), list.end(), [](const TOrderTree::TEntry& a, const TOrderTree::TEntry& b) {
    int c = xbe::CompareKeys(a.Key, b.Key);
    return c < 0 || (c == 0 && a.RecNo < b.RecNo);
  });
  TOrderTree tree;
  tree.Build(entries);
  ASSERT_EQ(tree.Size(), list.size());
  for (std::size_t i = 0; i < list.size(); ++i) ASSERT_EQ(tree.At(i).RecNo, list[i].RecNo) << i;
}

}  // namespace
