#include "platform/engines/xbe/XbeDbf.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
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
constexpr int kFieldDescriptorSize = 32;
constexpr int kMemoRefWidth = 10;
constexpr uint32_t kMemoHeaderSize = 512;
constexpr uint32_t kFptTextBlock = 1;
// Lock bytes lie far beyond any data, so locking never stops a reader.
constexpr off_t kOpenLockOffset = 0x7FFFFFFE;
constexpr off_t kRecordLockBase = 0x40000000;

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

}  // namespace

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

TDbfFile::TDbfFile(const std::string& path, TOpenMode mode) : FPath(FindFileAnyCase(path)), FMode(mode) {
  FFd = open(FPath.c_str(), (mode == TOpenMode::ReadOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC);
  if (FFd < 0) throw EDbfError("Table, file or directory does not exist: " + path);
  try {
    short type = mode == TOpenMode::Exclusive ? F_WRLCK : F_RDLCK;
    if (!tryLock(FFd, kOpenLockOffset, type, 0))
      throw EDbfError("Table is in use by another process: " + FPath);
    readHeader();
    openMemo();
  } catch (...) {
    if (FMemoFd >= 0) close(FMemoFd);
    close(FFd);
    throw;
  }
}

TDbfFile::~TDbfFile() {
  if (FMemoFd >= 0) close(FMemoFd);
  close(FFd);  // also drops this process's locks on the file
}

void TDbfFile::readHeader() {
  unsigned char h[32];
  if (!ReadAt(FFd, h, sizeof h, 0)) throw EDbfError("Not a DBF table: " + FPath);
  FVersion = h[0];
  if (FVersion != kDbfPlain && FVersion != kDbfWithDbt && FVersion != kDbfWithFpt) {
    if (FVersion == 0x30 || FVersion == 0x31 || FVersion == 0x32)
      throw EDbfError("Table uses binary field encodings, which this engine does not read: " + FPath);
    throw EDbfError("Not a level-3 DBF table: " + FPath);
  }
  FRecordCount = Le32(h + 4);
  FHeaderSize = static_cast<int>(Le16(h + 8));
  FRecordSize = static_cast<int>(Le16(h + 10));
  if (FHeaderSize < 33 || FRecordSize < 1) throw EDbfError("Damaged DBF header: " + FPath);
  std::vector<unsigned char> desc(static_cast<std::size_t>(FHeaderSize - 32));
  if (!ReadAt(FFd, desc.data(), desc.size(), 32)) throw EDbfError("Damaged DBF header: " + FPath);
  int offset = 1;
  for (std::size_t p = 0; p + kFieldDescriptorSize <= desc.size() && desc[p] != kFieldTerminator; p += kFieldDescriptorSize) {
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
    if (!std::strchr("CNFDLMGPB", f.Type) || (f.IsMemo() && f.Width != kMemoRefWidth))
      throw EDbfError("Table uses binary field encodings, which this engine does not read: " + FPath);
    FFields.push_back(f);
  }
  if (FFields.empty() || offset != FRecordSize) throw EDbfError("Damaged DBF header: " + FPath);
  // The record count must agree with the file; a short file counts only the records it holds.
  struct stat st{};
  fstat(FFd, &st);
  uint64_t fit = st.st_size > FHeaderSize ? uint64_t(st.st_size - FHeaderSize) / uint64_t(FRecordSize) : 0;
  if (FRecordCount > fit) FRecordCount = static_cast<uint32_t>(fit);
}

void TDbfFile::openMemo() {
  bool hasMemo = std::any_of(FFields.begin(), FFields.end(), [](const TDbfField& f) { return f.IsMemo(); });
  if (!hasMemo) return;
  FFoxMemo = FVersion == kDbfWithFpt;
  std::string memo = FindFileAnyCase(ReplaceExtension(FPath, FFoxMemo ? ".FPT" : ".DBT"));
  FMemoFd = open(memo.c_str(), (ReadOnly() ? O_RDONLY : O_RDWR) | O_CLOEXEC);
  if (FMemoFd < 0) throw EDbfError("Memo file is missing: " + memo);
  unsigned char h[8];
  if (!ReadAt(FMemoFd, h, sizeof h, 0)) throw EDbfError("Damaged memo file: " + memo);
  if (FFoxMemo) {
    FMemoBlockSize = (uint32_t(h[6]) << 8) | h[7];
    if (FMemoBlockSize == 0) FMemoBlockSize = 1;  // byte-addressed memos
  }
}

int TDbfFile::FieldIndex(std::string_view name) const {
  for (std::size_t i = 0; i < FFields.size(); ++i)
    if (FFields[i].Name.size() == name.size() && strncasecmp(FFields[i].Name.c_str(), name.data(), name.size()) == 0)
      return static_cast<int>(i);
  return -1;
}

std::string TDbfFile::ReadRecord(uint32_t recNo) const {
  std::string r = BlankRecord(FRecordSize);
  if (recNo < 1 || recNo > FRecordCount) return r;
  if (!ReadAt(FFd, r.data(), r.size(), off_t(FHeaderSize) + off_t(recNo - 1) * FRecordSize))
    return BlankRecord(FRecordSize);
  return r;
}

void TDbfFile::WriteRecord(uint32_t recNo, std::string_view record) {
  if (ReadOnly()) throw EDbfError("Table is open read-only: " + FPath);
  if (recNo < 1 || recNo > FRecordCount) throw EDbfError("No current record to write");
  std::string r(record.substr(0, static_cast<std::size_t>(FRecordSize)));
  r.resize(static_cast<std::size_t>(FRecordSize), ' ');
  WriteAt(FFd, r.data(), r.size(), off_t(FHeaderSize) + off_t(recNo - 1) * FRecordSize);
}

uint32_t TDbfFile::AppendBlank() {
  if (ReadOnly()) throw EDbfError("Table is open read-only: " + FPath);
  std::string r = BlankRecord(FRecordSize);
  r += kEndOfData;
  WriteAt(FFd, r.data(), r.size(), off_t(FHeaderSize) + off_t(FRecordCount) * FRecordSize);
  ++FRecordCount;
  writeHeader();
  return FRecordCount;
}

void TDbfFile::writeHeader() {
  unsigned char h[8];
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  h[0] = FVersion;
  h[1] = static_cast<unsigned char>(tm.tm_year % 256);
  h[2] = static_cast<unsigned char>(tm.tm_mon + 1);
  h[3] = static_cast<unsigned char>(tm.tm_mday);
  PutLe32(h + 4, FRecordCount);
  WriteAt(FFd, h, sizeof h, 0);
}

void TDbfFile::Flush(bool toDisk) {
  if (!toDisk || ReadOnly()) return;
  fsync(FFd);
  if (FMemoFd >= 0) fsync(FMemoFd);
}

std::string TDbfFile::ReadMemo(std::string_view ref) const {
  std::string digits(ref);
  digits.erase(std::remove(digits.begin(), digits.end(), ' '), digits.end());
  if (FMemoFd < 0 || digits.empty() || !std::all_of(digits.begin(), digits.end(), ::isdigit)) return "";
  uint64_t block = std::strtoull(digits.c_str(), nullptr, 10);
  if (block == 0) return "";
  off_t at = off_t(block * FMemoBlockSize);
  struct stat st{};
  fstat(FMemoFd, &st);
  if (at >= st.st_size) return "";
  if (FFoxMemo) {
    unsigned char h[8];
    if (!ReadAt(FMemoFd, h, sizeof h, at)) return "";
    uint32_t len = std::min<uint64_t>(Be32(h + 4), uint64_t(st.st_size - at - 8));
    std::string data(len, '\0');
    if (!ReadAt(FMemoFd, data.data(), len, at + 8)) return "";
    return data;
  }
  // dBASE III memos end at the first end-of-file mark.
  std::string data;
  char buf[512];
  while (at < st.st_size) {
    std::size_t n = static_cast<std::size_t>(std::min<off_t>(sizeof buf, st.st_size - at));
    if (!ReadAt(FMemoFd, buf, n, at)) break;
    const char* end = static_cast<const char*>(std::memchr(buf, kEndOfData, n));
    data.append(buf, end ? static_cast<std::size_t>(end - buf) : n);
    if (end) break;
    at += static_cast<off_t>(n);
  }
  return data;
}

std::string TDbfFile::WriteMemo(std::string_view data) {
  if (ReadOnly()) throw EDbfError("Table is open read-only: " + FPath);
  if (FMemoFd < 0) throw EDbfError("Table has no memo file: " + FPath);
  if (data.empty()) return std::string(kMemoRefWidth, ' ');
  unsigned char h[4];
  if (!ReadAt(FMemoFd, h, sizeof h, 0)) throw EDbfError("Damaged memo file of " + FPath);
  uint32_t next = FFoxMemo ? Be32(h) : Le32(h);
  uint32_t first = std::max<uint32_t>(next, (kMemoHeaderSize + FMemoBlockSize - 1) / FMemoBlockSize);
  std::string block;
  if (FFoxMemo) {
    unsigned char bh[8];
    PutBe32(bh, kFptTextBlock);
    PutBe32(bh + 4, static_cast<uint32_t>(data.size()));
    block.assign(reinterpret_cast<char*>(bh), 8);
    block += data;
  } else {
    if (data.find(kEndOfData) != std::string_view::npos) throw EDbfError("A dBASE III memo cannot hold the end-of-file mark");
    block = std::string(data) + kEndOfData + kEndOfData;
  }
  uint32_t blocks = static_cast<uint32_t>((block.size() + FMemoBlockSize - 1) / FMemoBlockSize);
  block.resize(std::size_t(blocks) * FMemoBlockSize, '\0');
  WriteAt(FMemoFd, block.data(), block.size(), off_t(first) * FMemoBlockSize);
  uint32_t newNext = first + blocks;
  if (FFoxMemo) PutBe32(h, newNext);
  else PutLe32(h, newNext);
  WriteAt(FMemoFd, h, sizeof h, 0);
  char ref[16];
  std::snprintf(ref, sizeof ref, "%10u", first);
  return ref;
}

bool TDbfFile::tryLock(int fd, off_t offset, short type, int timeoutSeconds) const {
  struct flock fl{};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = offset;
  fl.l_len = 1;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(std::max(0, timeoutSeconds));
  for (;;) {
    if (fcntl(fd, F_SETLK, &fl) == 0) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

bool TDbfFile::LockRecord(uint32_t recNo, int timeoutSeconds) {
  if (ReadOnly() || recNo < 1 || recNo > FRecordCount) return false;
  if (RecordLocked(recNo)) return true;
  if (!tryLock(FFd, kRecordLockBase + off_t(recNo), F_WRLCK, timeoutSeconds)) return false;
  FLocks.push_back(recNo);
  return true;
}

void TDbfFile::UnlockRecord(uint32_t recNo) {
  auto it = std::find(FLocks.begin(), FLocks.end(), recNo);
  if (it == FLocks.end()) return;
  FLocks.erase(it);
  struct flock fl{};
  fl.l_type = F_UNLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = kRecordLockBase + off_t(recNo);
  fl.l_len = 1;
  fcntl(FFd, F_SETLK, &fl);
}

void TDbfFile::UnlockAll() {
  while (!FLocks.empty()) UnlockRecord(FLocks.back());
}

bool TDbfFile::RecordLocked(uint32_t recNo) const {
  return std::find(FLocks.begin(), FLocks.end(), recNo) != FLocks.end();
}

}  // namespace xbe
