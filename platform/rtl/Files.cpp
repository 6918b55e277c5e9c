#include "platform/rtl/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

AnsiString gExeName;
std::vector<AnsiString> gArgs;

bool statOf(const AnsiString& name, struct stat& st) { return !name.empty() && ::stat(name.c_str(), &st) == 0; }

int32_t packedOf(time_t t) {
  struct tm lt{};
  localtime_r(&t, &lt);
  int year = lt.tm_year + 1900;
  if (year < 1980 || year > 2107) return -1;  // seven bits of years from 1980
  uint32_t date = static_cast<uint32_t>(((year - 1980) << 9) | ((lt.tm_mon + 1) << 5) | lt.tm_mday);
  uint32_t tim = static_cast<uint32_t>((lt.tm_hour << 11) | (lt.tm_min << 5) | (lt.tm_sec / 2));
  return static_cast<int32_t>((date << 16) | tim);
}

int64_t daysFromCivil(int y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return static_cast<int64_t>(era) * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool timeOfPacked(int32_t age, time_t& out) {
  uint32_t v = static_cast<uint32_t>(age);
  uint32_t date = v >> 16, tim = v & 0xFFFF;
  struct tm lt{};
  lt.tm_year = static_cast<int>((date >> 9) + 1980 - 1900);
  lt.tm_mon = static_cast<int>(((date >> 5) & 15) - 1);
  lt.tm_mday = static_cast<int>(date & 31);
  lt.tm_hour = static_cast<int>(tim >> 11);
  lt.tm_min = static_cast<int>((tim >> 5) & 63);
  lt.tm_sec = static_cast<int>((tim & 31) * 2);
  lt.tm_isdst = -1;
  // mktime would move 31 February to March without a word.
  if (lt.tm_mon < 0 || lt.tm_mon > 11 || lt.tm_mday < 1 ||
      lt.tm_mday > DaysInMonth(lt.tm_year + 1900, lt.tm_mon + 1) || lt.tm_hour > 23 || lt.tm_min > 59 ||
      lt.tm_sec > 59)
    return false;
  // mktime reads the zone file again on every call; the zone's offset holds for a whole hour, so
  // the last one found serves the next time of the same hour while TZ stays what it was.
  const int64_t asUtc = daysFromCivil(lt.tm_year + 1900, static_cast<unsigned>(lt.tm_mon + 1),
                                      static_cast<unsigned>(lt.tm_mday)) * 86400 +
                        lt.tm_hour * 3600 + lt.tm_min * 60 + lt.tm_sec;
  thread_local uint32_t lastHour = 0;
  thread_local int64_t lastOffset = 0;
  thread_local std::string lastZone;
  const char* zone = std::getenv("TZ");
  const uint32_t hour = v & 0xFFFFF800u;
  if (hour != 0 && hour == lastHour && lastZone == (zone ? zone : "")) {
    out = static_cast<time_t>(asUtc - lastOffset);
    return true;
  }
  out = mktime(&lt);
  if (out == static_cast<time_t>(-1)) return false;
  lastHour = hour;
  lastOffset = asUtc - static_cast<int64_t>(out);
  lastZone = zone ? zone : "";
  return true;
}

}  // namespace

bool FileExists(const AnsiString& name) {
  struct stat st{};
  return statOf(name, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const AnsiString& name) {
  struct stat st{};
  return statOf(name, st) && S_ISDIR(st.st_mode);
}

AnsiString ExpandFileName(const AnsiString& name) {
  if (name.empty()) return name;
  AnsiString full = name[0] == PathDelim ? name : IncludeTrailingPathDelimiter(GetCurrentDir()) + name;
  // Fold "." and ".." without touching the file system.
  std::vector<AnsiString> parts;
  std::size_t i = 0;
  while (i <= full.size()) {
    std::size_t j = full.find(PathDelim, i);
    if (j == AnsiString::npos) j = full.size();
    AnsiString p = full.substr(i, j - i);
    if (p == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!p.empty() && p != ".") {
      parts.push_back(p);
    }
    i = j + 1;
  }
  AnsiString r;
  for (auto& p : parts) r += PathDelim + p;
  if (r.empty()) r = "/";
  if (full.size() > 1 && full.back() == PathDelim && r.back() != PathDelim) r += PathDelim;
  return r;
}

bool DeleteFile(const AnsiString& name) {
  struct stat st{};
  if (!statOf(name, st) || S_ISDIR(st.st_mode)) return false;
  return ::unlink(name.c_str()) == 0;
}

bool RenameFile(const AnsiString& oldName, const AnsiString& newName) {
  struct stat st{};
  if (::lstat(newName.c_str(), &st) == 0) {  // the platform's rename never replaces
    errno = EEXIST;
    return false;
  }
  return ::rename(oldName.c_str(), newName.c_str()) == 0;
}

bool CreateDir(const AnsiString& name) { return ::mkdir(name.c_str(), 0777) == 0; }
bool RemoveDir(const AnsiString& name) { return ::rmdir(name.c_str()) == 0; }

bool ForceDirectories(const AnsiString& name) {
  AnsiString dir = ExcludeTrailingPathDelimiter(name);
  if (dir.empty() || DirectoryExists(dir)) return true;
  AnsiString parent = ExtractFileDir(dir);
  if (!parent.empty() && parent != dir && !ForceDirectories(parent)) return false;
  return CreateDir(dir) || DirectoryExists(dir);
}

AnsiString GetCurrentDir() {
  char buf[PATH_MAX];
  return ::getcwd(buf, sizeof buf) ? AnsiString(buf) : AnsiString();
}

bool SetCurrentDir(const AnsiString& name) { return ::chdir(name.c_str()) == 0; }

AnsiString ExtractFilePath(const AnsiString& name) {
  auto p = name.rfind(PathDelim);
  return p == AnsiString::npos ? AnsiString() : name.substr(0, p + 1);
}

AnsiString ExtractFileDir(const AnsiString& name) {
  auto p = name.rfind(PathDelim);
  if (p == AnsiString::npos) return {};
  if (p == 0) return "/";
  return name.substr(0, p);
}

AnsiString ExtractFileName(const AnsiString& name) {
  auto p = name.rfind(PathDelim);
  return p == AnsiString::npos ? name : name.substr(p + 1);
}

AnsiString ExtractFileExt(const AnsiString& name) {
  auto p = name.find_last_of("./");
  if (p == AnsiString::npos || name[p] != '.') return {};
  return name.substr(p);
}

AnsiString ChangeFileExt(const AnsiString& name, const AnsiString& ext) {
  auto p = name.find_last_of("./");
  if (p == AnsiString::npos || name[p] != '.') return name + ext;
  return name.substr(0, p) + ext;
}

AnsiString IncludeTrailingPathDelimiter(const AnsiString& name) {
  if (name.empty() || name.back() == PathDelim) return name;
  return name + PathDelim;
}

AnsiString ExcludeTrailingPathDelimiter(const AnsiString& name) {
  AnsiString r = name;
  while (r.size() > 1 && r.back() == PathDelim) r.pop_back();
  return r;
}

int64_t FileSizeByName(const AnsiString& name) {
  struct stat st{};
  if (!statOf(name, st) || S_ISDIR(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

int FileGetAttr(const AnsiString& name) {
  struct stat st{};
  if (!statOf(name, st)) return -1;
  int attr = 0;
  if (S_ISDIR(st.st_mode)) attr |= faDirectory;
  else attr |= faArchive;
  if (::access(name.c_str(), W_OK) != 0 && errno == EACCES) attr |= faReadOnly;
  AnsiString base = ExtractFileName(ExcludeTrailingPathDelimiter(name));
  if (!base.empty() && base[0] == '.' && base != "." && base != "..") attr |= faHidden;
  return attr;
}

int FileSetAttr(const AnsiString& name, int attr) {
  struct stat st{};
  if (!statOf(name, st)) return errno;
  mode_t m = st.st_mode & 07777;
  if (attr & faReadOnly) m &= static_cast<mode_t>(~0222);
  else m |= S_IWUSR;
  return ::chmod(name.c_str(), m) == 0 ? 0 : errno;
}

bool PathExists(const AnsiString& name) {
  struct stat st{};
  return statOf(name, st);
}

int32_t FileAge(const AnsiString& name) {
  struct stat st{};
  if (!statOf(name, st) || S_ISDIR(st.st_mode)) return -1;
  return packedOf(st.st_mtime);
}

int FileSetDate(const AnsiString& name, int32_t age) {
  time_t t;
  if (!timeOfPacked(age, t)) return EINVAL;
  struct timeval tv[2] = {{t, 0}, {t, 0}};
  return ::utimes(name.c_str(), tv) == 0 ? 0 : errno;
}

int32_t FileGetDateHandle(int handle) {
  struct stat st{};
  if (::fstat(handle, &st) != 0) return -1;
  return packedOf(st.st_mtime);
}

int FileSetDateHandle(int handle, int32_t age) {
  time_t t;
  if (!timeOfPacked(age, t)) return EINVAL;
  struct timeval tv[2] = {{t, 0}, {t, 0}};
  return ::futimes(handle, tv) == 0 ? 0 : errno;
}

TDateTime FileDateToDateTime(int32_t fileDate) {
  uint32_t v = static_cast<uint32_t>(fileDate);
  uint32_t date = v >> 16, tim = v & 0xFFFF;
  TDateTime d = 0, t = 0;
  TryEncodeDate(static_cast<int>((date >> 9) + 1980), static_cast<int>((date >> 5) & 15), static_cast<int>(date & 31), d);
  TryEncodeTime(static_cast<int>(tim >> 11), static_cast<int>((tim >> 5) & 63), static_cast<int>((tim & 31) * 2), 0, t);
  return d + t;
}

int32_t DateTimeToFileDate(TDateTime dt) {
  int y, mo, d, h, mi, s, ms;
  DecodeDate(dt, y, mo, d);
  DecodeTime(dt, h, mi, s, ms);
  if (y < 1980 || y > 2107) return 0;
  uint32_t date = static_cast<uint32_t>(((y - 1980) << 9) | (mo << 5) | d);
  uint32_t tim = static_cast<uint32_t>((h << 11) | (mi << 5) | (s / 2));
  return static_cast<int32_t>((date << 16) | tim);
}

struct TSearchRec::FindData {
  DIR* dir = nullptr;
  AnsiString folder;
  AnsiString mask;
  int attr = 0;
};

bool MatchesMask(const AnsiString& name, const AnsiString& mask) {
  // Iterative '*' and '?' matching with backtracking to the last star.
  std::size_t n = 0, m = 0, star = AnsiString::npos, mark = 0;
  auto eq = [](char a, char b) { return AnsiLowerChar(a) == AnsiLowerChar(b); };
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || (mask[m] != '*' && eq(mask[m], name[n])))) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      star = m++;
      mark = n;
    } else if (star != AnsiString::npos) {
      m = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  if (m < mask.size() && mask.substr(m) == ".*") return true;  // "name.*" matches "name"
  return m == mask.size();
}

namespace {

int findMatch(TSearchRec& rec) {
  auto* fd = rec.FFind;
  while (dirent* e = ::readdir(fd->dir)) {
    AnsiString name = e->d_name;
    if (!MatchesMask(name, fd->mask) && !(fd->mask == "*.*")) continue;
    AnsiString full = fd->folder + name;
    struct stat st{};
    if (::stat(full.c_str(), &st) != 0) continue;
    int attr = FileGetAttr(full);
    if ((attr & faDirectory) && !(fd->attr & faDirectory)) continue;
    if ((attr & faHidden) && !(fd->attr & faHidden)) continue;
    rec.Name = name;
    rec.Attr = attr;
    rec.Size = S_ISDIR(st.st_mode) ? 0 : static_cast<int64_t>(st.st_size);
    rec.Time = packedOf(st.st_mtime);
    return 0;
  }
  return ENOENT;
}

}  // namespace

int FindFirst(const AnsiString& path, int attr, TSearchRec& rec) {
  FindClose(rec);
  auto* fd = new TSearchRec::FindData;
  fd->folder = ExtractFilePath(path);
  fd->mask = ExtractFileName(path);
  fd->attr = attr;
  fd->dir = ::opendir(fd->folder.empty() ? "." : fd->folder.c_str());
  rec.FFind = fd;
  rec.ExcludeAttr = ~attr & (faHidden | faSysFile | faVolumeID | faDirectory);
  if (!fd->dir) {
    int err = errno;
    FindClose(rec);
    return err ? err : ENOENT;
  }
  int r = findMatch(rec);
  if (r != 0) FindClose(rec);
  return r;
}

int FindNext(TSearchRec& rec) {
  if (!rec.FFind) return ENOENT;
  return findMatch(rec);
}

void FindClose(TSearchRec& rec) {
  if (!rec.FFind) return;
  if (rec.FFind->dir) ::closedir(rec.FFind->dir);
  delete rec.FFind;
  rec.FFind = nullptr;
}

int64_t DiskFree(const AnsiString& path) {
  struct statvfs s{};
  if (::statvfs(path.empty() ? "." : path.c_str(), &s) != 0) return -1;
  return static_cast<int64_t>(s.f_bavail) * static_cast<int64_t>(s.f_frsize);
}

int64_t DiskSize(const AnsiString& path) {
  struct statvfs s{};
  if (::statvfs(path.empty() ? "." : path.c_str(), &s) != 0) return -1;
  return static_cast<int64_t>(s.f_blocks) * static_cast<int64_t>(s.f_frsize);
}

int GetDriveType(const AnsiString& root) {
  return DirectoryExists(root.empty() ? AnsiString("/") : root) ? DRIVE_FIXED : DRIVE_NO_ROOT_DIR;
}

AnsiString GetTempPath() {
  const char* t = std::getenv("TMPDIR");
  AnsiString dir = (t && *t) ? t : "/tmp";
  return IncludeTrailingPathDelimiter(dir);
}

AnsiString GetTempFileName(const AnsiString& dir, const AnsiString& prefix) {
  AnsiString base = IncludeTrailingPathDelimiter(dir.empty() ? GetTempPath() : dir);
  static unsigned counter = static_cast<unsigned>(::getpid()) * 7919u;
  for (int tries = 0; tries < 65536; ++tries) {
    counter = (counter + 1) & 0xFFFF;
    char num[8];
    std::snprintf(num, sizeof num, "%X", counter ? counter : 1);
    AnsiString name = base + prefix + num + ".tmp";
    int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      return name;
    }
    if (errno != EEXIST) return {};
  }
  return {};
}

void SetProgramArgs(int argc, char** argv) {
  gArgs.assign(argv, argv + argc);
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  gExeName = n > 0 ? AnsiString(buf, static_cast<std::size_t>(n)) : (argc > 0 ? ExpandFileName(argv[0]) : AnsiString());
}

void SetExeNameForTesting(const AnsiString& path) { gExeName = path; }

AnsiString ParamStr(int index) {
  if (index == 0) {
    if (gExeName.empty()) {
      char buf[PATH_MAX];
      ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
      if (n > 0) gExeName.assign(buf, static_cast<std::size_t>(n));
    }
    return gExeName;
  }
  return index > 0 && index < static_cast<int>(gArgs.size()) ? gArgs[static_cast<std::size_t>(index)] : AnsiString();
}

int ParamCount() { return gArgs.empty() ? 0 : static_cast<int>(gArgs.size()) - 1; }

int GetLastError() { return errno; }

AnsiString SysErrorMessage(int code) { return std::strerror(code); }
