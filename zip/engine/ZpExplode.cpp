#include "zip/engine/ZpExplode.h"

#include <algorithm>

TZpExploder::TZpExploder(TZpUnzipHelper& owner) : TZpOldMethodDecoder(owner, true) {}

void TZpExploder::Run(int dictionarySize, int treeCount) {
  const bool literalTree = treeCount == 3;
  const int lowBits = dictionarySize == 8192 ? 7 : 6;
  const uint32_t minMatch = literalTree ? 3 : 2;
  TTree literals, lengths, distances;
  if (literalTree) ReadTree(literals, 256);
  ReadTree(lengths, 64);
  ReadTree(distances, 64);
  while (Left() > 0) {
    if (Bits(1)) {
      Put(literalTree ? static_cast<uint8_t>(Decode(literals)) : static_cast<uint8_t>(Bits(8)));
      continue;
    }
    const uint32_t low = Bits(lowBits);
    const uint32_t distance = ((static_cast<uint32_t>(Decode(distances)) << lowBits) | low) + 1;
    uint32_t length = static_cast<uint32_t>(Decode(lengths));
    if (length == 63) length += Bits(8);
    length += minMatch;
    CopyBack(distance, length);
  }
  Flush();
}

void TZpExploder::ReadTree(TTree& tree, int size) {
  uint8_t lens[256];
  const int bytes = static_cast<int>(Bits(8)) + 1;
  int n = 0;
  for (int i = 0; i < bytes; ++i) {
    const uint32_t b = Bits(8);
    const int len = static_cast<int>(b & 0x0F) + 1;
    const int count = static_cast<int>(b >> 4) + 1;
    if (n + count > size) BadData();
    for (int k = 0; k < count; ++k) lens[n++] = static_cast<uint8_t>(len);
  }
  if (n != size) BadData();
  // Codes go to the longest lengths first, counting up from zero in the top bits of 16.
  std::vector<int> order(static_cast<std::size_t>(size));
  for (int i = 0; i < size; ++i) order[static_cast<std::size_t>(i)] = i;
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return lens[a] < lens[b]; });
  uint32_t code = 0, increment = 0;
  int lastLen = 0;
  for (int i = size - 1; i >= 0; --i) {
    const int sym = order[static_cast<std::size_t>(i)];
    code += increment;
    if (code > 0xFFFF) BadData();
    if (lens[sym] != lastLen) {
      lastLen = lens[sym];
      increment = 1u << (16 - lastLen);
    }
    Insert(tree, code, lastLen, sym);
  }
}

void TZpExploder::Insert(TTree& tree, uint32_t code, int len, int sym) {
  int32_t node = 0;
  for (int i = 0; i < len; ++i) {
    const int bit = static_cast<int>((code >> (15 - i)) & 1);
    int32_t& child = tree.Nodes[static_cast<std::size_t>(node)][static_cast<std::size_t>(bit)];
    if (i == len - 1) {
      if (child != 0) BadData();
      child = -(sym + 1);
      return;
    }
    if (child < 0) BadData();
    if (child == 0) {
      tree.Nodes.push_back({0, 0});
      // push_back may move the nodes; index again.
      tree.Nodes[static_cast<std::size_t>(node)][static_cast<std::size_t>(bit)] =
          static_cast<int32_t>(tree.Nodes.size() - 1);
    }
    node = tree.Nodes[static_cast<std::size_t>(node)][static_cast<std::size_t>(bit)];
  }
}

int TZpExploder::Decode(const TTree& tree) {
  int32_t node = 0;
  for (int i = 0; i < 16; ++i) {
    const int32_t next = tree.Nodes[static_cast<std::size_t>(node)][Bits(1) ^ 1u];
    if (next < 0) return -next - 1;
    if (next == 0) BadData();
    node = next;
  }
  BadData();
}
