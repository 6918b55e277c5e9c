// A stream held in 4096-byte pages in memory up to a limit, the least recently used pages moved
// to a temporary swap file beyond it, so an archive being rebuilt needs bounded memory.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/Streams.h"

class TZpVirtualMemoryStream final : public TStream {
public:
  static constexpr int PageSize = 4096;
  static constexpr int MaxPagesLimit = 256;

  TZpVirtualMemoryStream();
  ~TZpVirtualMemoryStream() override;
  TZpVirtualMemoryStream(const TZpVirtualMemoryStream&) = delete;
  TZpVirtualMemoryStream& operator=(const TZpVirtualMemoryStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  // Origins 0, 1, 2; another raises EZpVMSInvalidOrigin, a negative result EStreamError.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return FSize; }
  void SetSize(int64_t newSize) override;

  int MaxMemToUse() const { return FMaxPages * PageSize; }
  void SetMaxMemToUse(int bytes);
  int MaxPages() const { return FMaxPages; }
  int PagesInMemory() const { return int(FPages.size()); }
  const AnsiString& SwapFileDir() const { return FSwapFileDir; }
  void SetSwapFileDir(const AnsiString& dir) { FSwapFileDir = dir; }
  const AnsiString& SwapFileName() const { return FSwapFileName; }
  int64_t SwapFileSize() const { return FSwapFileSize; }

private:
  struct TPage {
    int64_t Offset = 0;
    int32_t LastUse = 0;
    bool Dirty = false;
    std::array<uint8_t, PageSize> Data{};
  };

  TPage& PageFor(int64_t position);
  std::size_t IndexOf(int64_t offset, bool& found) const;
  void Touch(TPage& page);
  std::size_t LeastRecentlyUsed() const;
  void SwapOut(TPage& page);
  void SwapIn(TPage& page);
  void OpenSwapFile();

  std::vector<std::unique_ptr<TPage>> FPages;  // ordered by offset
  TPage* FCurrent = nullptr;
  int64_t FPosition = 0;
  int64_t FSize = 0;
  int FMaxPages = 0;
  int32_t FUseCounter = 0;
  AnsiString FSwapFileDir;
  AnsiString FSwapFileName;
  std::unique_ptr<TFileStream> FSwapFile;
  int64_t FSwapFileSize = 0;
};
