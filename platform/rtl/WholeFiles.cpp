#include "platform/rtl/WholeFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"

namespace {

constexpr const char* kPrefix = ".qvx-";
constexpr const char* kSuffix = ".part";
constexpr int kNameTries = 1000;

[[noreturn]] void Raise(const AnsiString& target, int err) {
  throw EInOutError(Format("Cannot write %s: %s", {target, SysErrorMessage(err)}), err);
}

AnsiString FolderOf(const AnsiString& target) {
  const AnsiString folder = ExtractFilePath(target);
  return folder.empty() ? AnsiString("./") : folder;
}

// The writer's process id of a temporary's name; 0 when the name is none of ours.
long WriterOf(const AnsiString& name) {
  const std::size_t prefix = std::strlen(kPrefix), suffix = std::strlen(kSuffix);
  if (name.size() <= prefix + suffix || name.compare(0, prefix, kPrefix) != 0 ||
      name.compare(name.size() - suffix, suffix, kSuffix) != 0)
    return 0;
  const char* p = name.c_str() + prefix;
  char* end = nullptr;
  const long pid = std::strtol(p, &end, 10);
  if (end == p || *end != '-' || pid <= 0) return 0;
  const char* q = end + 1;
  const long n = std::strtol(q, &end, 10);
  if (end == q || n < 0 || std::size_t(end - name.c_str()) != name.size() - suffix) return 0;
  return pid;
}

// The process id, asked once; a forked child asks again.
long OwnId() {
  static long id = [] {
    ::pthread_atfork(nullptr, nullptr, [] { id = 0; });
    return 0L;
  }();
  if (id == 0) id = long(::getpid());
  return id;
}

bool Alive(long pid) { return ::kill(pid_t(pid), 0) == 0 || errno == EPERM; }

}  // namespace

void SyncFolder(const AnsiString& Folder) {
  const int fd = ::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

AnsiString CreateTempBeside(const AnsiString& Target) {
  int fd = -1;
  AnsiString path = CreateTempBeside(Target, &fd);
  ::close(fd);
  return path;
}

AnsiString CreateTempBeside(const AnsiString& Target, int* Handle, int Folder) {
  static unsigned counter = 0;
  const AnsiString folder = FolderOf(Target);
  for (int i = 0; i < kNameTries; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "%s%ld-%u%s", kPrefix, OwnId(), ++counter, kSuffix);
    const AnsiString path = IncludeTrailingPathDelimiter(folder) + name;
    const int flags = O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC;
    const int fd = Folder >= 0 ? ::openat(Folder, name, flags, 0666) : ::open(path.c_str(), flags, 0666);
    if (fd >= 0) {
      *Handle = fd;
      return path;
    }
    if (errno != EEXIST) Raise(Target, errno);
  }
  Raise(Target, EEXIST);
}

bool IsTempName(const AnsiString& FileName) { return WriterOf(ExtractFileName(FileName)) != 0; }

namespace {

// Flushes Temp's data; 0 or the error number.
int FlushTemp(const AnsiString& Temp, int Handle) {
  const int fd = Handle >= 0 ? Handle : ::open(Temp.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  int err = 0;
  if (::fsync(fd) != 0) err = errno;
  if (fd != Handle) ::close(fd);
  return err;
}

}  // namespace

void CommitTemp(const AnsiString& Temp, const AnsiString& Target, int Handle, bool SyncFolder) {
  int err = FlushTemp(Temp, Handle);
  if (err == 0 && std::rename(Temp.c_str(), Target.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(Temp.c_str());
    Raise(Target, err);
  }
  if (SyncFolder) ::SyncFolder(FolderOf(Target));
}

bool CommitTempIfAbsent(const AnsiString& Temp, const AnsiString& Target, int Handle, bool SyncFolder, int Folder) {
  int err = FlushTemp(Temp, Handle);
  const AnsiString from = Folder >= 0 ? ExtractFileName(Temp) : Temp;
  const AnsiString to = Folder >= 0 ? ExtractFileName(Target) : Target;
  const int at = Folder >= 0 ? Folder : AT_FDCWD;
  if (err == 0 && ::renameat2(at, from.c_str(), at, to.c_str(), RENAME_NOREPLACE) != 0) {
    err = errno;
    if (err == EEXIST) return false;
    if (err == EINVAL || err == ENOSYS) {
      // A file system that cannot refuse in the rename itself: look just before.
      struct stat st{};
      if (::fstatat(at, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return false;
      err = ::renameat(at, from.c_str(), at, to.c_str()) == 0 ? 0 : errno;
    }
  }
  if (err != 0) {
    ::unlink(Temp.c_str());
    Raise(Target, err);
  }
  if (SyncFolder) ::SyncFolder(FolderOf(Target));
  return true;
}

void WriteFileWhole(const AnsiString& Target, std::string_view Data) {
  const AnsiString temp = CreateTempBeside(Target);
  const int fd = ::open(temp.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  int err = fd < 0 ? errno : 0;
  std::size_t done = 0;
  while (err == 0 && done < Data.size()) {
    const ssize_t n = ::write(fd, Data.data() + done, Data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) err = n < 0 ? errno : EIO;
    else done += std::size_t(n);
  }
  if (fd >= 0 && ::close(fd) != 0 && err == 0) err = errno;
  if (err != 0) {
    ::unlink(temp.c_str());
    Raise(Target, err);
  }
  CommitTemp(temp, Target);
}

int RemoveStaleTemps(const AnsiString& Folder) {
  DIR* dir = ::opendir(Folder.empty() ? "." : Folder.c_str());
  if (!dir) return 0;
  int removed = 0;
  while (const dirent* e = ::readdir(dir)) {
    const long pid = WriterOf(e->d_name);
    if (pid == 0 || Alive(pid)) continue;
    if (::unlink((IncludeTrailingPathDelimiter(Folder) + e->d_name).c_str()) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

TTempBeside::~TTempBeside() {
  if (!FCommitted) ::unlink(FName.c_str());
}

void TTempBeside::Commit(int Handle, bool SyncFolder) {
  FCommitted = true;
  CommitTemp(FName, FTarget, Handle, SyncFolder);
}

bool TTempBeside::CommitIfAbsent(int Handle, bool SyncFolder) {
  // A commit that raises has removed the temporary itself; one that finds the name taken keeps it.
  FCommitted = true;
  FCommitted = CommitTempIfAbsent(FName, FTarget, Handle, SyncFolder, FFolder);
  return FCommitted;
}
