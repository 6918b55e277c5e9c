#include "office/XLSUtils.h"

#include <array>
#include <cstdio>
#include <memory>

#include "platform/rtl/Exceptions.h"

const uint32_t* XLSCrcTable() {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  return table.data();
}

uint32_t WideHash(const XLSWideString& text) {
  const uint32_t* t = XLSCrcTable();
  uint32_t h = 0xFFFFFFFFu;
  for (char16_t u : text) {
    if (u > 255) h = (h >> 8) ^ t[((u >> 8) ^ h) & 0xFF];
    h = (h >> 8) ^ t[(u ^ h) & 0xFF];
  }
  return h;
}

TXLSCustomStrBucketList::~TXLSCustomStrBucketList() {
  // Destruction must not throw, and a lock only guards changes by callers.
  try {
    clearItems();
  } catch (...) {
  }
}

int32_t TXLSCustomStrBucketList::Add(const XLSWideString& text, int32_t data) {
  if (FLocked) throw EListError("Bucket List Locked");
  int bucket = 0, index = 0;
  if (Find(text, bucket, index)) throw EListError("Duplicate Item");
  AddItem(bucket, text, data);
  return data;
}

bool TXLSCustomStrBucketList::Find(const XLSWideString& text, int& bucket, int& index) const {
  bucket = BucketFor(text);
  const TBucket& b = FBuckets.at(bucket);
  for (int i = 0; i < b.Count; ++i)
    if (b.Items[i].Text == text) {
      index = i;
      return true;
    }
  return false;
}

void TXLSCustomStrBucketList::AddItem(int bucket, const XLSWideString& text, int32_t data) {
  TBucket& b = FBuckets.at(bucket);
  int length = static_cast<int>(b.Items.size());
  if (b.Count == length) {
    int grow = length < 9 ? 4 : length < 65 ? 16 : length / 4;
    b.Items.resize(length + grow);
  }
  b.Items[b.Count] = TItem{text, data};
  ++b.Count;
}

int32_t TXLSCustomStrBucketList::DeleteItem(int bucket, int index) {
  TBucket& b = FBuckets.at(bucket);
  if (index < 0 || index >= b.Count) throw EListError("List index out of bounds (%d)", {index});
  int32_t data = b.Items[index].Data;
  if (FClearing) return data;
  if (b.Count == 1) {
    b.Items = {};
  } else {
    for (int i = index; i + 1 < b.Count; ++i) b.Items[i] = std::move(b.Items[i + 1]);
    b.Items[b.Count - 1] = TItem{};
  }
  --b.Count;
  return data;
}

void TXLSCustomStrBucketList::Clear() {
  if (FLocked) throw EListError("Bucket List Locked");
  clearItems();
}

void TXLSCustomStrBucketList::clearItems() {
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{FClearing};
  FClearing = true;
  for (int bucket = 0; bucket < BucketCount(); ++bucket) {
    for (int i = FBuckets[bucket].Count - 1; i >= 0; --i) DeleteItem(bucket, i);
    FBuckets[bucket] = TBucket{};
  }
}

void TXLSCustomStrBucketList::SetBucketCount(int n) {
  if (n != BucketCount()) FBuckets.resize(n);
}

const XLSWideString& TXLSCustomStrBucketList::ItemText(int bucket, int index) const {
  const TBucket& b = FBuckets.at(bucket);
  if (index < 0 || index >= b.Count) throw EListError("List index out of bounds (%d)", {index});
  return b.Items[index].Text;
}

int32_t TXLSCustomStrBucketList::ItemData(int bucket, int index) const {
  ItemText(bucket, index);
  return FBuckets[bucket].Items[index].Data;
}

TXLSStringBucketList::TXLSStringBucketList() { SetBucketCount(256); }

TXLSStringBucketList* TXLSStringBucketList::CreateFrom(const std::vector<XLSWideString>& strings) {
  auto list = std::make_unique<TXLSStringBucketList>();
  for (size_t i = 0; i < strings.size(); ++i) list->Add(strings[i], static_cast<int32_t>(i));
  return list.release();
}

int TXLSStringBucketList::BucketFor(const XLSWideString& text) const {
  return static_cast<int>(WideHash(text) % FDivisor);
}

const char* const XLSFallbackIdentifier = "F7071B82_9A37_4511_8CCF_CAE74A4D0C99";

namespace {
constexpr size_t DosHeaderSize = 64;
constexpr size_t DosNewHeaderOffset = 60;
constexpr size_t NtHeadersSize = 248;
constexpr size_t TimeDateStampOffset = 8;
constexpr size_t SizeOfImageOffset = 80;

uint32_t le32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
}  // namespace

AnsiString ReadProgramIdentifier(const AnsiString& fileName) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(fileName.c_str(), "rb"), &std::fclose);
  if (!f) return XLSFallbackIdentifier;
  unsigned char dos[DosHeaderSize];
  // A header cut short is as good as none that could be read.
  if (std::fread(dos, 1, sizeof dos, f.get()) != sizeof dos) return XLSFallbackIdentifier;
  if (dos[0] != 'M' || dos[1] != 'Z') return "";
  unsigned char nt[NtHeadersSize];
  if (std::fseek(f.get(), static_cast<long>(le32(dos + DosNewHeaderOffset)), SEEK_SET) != 0 ||
      std::fread(nt, 1, sizeof nt, f.get()) != sizeof nt)
    return XLSFallbackIdentifier;
  char text[17];
  std::snprintf(text, sizeof text, "%.8X%.8X", le32(nt + TimeDateStampOffset), le32(nt + SizeOfImageOffset));
  return text;
}
