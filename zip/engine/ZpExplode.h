// Method 6, implode: Shannon-Fano coded literals, lengths and distances over an 8 or 4 KB window.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "zip/engine/ZpOldMethodDecoder.h"

class TZpExploder final : public TZpOldMethodDecoder {
public:
  explicit TZpExploder(TZpUnzipHelper& owner);
  void Run(int dictionarySize, int treeCount);

private:
  // A Shannon-Fano tree as a binary trie; children index nodes, negative values are symbols.
  struct TTree {
    std::vector<std::array<int32_t, 2>> Nodes{std::array<int32_t, 2>{0, 0}};
  };

  void ReadTree(TTree& tree, int size);
  void Insert(TTree& tree, uint32_t code, int len, int sym);
  // The stream holds each code's bits inverted, first bit first.
  int Decode(const TTree& tree);
};
