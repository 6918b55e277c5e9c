#include "zip/engine/ZpHuffmanCodes.h"

#include <algorithm>

using namespace ZpDeflate;

// Optimal code lengths limited to maxBits (minimum-redundancy in place, then a Kraft repair).
void ZpBuildCodeLengths(const uint32_t* freq, int n, int maxBits, uint8_t* lengths) {
  struct TSym {
    uint32_t Key;
    uint16_t Sym;
  };
  TSym a[LengthCodes + 2];
  int m = 0;
  for (int i = 0; i < n; ++i) {
    lengths[i] = 0;
    if (freq[i]) a[m++] = {freq[i], static_cast<uint16_t>(i)};
  }
  if (m == 0) return;
  std::sort(a, a + m, [](const TSym& x, const TSym& y) { return x.Key < y.Key || (x.Key == y.Key && x.Sym < y.Sym); });
  if (m == 1) {
    lengths[a[0].Sym] = 1;
    return;
  }
  // Moffat-Katajainen: turn sorted weights into code lengths in place.
  a[0].Key += a[1].Key;
  int root = 0, leaf = 2;
  for (int next = 1; next < m - 1; ++next) {
    if (leaf >= m || a[root].Key < a[leaf].Key) {
      a[next].Key = a[root].Key;
      a[root++].Key = static_cast<uint32_t>(next);
    } else {
      a[next].Key = a[leaf++].Key;
    }
    if (leaf >= m || (root < next && a[root].Key < a[leaf].Key)) {
      a[next].Key += a[root].Key;
      a[root++].Key = static_cast<uint32_t>(next);
    } else {
      a[next].Key += a[leaf++].Key;
    }
  }
  a[m - 2].Key = 0;
  for (int next = m - 3; next >= 0; --next) a[next].Key = a[a[next].Key].Key + 1;
  int avail = 1, used = 0, depth = 0;
  root = m - 2;
  int next = m - 1;
  while (avail > 0) {
    while (root >= 0 && static_cast<int>(a[root].Key) == depth) {
      ++used;
      --root;
    }
    while (avail > used) {
      a[next--].Key = static_cast<uint32_t>(depth);
      --avail;
    }
    avail = 2 * used;
    ++depth;
    used = 0;
  }
  int count[33] = {};
  for (int i = 0; i < m; ++i) count[std::min<uint32_t>(a[i].Key, 32)]++;
  for (int l = maxBits + 1; l <= 32; ++l) {
    count[maxBits] += count[l];
    count[l] = 0;
  }
  uint32_t total = 0;
  for (int l = maxBits; l > 0; --l) total += static_cast<uint32_t>(count[l]) << (maxBits - l);
  while (total != (1u << maxBits)) {
    count[maxBits]--;
    for (int l = maxBits - 1; l > 0; --l)
      if (count[l]) {
        count[l]--;
        count[l + 1] += 2;
        break;
      }
    --total;
  }
  // The most frequent symbols (at the end) take the shortest codes.
  int i = m - 1;
  for (int l = 1; l <= maxBits; ++l)
    for (int k = count[l]; k > 0; --k) lengths[a[i--].Sym] = static_cast<uint8_t>(l);
}

void ZpBuildCodes(const uint8_t* lengths, int n, uint16_t* codes) {
  int count[MaxCodeBits + 1] = {};
  for (int i = 0; i < n; ++i) count[lengths[i]]++;
  count[0] = 0;
  int next[MaxCodeBits + 2] = {};
  int code = 0;
  for (int l = 1; l <= MaxCodeBits; ++l) {
    code = (code + count[l - 1]) << 1;
    next[l] = code;
  }
  for (int i = 0; i < n; ++i)
    codes[i] = lengths[i] ? static_cast<uint16_t>(ReverseBits(static_cast<uint32_t>(next[lengths[i]]++), lengths[i])) : 0;
}

namespace {

TZpFixedCodes MakeFixed() {
  TZpFixedCodes f{};
  for (int i = 0; i < 288; ++i) f.LitLen[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
  for (int i = 0; i < 30; ++i) f.DistLen[i] = 5;
  ZpBuildCodes(f.LitLen, 288, f.LitCode);
  ZpBuildCodes(f.DistLen, 30, f.DistCode);
  return f;
}

}  // namespace

const TZpFixedCodes& ZpFixedCodes() {
  static const TZpFixedCodes f = MakeFixed();
  return f;
}

