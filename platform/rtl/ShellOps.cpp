#include "platform/rtl/ShellOps.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/rtl/Files.h"
#include "platform/rtl/Format.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

int codeOf(const std::error_code& ec) {
  switch (ec.value()) {
    case ENOENT: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS: return ERROR_ACCESS_DENIED;
    case ENOSPC: return ERROR_DISK_FULL;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    default: return ERROR_ACCESS_DENIED;
  }
}

bool hasWildcard(const AnsiString& name) {
  return ExtractFileName(name).find_first_of("*?") != AnsiString::npos;
}

bool exists(const AnsiString& p) {
  std::error_code ec;
  return fs::symlink_status(fs::path(p), ec).type() != fs::file_type::not_found && !ec;
}

bool isFolder(const AnsiString& p) {
  std::error_code ec;
  return fs::is_directory(fs::path(p), ec);
}

// One source after wildcards are expanded, and the name it goes to.
struct Item {
  AnsiString Source;
  AnsiString Target;
};

class Runner {
public:
  explicit Runner(TSHFileOpStruct& op) : FOp(op) {}

  int Run() {
    if (FOp.From.empty()) return ERROR_INVALID_PARAMETER;
    std::vector<AnsiString> to;
    for (const AnsiString& t : FOp.To) to.push_back(trimDelim(t));
    bool multi = FOp.fFlags & FOF_MULTIDESTFILES;
    if (FOp.wFunc != FO_DELETE) {
      if (to.empty() || (multi && to.size() != FOp.From.size())) return ERROR_INVALID_PARAMETER;
    }
    std::vector<Item> items;
    for (std::size_t i = 0; i < FOp.From.size(); ++i) {
      std::vector<AnsiString> sources;
      if (int rc = expand(FOp.From[i], sources)) return rc;
      for (const AnsiString& s : sources) items.push_back({s, multi ? to[i] : AnsiString()});
    }
    if (FOp.wFunc == FO_DELETE) {
      for (const Item& it : items)
        if (int rc = remove(it.Source)) return rc;
      return ERROR_SUCCESS;
    }
    if (!multi) {
      // Several sources, a wildcard or an existing folder: the destination is a folder.
      bool intoFolder = items.size() > 1 || hasWildcard(FOp.From[0]) || isFolder(to[0]);
      if (FOp.wFunc == FO_RENAME) intoFolder = false;
      for (Item& it : items) {
        if (intoFolder)
          it.Target = IncludeTrailingPathDelimiter(to[0]) + ExtractFileName(it.Source);
        else if (FOp.wFunc == FO_RENAME && ExtractFilePath(to[0]).empty())
          it.Target = ExtractFilePath(it.Source) + to[0];
        else
          it.Target = to[0];
      }
      if (FOp.wFunc == FO_RENAME && items.size() != 1) return ERROR_INVALID_PARAMETER;
    }
    for (const Item& it : items)
      if (int rc = transfer(it.Source, it.Target)) return rc;
    return ERROR_SUCCESS;
  }

private:
  static AnsiString trimDelim(AnsiString s) {
    while (s.size() > 1 && s.back() == PathDelim) s.pop_back();
    return s;
  }

  int expand(const AnsiString& from, std::vector<AnsiString>& out) {
    AnsiString name = trimDelim(from);
    if (!hasWildcard(name)) {
      if (!exists(name)) return ERROR_FILE_NOT_FOUND;
      out.push_back(name);
      return ERROR_SUCCESS;
    }
    AnsiString folder = ExtractFilePath(name), mask = ExtractFileName(name);
    std::error_code ec;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder), ec), end;
    if (ec) return ERROR_PATH_NOT_FOUND;
    std::vector<AnsiString> found;
    for (; it != end; it.increment(ec)) {
      AnsiString entry = it->path().filename().string();
      if (!MatchesMask(entry, mask) && mask != "*.*") continue;
      if ((FOp.fFlags & FOF_FILESONLY) && it->is_directory(ec)) continue;
      found.push_back(folder + entry);
    }
    std::sort(found.begin(), found.end());
    out.insert(out.end(), found.begin(), found.end());
    return ERROR_SUCCESS;
  }

  int decline() {
    FOp.fAnyOperationsAborted = true;
    return DE_OPCANCELLED;
  }
  bool confirmed() const { return FOp.fFlags & FOF_NOCONFIRMATION; }

  int remove(const AnsiString& name) {
    std::error_code ec;
    fs::remove_all(fs::path(name), ec);
    return ec ? codeOf(ec) : ERROR_SUCCESS;
  }

  int ensureFolder(const AnsiString& folder) {
    if (folder.empty() || isFolder(folder)) return ERROR_SUCCESS;
    if (!(FOp.fFlags & (FOF_NOCONFIRMMKDIR | FOF_NOCONFIRMATION))) return decline();
    std::error_code ec;
    fs::create_directories(fs::path(folder), ec);
    return ec ? codeOf(ec) : ERROR_SUCCESS;
  }

  // A free name "Copy of X", "Copy (2) of X", ... beside the wanted one.
  static AnsiString collisionName(const AnsiString& target) {
    AnsiString folder = ExtractFilePath(target), name = ExtractFileName(target);
    for (int n = 1;; ++n) {
      AnsiString candidate = folder + (n == 1 ? AnsiString("Copy of ") : Format("Copy (%d) of ", {n})) + name;
      if (!exists(candidate)) return candidate;
    }
  }

  int transfer(const AnsiString& source, AnsiString target) {
    std::error_code ec;
    fs::path src(source);
    if (fs::equivalent(src, fs::path(target), ec)) {
      if (FOp.wFunc == FO_COPY && (FOp.fFlags & FOF_RENAMEONCOLLISION))
        target = collisionName(target);
      else if (FOp.wFunc == FO_RENAME && source != target)
        ;  // a change of letter case only
      else
        return DE_SAMEFILE;
    }
    if (isFolder(source)) {
      AnsiString a = IncludeTrailingPathDelimiter(fs::weakly_canonical(src, ec).string());
      AnsiString b = fs::weakly_canonical(fs::path(target), ec).string();
      if (b.compare(0, a.size(), a) == 0) return DE_DESTSUBTREE;
    }
    if (exists(target) && !fs::equivalent(src, fs::path(target), ec)) {
      if (FOp.wFunc == FO_RENAME) return ERROR_ALREADY_EXISTS;
      if (FOp.fFlags & FOF_RENAMEONCOLLISION)
        target = collisionName(target);
      else if (!isFolder(target) && !confirmed())
        return decline();
    }
    if (int rc = ensureFolder(ExcludeTrailingPathDelimiter(ExtractFilePath(target)))) return rc;
    if (FOp.wFunc == FO_MOVE || FOp.wFunc == FO_RENAME) {
      if (!isFolder(target) || !isFolder(source)) {
        if (isFolder(target) != isFolder(source) && exists(target)) return ERROR_ALREADY_EXISTS;
        fs::rename(src, fs::path(target), ec);
        if (!ec) return ERROR_SUCCESS;
        if (ec.value() != EXDEV) return codeOf(ec);
      }
      // Another file system, or a folder merged into an existing one: copy, then remove.
      if (int rc = copy(source, target)) return rc;
      return remove(source);
    }
    return copy(source, target);
  }

  int copy(const AnsiString& source, const AnsiString& target) {
    std::error_code ec;
    if (isFolder(source)) {
      if (!isFolder(target)) {
        if (exists(target)) return ERROR_ALREADY_EXISTS;
        fs::create_directory(fs::path(target), ec);
        if (ec) return codeOf(ec);
      }
      std::vector<AnsiString> names;
      for (fs::directory_iterator it(fs::path(source), ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
      if (ec) return codeOf(ec);
      std::sort(names.begin(), names.end());
      for (const AnsiString& n : names) {
        AnsiString s = IncludeTrailingPathDelimiter(source) + n, t = IncludeTrailingPathDelimiter(target) + n;
        if (exists(t) && !isFolder(t) && !confirmed()) return decline();
        if (int rc = copy(s, t)) return rc;
      }
      return ERROR_SUCCESS;
    }
    fs::copy_file(fs::path(source), fs::path(target), fs::copy_options::overwrite_existing, ec);
    if (ec) return codeOf(ec);
    // The copy keeps the source's time, as the shell's copy does.
    auto when = fs::last_write_time(fs::path(source), ec);
    if (!ec) fs::last_write_time(fs::path(target), when, ec);
    return ERROR_SUCCESS;
  }

  TSHFileOpStruct& FOp;
};

bool onPath(const char* program) {
  const char* path = std::getenv("PATH");
  if (!path) return false;
  AnsiString all = path;
  std::size_t start = 0;
  while (start <= all.size()) {
    std::size_t end = all.find(':', start);
    if (end == AnsiString::npos) end = all.size();
    AnsiString dir = all.substr(start, end - start);
    if (dir.empty()) dir = ".";
    AnsiString candidate = dir + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0 && !isFolder(candidate)) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

int SHFileOperation(TSHFileOpStruct& op) {
  op.fAnyOperationsAborted = false;
  if (op.wFunc < FO_MOVE || op.wFunc > FO_RENAME) return ERROR_INVALID_PARAMETER;
  return Runner(op).Run();
}

AnsiString ShellErrorMessage(int code) {
  switch (code) {
    case ERROR_SUCCESS: return "The operation completed successfully.";
    case ERROR_FILE_NOT_FOUND: return "The system cannot find the file specified.";
    case ERROR_PATH_NOT_FOUND: return "The system cannot find the path specified.";
    case ERROR_ACCESS_DENIED: return "Access is denied.";
    case ERROR_NO_MORE_FILES: return "There are no more files.";
    case ERROR_INVALID_PARAMETER: return "The parameter is incorrect.";
    case ERROR_DISK_FULL: return "There is not enough space on the disk.";
    case ERROR_DIR_NOT_EMPTY: return "The directory is not empty.";
    case ERROR_ALREADY_EXISTS: return "Cannot create a file when that file already exists.";
    case ERROR_CANCELLED: return "The operation was canceled by the user.";
    case DE_SAMEFILE: return "The source and destination files are the same file.";
    case DE_OPCANCELLED: return "The operation was canceled.";
    case DE_DESTSUBTREE: return "The destination folder is a subfolder of the source folder.";
    default: return Format("Unknown error %d", {code});
  }
}

int ShellExecute(const AnsiString& Operation, const AnsiString& File) {
  if (!Operation.empty() && !SameText(Operation, "open")) return SE_ERR_NOASSOC;
  if (File.empty() || !onPath("xdg-open")) return SE_ERR_FNF;
  // The shell puts the handler in the background and ends at once, so nothing is left to reap.
  const char* argv[] = {"/bin/sh", "-c", "xdg-open \"$1\" >/dev/null 2>&1 </dev/null &", "sh", File.c_str(),
                        nullptr};
  pid_t pid;
  if (::posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return SE_ERR_FNF;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 42 : SE_ERR_FNF;
}
