// Utilities of the spreadsheet-file layer: the CRC-32 hash of wide strings, the bucketed hash list
// of wide strings, and the identifier taken from the program file's header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/AnsiString.h"

// Wide strings here are UTF-16 code units, as the hash reads them.
using XLSWideString = std::u16string;

// The reflected CRC-32 table (polynomial 0xEDB88320).
const uint32_t* XLSCrcTable();

// CRC-32 run over the code units, high byte first for units above 255; no final inversion.
uint32_t WideHash(const XLSWideString& text);

class TXLSCustomStrBucketList {
public:
  TXLSCustomStrBucketList() = default;
  TXLSCustomStrBucketList(const TXLSCustomStrBucketList&) = delete;
  TXLSCustomStrBucketList& operator=(const TXLSCustomStrBucketList&) = delete;
  // Frees the items whatever the lock: a locked list still owns them.
  virtual ~TXLSCustomStrBucketList();

  // Raises EListError "Bucket List Locked" or "Duplicate Item"; returns data.
  int32_t Add(const XLSWideString& text, int32_t data);
  // Raises EListError "Bucket List Locked".
  void Clear();
  virtual bool Find(const XLSWideString& text, int& bucket, int& index) const;

  int BucketCount() const { return static_cast<int>(FBuckets.size()); }
  void SetBucketCount(int n);
  bool Locked() const { return FLocked; }
  void SetLocked(bool v) { FLocked = v; }

  // What a bucket holds: Capacity is the length of its item array, Count the items in use.
  int BucketItemCount(int bucket) const { return FBuckets.at(bucket).Count; }
  int BucketCapacity(int bucket) const { return static_cast<int>(FBuckets.at(bucket).Items.size()); }
  const XLSWideString& ItemText(int bucket, int index) const;
  int32_t ItemData(int bucket, int index) const;

  virtual int BucketFor(const XLSWideString& text) const = 0;

protected:
  virtual void AddItem(int bucket, const XLSWideString& text, int32_t data);
  virtual int32_t DeleteItem(int bucket, int index);

private:
  struct TItem {
    XLSWideString Text;
    int32_t Data = 0;
  };
  struct TBucket {
    std::vector<TItem> Items;
    int Count = 0;
  };
  void clearItems();
  std::vector<TBucket> FBuckets;
  bool FLocked = false;
  bool FClearing = false;
};

class TXLSStringBucketList : public TXLSCustomStrBucketList {
public:
  TXLSStringBucketList();
  // Each string with its index as data.
  static TXLSStringBucketList* CreateFrom(const std::vector<XLSWideString>& strings);
  int BucketFor(const XLSWideString& text) const override;

private:
  // 256 buckets are made but the divisor leaves the last one unused.
  uint32_t FDivisor = 255;
};

// The identifier string of a program file: its link time stamp and image size as sixteen
// upper-case hexadecimal digits; empty when the file has no such header; the fixed fallback
// identifier when the file cannot be read whole.
AnsiString ReadProgramIdentifier(const AnsiString& fileName);
extern const char* const XLSFallbackIdentifier;
