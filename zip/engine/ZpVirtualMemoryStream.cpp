#include "zip/engine/ZpVirtualMemoryStream.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/rtl/Files.h"
#include "zip/engine/ZpExceptions.h"
#include "zip/engine/ZpUtils.h"

TZpVirtualMemoryStream::TZpVirtualMemoryStream() {
  auto first = std::make_unique<TPage>();
  FCurrent = first.get();
  FPages.push_back(std::move(first));
  SetMaxMemToUse(102400);
}

TZpVirtualMemoryStream::~TZpVirtualMemoryStream() {
  FSwapFile.reset();
  if (!FSwapFileName.empty()) DeleteFile(FSwapFileName);
}

void TZpVirtualMemoryStream::SetMaxMemToUse(int bytes) {
  FMaxPages = std::clamp((std::max(bytes, 0) + PageSize - 1) / PageSize, 1, MaxPagesLimit);
  while (int(FPages.size()) > FMaxPages) {
    std::size_t victim = LeastRecentlyUsed();
    if (FPages[victim]->Dirty) SwapOut(*FPages[victim]);
    if (FCurrent == FPages[victim].get()) FCurrent = nullptr;
    FPages.erase(FPages.begin() + std::ptrdiff_t(victim));
  }
}

void TZpVirtualMemoryStream::Touch(TPage& page) {
  if (FUseCounter == INT32_MAX) {
    for (auto& p : FPages) p->LastUse = 0;
    FUseCounter = 0;
  }
  page.LastUse = ++FUseCounter;
}

std::size_t TZpVirtualMemoryStream::IndexOf(int64_t offset, bool& found) const {
  auto it = std::lower_bound(FPages.begin(), FPages.end(), offset,
                             [](const std::unique_ptr<TPage>& p, int64_t o) { return p->Offset < o; });
  found = it != FPages.end() && (*it)->Offset == offset;
  return std::size_t(it - FPages.begin());
}

std::size_t TZpVirtualMemoryStream::LeastRecentlyUsed() const {
  std::size_t best = 0;
  for (std::size_t i = 1; i < FPages.size(); ++i)
    if (FPages[i]->LastUse < FPages[best]->LastUse) best = i;
  return best;
}

void TZpVirtualMemoryStream::OpenSwapFile() {
  AnsiString name = ZpTempFileName(FSwapFileDir);
  try {
    if (name.empty()) throw EZpVMSErrorOpenSwap(name);
    FSwapFile = std::make_unique<TFileStream>(name, fmOpenReadWrite);
  } catch (const EZpException&) {
    throw;
  } catch (const Exception&) {
    DeleteFile(name);
    throw EZpVMSErrorOpenSwap(name);
  }
  FSwapFileName = name;
  FSwapFileSize = 0;
}

void TZpVirtualMemoryStream::SwapOut(TPage& page) {
  if (!FSwapFile) OpenSwapFile();
  if (FSwapFile->Seek(page.Offset, soFromBeginning) != page.Offset) throw EZpVMSSeekFail(FSwapFileName);
  if (FSwapFile->Write(page.Data.data(), PageSize) != PageSize) throw EZpVMSWriteFail(PageSize, FSwapFileName);
  FSwapFileSize = std::max(FSwapFileSize, page.Offset + PageSize);
  page.Dirty = false;
}

void TZpVirtualMemoryStream::SwapIn(TPage& page) {
  if (FSwapFile->Seek(page.Offset, soFromBeginning) != page.Offset) throw EZpVMSSeekFail(FSwapFileName);
  if (FSwapFile->Read(page.Data.data(), PageSize) != PageSize) throw EZpVMSReadFail(PageSize, FSwapFileName);
}

TZpVirtualMemoryStream::TPage& TZpVirtualMemoryStream::PageFor(int64_t position) {
  int64_t offset = position - position % PageSize;
  if (FCurrent && FCurrent->Offset == offset) return *FCurrent;
  bool found = false;
  std::size_t at = IndexOf(offset, found);
  if (found) {
    FCurrent = FPages[at].get();
    Touch(*FCurrent);
    return *FCurrent;
  }
  std::unique_ptr<TPage> page;
  if (int(FPages.size()) < FMaxPages) {
    page = std::make_unique<TPage>();
  } else {
    std::size_t victim = LeastRecentlyUsed();
    if (FPages[victim]->Dirty) SwapOut(*FPages[victim]);
    page = std::move(FPages[victim]);
    FPages.erase(FPages.begin() + std::ptrdiff_t(victim));
    if (FCurrent == page.get()) FCurrent = nullptr;
  }
  page->Offset = offset;
  page->Dirty = false;
  Touch(*page);
  if (FSwapFile && offset < FSwapFileSize) SwapIn(*page);
  else page->Data.fill(0);
  at = IndexOf(offset, found);
  FCurrent = page.get();
  FPages.insert(FPages.begin() + std::ptrdiff_t(at), std::move(page));
  return *FCurrent;
}

int64_t TZpVirtualMemoryStream::Read(void* buffer, int64_t count) {
  count = std::max<int64_t>(0, std::min(count, FSize - FPosition));
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    TPage& page = PageFor(FPosition);
    int64_t within = FPosition - page.Offset;
    int64_t n = std::min<int64_t>(count - done, PageSize - within);
    std::memcpy(out + done, page.Data.data() + within, std::size_t(n));
    done += n;
    FPosition += n;
  }
  return done;
}

int64_t TZpVirtualMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  auto* in = static_cast<const uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    TPage& page = PageFor(FPosition);
    int64_t within = FPosition - page.Offset;
    int64_t n = std::min<int64_t>(count - done, PageSize - within);
    std::memcpy(page.Data.data() + within, in + done, std::size_t(n));
    page.Dirty = true;
    done += n;
    FPosition += n;
    if (FPosition > FSize) FSize = FPosition;
  }
  return done;
}

int64_t TZpVirtualMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t target;
  switch (int(origin)) {
    case soFromBeginning: target = offset; break;
    case soFromCurrent: target = FPosition + offset; break;
    case soFromEnd: target = FSize + offset; break;
    default: throw EZpVMSInvalidOrigin(int(origin));
  }
  if (target < 0) throw EStreamError("Negative stream position");
  FPosition = target;
  return FPosition;
}

void TZpVirtualMemoryStream::SetSize(int64_t newSize) {
  if (newSize < 0) throw EStreamError("Negative stream size");
  if (newSize < FSize) {
    int64_t keepEnd = (newSize + PageSize - 1) / PageSize * PageSize;
    for (std::size_t i = FPages.size(); i-- > 0;) {
      if (FPages[i]->Offset >= newSize) {
        if (FCurrent == FPages[i].get()) FCurrent = nullptr;
        FPages.erase(FPages.begin() + std::ptrdiff_t(i));
      }
    }
    if (FSwapFileSize > keepEnd) FSwapFileSize = keepEnd;
    // The page that now holds the end must read as zeros past it when the stream grows again.
    if (newSize % PageSize != 0) {
      TPage& page = PageFor(newSize);
      int64_t within = newSize - page.Offset;
      std::memset(page.Data.data() + within, 0, std::size_t(PageSize - within));
      page.Dirty = true;
    }
  }
  FSize = newSize;
  if (FPosition > FSize) FPosition = FSize;
}
