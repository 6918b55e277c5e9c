#include "platform/rtl/Streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "platform/rtl/Exceptions.h"

int64_t TStream::Size() {
  int64_t pos = Seek(0, soFromCurrent);
  int64_t end = Seek(0, soFromEnd);
  Seek(pos, soFromBeginning);
  return end;
}

void TStream::SetSize(int64_t) {}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  constexpr int64_t kBuf = 1 << 16;
  std::vector<uint8_t> buf(static_cast<std::size_t>(std::min(count, kBuf)) + 1);
  int64_t left = count;
  while (left > 0) {
    int64_t n = std::min(left, kBuf);
    source.ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    left -= n;
  }
  return count;
}

namespace {

// Files open in this process, with their access and share modes, keyed by device and inode.
struct OpenEntry {
  bool read, write;
  bool denyRead, denyWrite;
};
std::multimap<uint64_t, OpenEntry>& openFiles() {
  static std::multimap<uint64_t, OpenEntry> m;
  return m;
}

uint64_t keyOf(const struct stat& st) {
  return (static_cast<uint64_t>(st.st_dev) << 40) ^ static_cast<uint64_t>(st.st_ino);
}

OpenEntry entryFor(uint32_t mode) {
  OpenEntry e{};
  if (mode == fmCreate) return {true, true, true, true};
  uint32_t access = mode & 0x3;
  e.read = access == fmOpenRead || access == fmOpenReadWrite;
  e.write = access == fmOpenWrite || access == fmOpenReadWrite;
  switch (mode & 0xF0) {
    case fmShareExclusive: e.denyRead = e.denyWrite = true; break;
    case fmShareDenyWrite: e.denyWrite = true; break;
    case fmShareDenyRead: e.denyRead = true; break;
    default: break;
  }
  return e;
}

bool conflicts(uint64_t key, const OpenEntry& n) {
  auto [lo, hi] = openFiles().equal_range(key);
  for (auto it = lo; it != hi; ++it) {
    const OpenEntry& e = it->second;
    if ((n.write && e.denyWrite) || (n.read && e.denyRead) || (e.write && n.denyWrite) ||
        (e.read && n.denyRead))
      return true;
  }
  return false;
}

}  // namespace

TFileStream::TFileStream(const AnsiString& fileName, uint32_t mode) : FFileName(fileName) {
  OpenEntry want = entryFor(mode);
  bool create = mode == fmCreate;
  struct stat st{};
  if (create) {
    // Refuse before truncating: a file held open here must never be cut by a create.
    if (::stat(fileName.c_str(), &st) == 0 && conflicts(keyOf(st), want))
      throw EFCreateError::ForFile(fileName);
    FHandle = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (FHandle < 0) throw EFCreateError::ForFile(fileName);
  } else {
    int flags = want.read && want.write ? O_RDWR : (want.write ? O_WRONLY : O_RDONLY);
    FHandle = ::open(fileName.c_str(), flags | O_CLOEXEC);
    if (FHandle < 0) throw EFOpenError::ForFile(fileName);
  }
  if (::fstat(FHandle, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(FHandle);
    FHandle = -1;
    if (create) throw EFCreateError::ForFile(fileName);
    throw EFOpenError::ForFile(fileName);
  }
  FShareKey = keyOf(st);
  FRegular = S_ISREG(st.st_mode);
  if (!create && conflicts(FShareKey, want)) {
    ::close(FHandle);
    FHandle = -1;
    throw EFOpenError::ForFile(fileName);
  }
  openFiles().emplace(FShareKey, want);
}

TFileStream::TFileStream(const AnsiString& fileName, int handle) : FFileName(fileName), FHandle(handle) {
  struct stat st{};
  if (::fstat(FHandle, &st) != 0) {
    ::close(FHandle);
    FHandle = -1;
    throw EFCreateError::ForFile(fileName);
  }
  FShareKey = keyOf(st);
  FRegular = S_ISREG(st.st_mode);
  openFiles().emplace(FShareKey, entryFor(fmCreate));
}

TFileStream::~TFileStream() {
  if (FHandle < 0) return;
  auto [lo, hi] = openFiles().equal_range(FShareKey);
  if (lo != hi) openFiles().erase(lo);
  ::close(FHandle);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  int64_t done = 0;
  auto* p = static_cast<uint8_t*>(buffer);
  while (done < count) {
    ssize_t n = ::read(FHandle, p + done, static_cast<std::size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
    // A regular file reads short only at its end: asking again would only return 0.
    if (FRegular && done < count) break;
  }
  FPosition += done;
  return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  int64_t done = 0;
  auto* p = static_cast<const uint8_t*>(buffer);
  while (done < count) {
    ssize_t n = ::write(FHandle, p + done, static_cast<std::size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  FPosition += done;
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (origin == soFromCurrent) {
    if (offset == 0) return FPosition;
    offset += FPosition;
    origin = soFromBeginning;
  }
  if (origin == soFromBeginning && offset == FPosition) return FPosition;
  int whence = origin == soFromBeginning ? SEEK_SET : SEEK_END;
  off_t r = ::lseek(FHandle, static_cast<off_t>(offset), whence);
  if (r < 0) return -1;
  FPosition = static_cast<int64_t>(r);
  return FPosition;
}

int64_t TFileStream::Size() {
  struct stat st{};
  if (::fstat(FHandle, &st) == 0 && S_ISREG(st.st_mode)) return static_cast<int64_t>(st.st_size);
  return TStream::Size();
}

void TFileStream::SetSize(int64_t newSize) {
  int64_t pos = Position();
  if (::ftruncate(FHandle, static_cast<off_t>(newSize)) != 0) throw EWriteError("Stream write error");
  if (pos > newSize) Seek(newSize, soFromBeginning);
}

int64_t TCustomMemoryStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || FPosition >= Size()) return 0;
  int64_t n = std::min(count, Size() - FPosition);
  std::memcpy(buffer, FData.data() + FPosition, static_cast<std::size_t>(n));
  FPosition += n;
  return n;
}

int64_t TCustomMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == soFromBeginning ? 0 : (origin == soFromCurrent ? FPosition : Size());
  int64_t p = base + offset;
  if (p < 0) return -1;
  FPosition = p;
  return FPosition;
}

void TCustomMemoryStream::SaveToStream(TStream& s) const {
  s.WriteBuffer(FData.data(), static_cast<int64_t>(FData.size()));
}

void TCustomMemoryStream::SaveToFile(const AnsiString& fileName) const {
  TFileStream f(fileName, fmCreate);
  SaveToStream(f);
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  int64_t end = FPosition + count;
  if (end > Size()) FData.resize(static_cast<std::size_t>(end));
  std::memcpy(FData.data() + FPosition, buffer, static_cast<std::size_t>(count));
  FPosition = end;
  return count;
}

void TMemoryStream::SetSize(int64_t newSize) {
  FData.resize(static_cast<std::size_t>(std::max<int64_t>(0, newSize)));
  if (FPosition > newSize) FPosition = newSize;
}

void TMemoryStream::LoadFromStream(TStream& s) {
  s.SetPosition(0);
  int64_t n = s.Size();
  SetSize(n);
  s.ReadBuffer(FData.data(), n);
  FPosition = 0;
}

void TMemoryStream::LoadFromFile(const AnsiString& fileName) {
  TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(f);
}

int64_t TStringStream::Read(void* buffer, int64_t count) {
  int64_t size = static_cast<int64_t>(FData.size());
  if (count <= 0 || FPosition >= size) return 0;
  int64_t n = std::min(count, size - FPosition);
  std::memcpy(buffer, FData.data() + FPosition, static_cast<std::size_t>(n));
  FPosition += n;
  return n;
}

int64_t TStringStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  int64_t end = FPosition + count;
  if (end > static_cast<int64_t>(FData.size())) FData.resize(static_cast<std::size_t>(end));
  std::memcpy(FData.data() + FPosition, buffer, static_cast<std::size_t>(count));
  FPosition = end;
  return count;
}

int64_t TStringStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t size = static_cast<int64_t>(FData.size());
  int64_t base = origin == soFromBeginning ? 0 : (origin == soFromCurrent ? FPosition : size);
  int64_t p = std::clamp<int64_t>(base + offset, 0, size);
  FPosition = p;
  return FPosition;
}

void TStringStream::SetSize(int64_t newSize) {
  FData.resize(static_cast<std::size_t>(std::max<int64_t>(0, newSize)));
  FPosition = std::min<int64_t>(FPosition, newSize);
}

AnsiString TStringStream::ReadString(int64_t count) {
  AnsiString r(static_cast<std::size_t>(std::max<int64_t>(0, count)), '\0');
  r.resize(static_cast<std::size_t>(Read(r.data(), count)));
  return r;
}
