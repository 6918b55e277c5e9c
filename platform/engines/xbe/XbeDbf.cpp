#include "platform/engines/xbe/XbeDbf.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

namespace xbe {

namespace {

constexpr uint8_t kDbfPlain = 0x03;
constexpr uint8_t kDbfWithDbt = 0x83;
constexpr uint8_t kDbfWithFpt = 0xF5;
constexpr char kFieldTerminator = 0x0D;
constexpr char kEndOfData = 0x1A;
constexpr int kHeaderPrefix = 32;
constexpr int kFieldDescriptorSize = 32;
constexpr int kMemoRefWidth = 10;
constexpr uint32_t kMemoHeaderSize = 512;
constexpr uint32_t kDbtBlockSize = 512;
constexpr uint32_t kFptTextBlock = 1;
// The header bytes this engine rewrites: update date, record count, and in the bytes that
// dBASE keeps for multi-user work a counter that every write moves on.
constexpr int kHeaderWritten = 20;
constexpr int kCounterAt = 16;
// Lock bytes lie far beyond any data, so locking never stops a reader.
constexpr off_t kOpenLockOffset = 0x7FFFFFFE;
constexpr off_t kFileLockOffset = 0x7FFFFFFC;
constexpr off_t kRecordLockBase = 0x40000000;
// The file's own lock is held for a few writes at most; waiting longer means something is wrong.
constexpr auto kFileLockPatience = std::chrono::seconds(10);
// Records read at once by a walk, and appends of a table held exclusively gathered into one write.
constexpr std::size_t kCacheBytes = 64 * 1024;
constexpr std::size_t kGatherBytes = 64 * 1024;

uint32_t Le16(const unsigned char* p) { return p[0] | (p[1] << 8); }
uint32_t Le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint32_t Be32(const unsigned char* p) { return (uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }
void PutLe32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
void PutBe32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * (3 - i)));
}

bool ReadAt(int fd, void* buf, std::size_t n, off_t at) {
  auto* p = static_cast<char*>(buf);
  while (n) {
    ssize_t r = pread(fd, p, n, at);
    if (r <= 0) return false;
    p += r;
    n -= static_cast<std::size_t>(r);
    at += r;
  }
  return true;
}

void WriteAt(int fd, const void* buf, std::size_t n, off_t at) {
  const auto* p = static_cast<const char*>(buf);
  while (n) {
    ssize_t r = pwrite(fd, p, n, at);
    if (r <= 0) throw EDbfError(std::string("Cannot write table data: ") + std::strerror(errno));
    p += r;
    n -= static_cast<std::size_t>(r);
    at += r;
  }
}

std::string ReplaceExtension(const std::string& path, const char* ext) {
  std::size_t slash = path.rfind('/');
  std::size_t dot = path.rfind('.');
  std::string base = (dot != std::string::npos && (slash == std::string::npos || dot > slash)) ? path.substr(0, dot) : path;
  return base + ext;
}

// Open-file-description locks: they belong to the open table, so closing another copy of the
// same file in this process leaves them alone.
bool OfdLock(int fd, off_t offset, short type) {
  struct flock fl{};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = offset;
  fl.l_len = 1;
  return fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

bool OfdLockWithin(int fd, off_t offset, short type, std::chrono::steady_clock::duration patience) {
  auto deadline = std::chrono::steady_clock::now() + patience;
  auto pause = std::chrono::microseconds(20);
  for (;;) {
    if (OfdLock(fd, offset, type)) return true;
    if (errno != EAGAIN && errno != EACCES) return false;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(pause);
    pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(2));
  }
}

// The header's update date: the local date, worked out again at most once an hour.
void Today(unsigned char* ymd) {
  static std::time_t from = 0, until = 0;
  static unsigned char date[3];
  std::time_t t = std::time(nullptr);
  if (t < from || t >= until) {
    std::tm tm{};
    localtime_r(&t, &tm);
    date[0] = static_cast<unsigned char>(tm.tm_year % 256);
    date[1] = static_cast<unsigned char>(tm.tm_mon + 1);
    date[2] = static_cast<unsigned char>(tm.tm_mday);
    from = t - (tm.tm_min * 60 + tm.tm_sec);
    until = std::min<std::time_t>(from + 3600, t + (24 - tm.tm_hour) * 3600 - tm.tm_min * 60 - tm.tm_sec);
  }
  std::memcpy(ymd, date, 3);
}

std::vector<std::weak_ptr<TTableShare>>& Shares() {
  static std::vector<std::weak_ptr<TTableShare>> shares;
  return shares;
}

}  // namespace

bool TChangeStamp::operator==(const TChangeStamp& o) const {
  return Count == o.Count && Counter == o.Counter && std::memcmp(Date, o.Date, 3) == 0;
}

class TDbfFile::TFileLock {
public:
  TFileLock(int fd, const std::string& what) : FFd(fd) {
    if (!OfdLockWithin(fd, kFileLockOffset, F_WRLCK, kFileLockPatience))
      throw EDbfError("Cannot lock " + what + ": another user or task holds it");
  }
  ~TFileLock() { OfdLock(FFd, kFileLockOffset, F_UNLCK); }
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;

private:
  int FFd;
};

std::string FindFileAnyCase(const std::string& path) {
  struct stat st{};
  if (stat(path.c_str(), &st) == 0) return path;
  std::size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  DIR* d = opendir(dir.c_str());
  if (!d) return path;
  std::string found;
  while (dirent* e = readdir(d))
    if (strcasecmp(e->d_name, name.c_str()) == 0) {
      found = (slash == std::string::npos ? "" : path.substr(0, slash + 1)) + e->d_name;
      break;
    }
  closedir(d);
  return found.empty() ? path : found;
}

TDbfFile::TDbfFile(const std::string& path, TOpenMode mode) : FMode(mode) {
  std::string found = FindFileAnyCase(path);
  FFd = open(found.c_str(), (mode == TOpenMode::ReadOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC);
  if (FFd < 0) throw EDbfError("Table, file or directory does not exist: " + path);
  try {
    short type = mode == TOpenMode::Exclusive ? F_WRLCK : F_RDLCK;
    if (!OfdLock(FFd, kOpenLockOffset, type))
      throw EDbfError(mode == TOpenMode::Exclusive ? "Table is open elsewhere and cannot be had exclusively: " + found
                                                   : "Table is in use exclusively by another user or task: " + found);
    struct stat st{};
    fstat(FFd, &st);
    auto& shares = Shares();
    shares.erase(std::remove_if(shares.begin(), shares.end(), [](const auto& w) { return w.expired(); }), shares.end());
    for (const auto& w : shares)
      if (auto s = w.lock(); s && s->Dev == st.st_dev && s->Ino == st.st_ino && s->Pid == getpid()) FShare = s;
    if (!FShare) {
      FShare = std::make_shared<TTableShare>();
      FShare->Path = found;
      FShare->Dev = st.st_dev;
      FShare->Ino = st.st_ino;
      FShare->Pid = getpid();
      readHeader();
      shares.push_back(FShare);
    }
    openMemo();
    Sync();
  } catch (...) {
    if (FMemoFd >= 0) close(FMemoFd);
    close(FFd);
    throw;
  }
}

TDbfFile::~TDbfFile() {
  // What is gathered is written by the process that gathered it, not by a forked copy.
  if (FShare && FShare->Pid == getpid()) try {
      writeGathered();
    } catch (...) {
    }
  if (FMemoFd >= 0) close(FMemoFd);
  close(FFd);  // also drops this open table's locks, and only those
}

void TDbfFile::readHeader() {
  TTableShare& s = *FShare;
  unsigned char h[kHeaderPrefix];
  if (!ReadAt(FFd, h, sizeof h, 0)) throw EDbfError("Not a DBF table: " + s.Path);
  s.Version = h[0];
  if (s.Version != kDbfPlain && s.Version != kDbfWithDbt && s.Version != kDbfWithFpt) {
    if (s.Version == 0x30 || s.Version == 0x31 || s.Version == 0x32)
      throw EDbfError("Table uses binary field encodings, which this engine does not read: " + s.Path);
    throw EDbfError("Not a level-3 DBF table: " + s.Path);
  }
  s.HeaderSize = static_cast<int>(Le16(h + 8));
  s.RecordSize = static_cast<int>(Le16(h + 10));
  if (s.HeaderSize < kHeaderPrefix + 1 || s.RecordSize < 2) throw EDbfError("Damaged DBF header: " + s.Path);
  std::vector<unsigned char> desc(static_cast<std::size_t>(s.HeaderSize - kHeaderPrefix));
  if (!ReadAt(FFd, desc.data(), desc.size(), kHeaderPrefix)) throw EDbfError("Damaged DBF header: " + s.Path);
  int offset = 1;
  bool terminated = false;
  for (std::size_t p = 0; p < desc.size(); p += kFieldDescriptorSize) {
    if (desc[p] == kFieldTerminator) {
      terminated = true;
      break;
    }
    if (p + kFieldDescriptorSize > desc.size()) break;
    TDbfField f;
    const char* name = reinterpret_cast<const char*>(&desc[p]);
    f.Name.assign(name, strnlen(name, 11));
    for (char& c : f.Name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    f.Type = static_cast<char>(std::toupper(desc[p + 11]));
    f.Width = desc[p + 16];
    f.Decimals = desc[p + 17];
    if (f.Type == 'C') f.Width |= desc[p + 17] << 8, f.Decimals = 0;  // long texts use both bytes
    f.Offset = offset;
    offset += f.Width;
    if (f.Name.empty() || f.Type == 0) throw EDbfError("Damaged DBF header: field " + std::to_string(s.Fields.size() + 1) + " of " + s.Path);
    if (!std::strchr("CNFDLMGPB", f.Type) || (f.IsMemo() && f.Width != kMemoRefWidth))
      throw EDbfError("Table uses binary field encodings, which this engine does not read: " + s.Path);
    s.Fields.push_back(f);
  }
  if (!terminated || s.Fields.empty() || offset != s.RecordSize) throw EDbfError("Damaged DBF header: " + s.Path);
  if (std::any_of(s.Fields.begin(), s.Fields.end(), [](const TDbfField& f) { return f.IsMemo(); })) {
    s.FoxMemo = s.Version == kDbfWithFpt;
    s.MemoPath = FindFileAnyCase(ReplaceExtension(s.Path, s.FoxMemo ? ".FPT" : ".DBT"));
  }
}

void TDbfFile::openMemo() {
  const TTableShare& s = *FShare;
  if (s.MemoPath.empty()) return;
  FMemoFd = open(s.MemoPath.c_str(), (ReadOnly() ? O_RDONLY : O_RDWR) | O_CLOEXEC);
  if (FMemoFd < 0) throw EDbfError("Memo file is missing: " + s.MemoPath);
  unsigned char h[8];
  if (!ReadAt(FMemoFd, h, sizeof h, 0)) throw EDbfError("Damaged memo file: " + s.MemoPath);
  // A block size of 0 is damage; it is reported when a memo is read or written.
  FMemoBlockSize = s.FoxMemo ? (uint32_t(h[6]) << 8) | h[7] : kDbtBlockSize;
}

int TDbfFile::FieldIndex(std::string_view name) const {
  const auto& fields = Fields();
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (fields[i].Name.size() == name.size() && strncasecmp(fields[i].Name.c_str(), name.data(), name.size()) == 0)
      return static_cast<int>(i);
  return -1;
}

TChangeStamp TDbfFile::readStamp(unsigned char* h) const {
  const TTableShare& s = *FShare;
  if (!ReadAt(FFd, h, kHeaderPrefix, 0)) throw EDbfError("Cannot read the header of " + s.Path);
  if (h[0] != s.Version || int(Le16(h + 8)) != s.HeaderSize || int(Le16(h + 10)) != s.RecordSize)
    throw EDbfError("The structure of " + s.Path + " was changed by another program");
  std::memcpy(FHeader, h, kHeaderPrefix);
  FHeaderRead = true;
  TChangeStamp st;
  st.Count = Le32(h + 4);
  st.Counter = Le32(h + kCounterAt);
  std::memcpy(st.Date, h + 1, 3);
  return st;
}

bool TDbfFile::seenChange(const TChangeStamp& now) {
  TTableShare& s = *FShare;
  if (now == s.Known) return false;
  s.Known = now;
  // A short file counts only the records it holds.
  struct stat fs{};
  fstat(FFd, &fs);
  uint64_t fit = fs.st_size > s.HeaderSize ? uint64_t(fs.st_size - s.HeaderSize) / uint64_t(s.RecordSize) : 0;
  s.RecordCount = static_cast<uint32_t>(std::min<uint64_t>(now.Count, fit));
  ++s.Generation;
  s.OrdersStale = true;
  return true;
}

bool TDbfFile::Sync() {
  if (Exclusive() && FHeaderRead) return false;
  unsigned char h[kHeaderPrefix];
  return seenChange(readStamp(h));
}

bool TDbfFile::Cached(uint32_t recNo) const {
  if (recNo < 1 || recNo > RecordCount()) return false;
  if (!FGathered.empty() && recNo >= FGatheredFirst) return true;
  return cacheValid() && recNo >= FCacheFirst && recNo - FCacheFirst < FCacheCount;
}

std::string TDbfFile::ReadRecord(uint32_t recNo) const {
  std::string r;
  ReadRecordInto(recNo, r);
  return r;
}

void TDbfFile::ReadRecordInto(uint32_t recNo, std::string& out) const {
  const auto size = std::size_t(RecordSize());
  out.resize(size);
  if (recNo < 1 || recNo > RecordCount()) {
    std::memset(out.data(), ' ', size);
    return;
  }
  if (!FGathered.empty() && recNo >= FGatheredFirst) {
    std::memcpy(out.data(), FGathered.data() + std::size_t(recNo - FGatheredFirst) * size, size);
    return;
  }
  if (!Cached(recNo)) {
    // A walk one way or the other reads ahead; a record on its own is read alone.
    auto per = static_cast<uint32_t>(std::max<std::size_t>(1, kCacheBytes / size));
    uint32_t last = FGathered.empty() ? RecordCount() : FGatheredFirst - 1;
    uint32_t first = recNo, n = 1;
    if (FCacheCount && recNo == FCacheFirst + FCacheCount) n = std::min(per, last - recNo + 1);
    else if (FCacheCount && recNo + 1 == FCacheFirst) first = recNo > per ? recNo - per + 1 : 1, n = recNo - first + 1;
    FCache.resize(std::size_t(n) * size);
    if (!ReadAt(FFd, FCache.data(), FCache.size(), off_t(FShare->HeaderSize) + off_t(first - 1) * off_t(size))) {
      dropCache();
      std::memset(out.data(), ' ', size);
      if (n > 1) ReadAt(FFd, out.data(), size, off_t(FShare->HeaderSize) + off_t(recNo - 1) * off_t(size));
      return;
    }
    FCacheFirst = first;
    FCacheCount = n;
    FCacheGeneration = FShare->Generation;
  }
  std::memcpy(out.data(), FCache.data() + std::size_t(recNo - FCacheFirst) * size, size);
}

void TDbfFile::cacheWritten(bool wasValid, uint32_t recNo, std::string_view record) {
  if (!wasValid) return dropCache();
  FCacheGeneration = FShare->Generation;
  if (recNo >= FCacheFirst && recNo - FCacheFirst < FCacheCount)
    std::memcpy(FCache.data() + std::size_t(recNo - FCacheFirst) * std::size_t(RecordSize()), record.data(),
                std::size_t(RecordSize()));
}

std::string TDbfFile::ReadRecords(uint32_t first, uint32_t count) {
  writeGathered();
  if (first < 1 || first > RecordCount()) return "";
  count = std::min(count, RecordCount() - first + 1);
  std::string r(std::size_t(count) * std::size_t(RecordSize()), ' ');
  if (!ReadAt(FFd, r.data(), r.size(), off_t(FShare->HeaderSize) + off_t(first - 1) * RecordSize()))
    return ReadRecord(first);
  return r;
}

std::string TDbfFile::WriteRecord(uint32_t recNo, std::string_view record) {
  if (ReadOnly()) throw EDbfError("Table is open read-only: " + Path());
  // Writing a record that another holds for editing would lose that edit.
  bool tookLock = !Exclusive() && !RecordLocked(recNo);
  if (tookLock && !OfdLock(FFd, kRecordLockBase + off_t(recNo), F_WRLCK))
    throw EDbfError("Record " + std::to_string(recNo) + " is locked by another user or task");
  struct TRelease {
    TDbfFile* F;
    uint32_t Rec;
    bool On;
    ~TRelease() {
      if (On) OfdLock(F->FFd, kRecordLockBase + off_t(Rec), F_UNLCK);
    }
  } release{this, recNo, tookLock};
  const auto size = std::size_t(RecordSize());
  std::string r(record.substr(0, size));
  r.resize(size, ' ');
  if (Exclusive()) {
    // No one else writes this table: the header is written with the next gathered block.
    if (recNo < 1 || recNo > RecordCount()) throw EDbfError("No record " + std::to_string(recNo) + " to write");
    bool wasValid = cacheValid();
    std::string before = ReadRecord(recNo);
    if (!FGathered.empty() && recNo >= FGatheredFirst)
      std::memcpy(FGathered.data() + std::size_t(recNo - FGatheredFirst) * size, r.data(), size);
    else
      WriteAt(FFd, r.data(), size, off_t(FShare->HeaderSize) + off_t(recNo - 1) * off_t(size));
    FHeaderOwed = true;
    ++FShare->Generation;
    cacheWritten(wasValid, recNo, r);
    return before;
  }
  TFileLock lock(FFd, Path());
  unsigned char h[kHeaderPrefix];
  seenChange(readStamp(h));
  if (recNo < 1 || recNo > RecordCount()) throw EDbfError("No record " + std::to_string(recNo) + " to write");
  bool wasValid = cacheValid();
  // What the file holds now, not what this process last read.
  std::string before = BlankRecord(RecordSize());
  if (!ReadAt(FFd, before.data(), size, off_t(FShare->HeaderSize) + off_t(recNo - 1) * off_t(size)))
    before = BlankRecord(RecordSize());
  WriteAt(FFd, r.data(), size, off_t(FShare->HeaderSize) + off_t(recNo - 1) * off_t(size));
  writeHeader(FHeader, RecordCount());
  ++FShare->Generation;
  cacheWritten(wasValid, recNo, r);
  return before;
}

uint32_t TDbfFile::AppendRecord(std::string_view record) {
  if (ReadOnly()) throw EDbfError("Table is open read-only: " + Path());
  const auto size = std::size_t(RecordSize());
  record = record.substr(0, size);
  if (Exclusive()) {
    bool wasValid = cacheValid();
    uint32_t n = RecordCount() + 1;
    if (FGathered.empty()) FGatheredFirst = n;
    std::size_t at = FGathered.size();
    FGathered.append(record);
    FGathered.resize(at + size, ' ');
    TTableShare& s = *FShare;
    s.RecordCount = s.Known.Count = n;
    ++s.Generation;
    FHeaderOwed = true;
    if (wasValid) FCacheGeneration = s.Generation;  // no record it holds changed
    if (FGathered.size() >= kGatherBytes) writeGathered();
    return n;
  }
  TFileLock lock(FFd, Path());
  unsigned char h[kHeaderPrefix];
  seenChange(readStamp(h));
  bool wasValid = cacheValid();
  // The record and the end mark in one write.
  FScratch.assign(record);
  FScratch.resize(size, ' ');
  FScratch += kEndOfData;
  uint32_t n = RecordCount() + 1;
  WriteAt(FFd, FScratch.data(), FScratch.size(), off_t(FShare->HeaderSize) + off_t(n - 1) * off_t(size));
  writeHeader(FHeader, n);
  ++FShare->Generation;
  if (wasValid) FCacheGeneration = FShare->Generation;
  return n;
}

void TDbfFile::writeGathered() {
  if (!FGathered.empty()) {
    FGathered += kEndOfData;
    try {
      WriteAt(FFd, FGathered.data(), FGathered.size(),
              off_t(FShare->HeaderSize) + off_t(FGatheredFirst - 1) * off_t(RecordSize()));
    } catch (...) {
      FGathered.pop_back();
      throw;
    }
    FGathered.clear();
  }
  if (FHeaderOwed) {
    FHeaderOwed = false;
    writeHeader(FHeader, RecordCount());
  }
}

// Under the file's lock, or with the table held exclusively: the date, count and change
// counter, then the stamp as now seen.
void TDbfFile::writeHeader(unsigned char* h, uint32_t count) {
  Today(h + 1);
  PutLe32(h + 4, count);
  PutLe32(h + kCounterAt, Le32(h + kCounterAt) + 1);
  WriteAt(FFd, h, kHeaderWritten, 0);
  // What this engine wrote is no news to it.
  TTableShare& s = *FShare;
  s.RecordCount = count;
  s.Known.Count = count;
  s.Known.Counter = Le32(h + kCounterAt);
  std::memcpy(s.Known.Date, h + 1, 3);
}

void TDbfFile::WriteGathered() {
  if (!ReadOnly()) writeGathered();
}

void TDbfFile::Flush(bool toDisk) {
  if (!toDisk || ReadOnly()) return;
  writeGathered();
  fsync(FFd);
  if (FMemoFd >= 0) fsync(FMemoFd);
}

std::string TDbfFile::ReadMemo(std::string_view ref) const {
  std::string digits(ref);
  digits.erase(std::remove(digits.begin(), digits.end(), ' '), digits.end());
  if (digits.empty() || digits.find_first_not_of('\0') == std::string::npos) return "";
  const std::string& memo = FShare->MemoPath;
  if (FMemoFd < 0) throw EDbfError("Table has no memo file: " + Path());
  if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    throw EDbfError("Damaged memo reference \"" + std::string(ref) + "\" in " + Path());
  uint64_t block = std::strtoull(digits.c_str(), nullptr, 10);
  if (block == 0) return "";
  if (FMemoBlockSize == 0) throw EDbfError("Damaged memo file (block size 0): " + memo);
  struct stat st{};
  fstat(FMemoFd, &st);
  uint64_t at = block * FMemoBlockSize;
  if (at < kMemoHeaderSize && !FShare->FoxMemo) throw EDbfError("Memo reference into the memo header: " + memo);
  if (at >= uint64_t(st.st_size)) throw EDbfError("Memo reference past the end of " + memo);
  if (FShare->FoxMemo) {
    unsigned char h[8];
    if (!ReadAt(FMemoFd, h, sizeof h, off_t(at))) throw EDbfError("Truncated memo file: " + memo);
    uint64_t len = Be32(h + 4);
    if (at + 8 + len > uint64_t(st.st_size)) throw EDbfError("Truncated memo file: " + memo);
    std::string data(std::size_t(len), '\0');
    if (!ReadAt(FMemoFd, data.data(), data.size(), off_t(at + 8))) throw EDbfError("Truncated memo file: " + memo);
    return data;
  }
  // dBASE III memos end at the first end-of-file mark.
  std::string data;
  char buf[512];
  while (at < uint64_t(st.st_size)) {
    std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(sizeof buf, uint64_t(st.st_size) - at));
    if (!ReadAt(FMemoFd, buf, n, off_t(at))) break;
    const char* end = static_cast<const char*>(std::memchr(buf, kEndOfData, n));
    data.append(buf, end ? static_cast<std::size_t>(end - buf) : n);
    if (end) return data;
    at += n;
  }
  throw EDbfError("Truncated memo file: " + memo);
}

std::string TDbfFile::WriteMemo(std::string_view data) {
  if (ReadOnly()) throw EDbfError("Table is open read-only: " + Path());
  const std::string& memo = FShare->MemoPath;
  if (FMemoFd < 0) throw EDbfError("Table has no memo file: " + Path());
  if (data.empty()) return std::string(kMemoRefWidth, ' ');
  if (FMemoBlockSize == 0) throw EDbfError("Damaged memo file (block size 0): " + memo);
  std::string block;
  if (FShare->FoxMemo) {
    unsigned char bh[8];
    PutBe32(bh, kFptTextBlock);
    PutBe32(bh + 4, static_cast<uint32_t>(data.size()));
    block.assign(reinterpret_cast<char*>(bh), 8);
    block += data;
  } else {
    if (data.find(kEndOfData) != std::string_view::npos) throw EDbfError("A dBASE III memo cannot hold the end-of-file mark");
    block = std::string(data) + kEndOfData + kEndOfData;
  }
  uint64_t blocks = (block.size() + FMemoBlockSize - 1) / FMemoBlockSize;
  block.resize(std::size_t(blocks * FMemoBlockSize), '\0');
  // The next free block is read and moved on under the memo file's lock, so two writers never
  // take the same blocks.
  TFileLock lock(FMemoFd, memo);
  unsigned char h[4];
  if (!ReadAt(FMemoFd, h, sizeof h, 0)) throw EDbfError("Damaged memo file: " + memo);
  uint32_t next = FShare->FoxMemo ? Be32(h) : Le32(h);
  uint64_t first = std::max<uint64_t>(next, (kMemoHeaderSize + FMemoBlockSize - 1) / FMemoBlockSize);
  if (first + blocks > UINT32_MAX) throw EDbfError("Memo file is full: " + memo);
  WriteAt(FMemoFd, block.data(), block.size(), off_t(first * FMemoBlockSize));
  uint32_t newNext = static_cast<uint32_t>(first + blocks);
  if (FShare->FoxMemo) PutBe32(h, newNext);
  else PutLe32(h, newNext);
  WriteAt(FMemoFd, h, sizeof h, 0);
  char ref[16];
  std::snprintf(ref, sizeof ref, "%10u", static_cast<uint32_t>(first));
  return ref;
}

bool TDbfFile::LockRecord(uint32_t recNo, int timeoutSeconds) {
  if (ReadOnly() || recNo < 1 || recNo > RecordCount()) return false;
  if (RecordLocked(recNo)) return true;
  if (!OfdLockWithin(FFd, kRecordLockBase + off_t(recNo), F_WRLCK, std::chrono::seconds(std::max(0, timeoutSeconds))))
    return false;
  FLocks.push_back(recNo);
  // Whoever held the record may have changed it: the holder reads it afresh.
  dropCache();
  return true;
}

void TDbfFile::UnlockRecord(uint32_t recNo) {
  auto it = std::find(FLocks.begin(), FLocks.end(), recNo);
  if (it == FLocks.end()) return;
  FLocks.erase(it);
  OfdLock(FFd, kRecordLockBase + off_t(recNo), F_UNLCK);
}

void TDbfFile::UnlockAll() {
  while (!FLocks.empty()) UnlockRecord(FLocks.back());
}

bool TDbfFile::RecordLocked(uint32_t recNo) const {
  return std::find(FLocks.begin(), FLocks.end(), recNo) != FLocks.end();
}

}  // namespace xbe
