#include "zip/engine/ZpUtils.h"

#include <algorithm>

#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"
#include "zip/engine/ZpExceptions.h"

void TZpPadLock::Lock(bool lock) {
  if (lock) {
    FSection.lock();
    ++FCount;
  } else if (FCount > 0) {
    --FCount;
    FSection.unlock();
  }
}

uint8_t ZpPercentage(int64_t done, int64_t total) {
  if (total > 0xFA0000) {
    done = (done + 128) >> 8;
    total = (total + 128) >> 8;
  }
  if (total <= 0) return 0;
  if (done >= total) return 100;
  if (done <= 0) return 0;
  return static_cast<uint8_t>(done * 100 / total);
}

AnsiString ZpForwardSlashes(const AnsiString& path) {
  AnsiString s = path;
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

AnsiString ZpBackSlashes(const AnsiString& path) {
  AnsiString s = path;
  std::replace(s.begin(), s.end(), '/', '\\');
  return s;
}

void ZpParsePath(const AnsiString& path, AnsiString& drive, AnsiString& folder, AnsiString& name) {
  AnsiString s = ZpForwardSlashes(path);
  drive.clear();
  std::size_t start = 0;
  if (s.size() >= 2 && s[1] == ':' && IsAnsiAlpha(s[0]) && static_cast<unsigned char>(s[0]) < 128) {
    start = 2;
  } else if (s.size() >= 2 && s[0] == '/' && s[1] == '/') {
    // "//server/share" is the root of a network path.
    std::size_t server = s.find('/', 2);
    std::size_t share = server == AnsiString::npos ? AnsiString::npos : s.find('/', server + 1);
    start = share == AnsiString::npos ? s.size() : share;
  }
  drive = s.substr(0, start);
  std::size_t slash = s.rfind('/');
  if (slash == AnsiString::npos || slash < start) {
    folder.clear();
    name = s.substr(start);
  } else {
    folder = s.substr(start, slash + 1 - start);
    name = s.substr(slash + 1);
  }
}

AnsiString ZpStripDrive(const AnsiString& path) {
  AnsiString drive, folder, name;
  ZpParsePath(path, drive, folder, name);
  return folder + name;
}

AnsiString ZpRemoveLeadingDots(const AnsiString& path) {
  AnsiString s = ZpForwardSlashes(path);
  while (s.compare(0, 3, "../") == 0) s.erase(0, 3);
  return s;
}

AnsiString ZpRemoveDotParts(const AnsiString& path) {
  AnsiString s = ZpForwardSlashes(path);
  AnsiString out;
  std::size_t i = 0;
  while (i <= s.size()) {
    std::size_t j = s.find('/', i);
    if (j == AnsiString::npos) j = s.size();
    AnsiString part = s.substr(i, j - i);
    bool last = j == s.size();
    if (part != "." && part != "..") {
      out += part;
      if (!last) out += '/';
    }
    i = j + 1;
  }
  return out;
}

AnsiString ZpAddTrailingDelimiter(const AnsiString& path) {
  if (!path.empty() && (path.back() == '/' || path.back() == '\\')) return path;
  return path + PathDelim;
}

int ZpPathType(const AnsiString& mask) {
  AnsiString s = ZpForwardSlashes(mask);
  if (s.find("//") != AnsiString::npos || s.find(':') != AnsiString::npos || (!s.empty() && s[0] == '/')) return 2;
  if (s.find('/') != AnsiString::npos) return 1;
  return 0;
}

std::size_t ZpFindNthSlash(const AnsiString& path, int n) {
  int seen = 0;
  for (std::size_t i = 0; i < path.size(); ++i)
    if ((path[i] == '/' || path[i] == '\\') && ++seen == n) return i + 1;
  return 0;
}

void ZpSplitFolder(const AnsiString& folder, TStrings& parts) {
  AnsiString s = ZpForwardSlashes(folder);
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t j = s.find('/', i);
    if (j == AnsiString::npos) j = s.size();
    if (j > i) parts.Add(s.substr(i, j - i));
    i = j + 1;
  }
}

bool ZpIsUtf8BeyondAscii(const AnsiString& name) {
  bool beyond = false;
  for (std::size_t i = 0; i < name.size();) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    int more;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) more = 1, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) more = 2, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) more = 3, cp = c & 0x07;
    else return false;
    if (i + std::size_t(more) >= name.size()) return false;
    for (int k = 1; k <= more; ++k) {
      const auto t = static_cast<unsigned char>(name[i + std::size_t(k)]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
    if ((more == 2 && cp < 0x800) || (more == 3 && cp < 0x10000) || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
      return false;
    beyond = true;
    i += std::size_t(more) + 1;
  }
  return beyond;
}

bool ZpHasWildcards(const AnsiString& name) { return name.find_first_of("*?") != AnsiString::npos; }

bool ZpDirectoryExists(const AnsiString& name) {
  if (ZpHasWildcards(name)) return false;
  return DirectoryExists(name.empty() ? AnsiString(".") : name);
}

void ZpCreateDirectories(const AnsiString& path) {
  AnsiString s = ZpForwardSlashes(path);
  if (s.empty() || ZpDirectoryExists(s)) return;
  // Level by level, so a file in the way of a folder is noticed at its level.
  std::size_t i = s[0] == '/' ? 1 : 0;
  while (i <= s.size()) {
    std::size_t j = s.find('/', i);
    if (j == AnsiString::npos) j = s.size();
    AnsiString level = s.substr(0, j);
    if (!level.empty() && level.back() != '/' && !ZpDirectoryExists(level)) {
      if (!CreateDir(level) && !ZpDirectoryExists(level)) throw EZpNoSuchDirectory();
    }
    i = j + 1;
  }
}

AnsiString ZpShortPath(const AnsiString& path) {
  // Names on this platform have no short form; each level is checked by a search as it is met.
  AnsiString s = ZpForwardSlashes(path);
  AnsiString drive, folder, name;
  ZpParsePath(s, drive, folder, name);
  AnsiString out = drive;
  std::size_t i = 0;
  if (!folder.empty() && folder[0] == '/') {
    out += '/';
    i = 1;
  }
  while (i < folder.size()) {
    std::size_t j = folder.find('/', i);
    if (j == AnsiString::npos) j = folder.size();
    AnsiString part = folder.substr(i, j - i);
    if (!part.empty()) {
      AnsiString level = out + part;
      if (part != "." && part != ".." && !DirectoryExists(level)) throw EZpException("Path not found");
      out = level + '/';
    }
    i = j + 1;
  }
  if (!name.empty()) {
    if (!FileExists(out + name) && !DirectoryExists(out + name)) throw EZpFileNotFound();
    out += name;
  }
  return out;
}

void ZpFindFiles(const AnsiString& mask, int searchAttr, TStrings& files, bool recurse) {
  AnsiString m = ZpForwardSlashes(mask);
  AnsiString folder = ExtractFilePath(m);
  AnsiString filePart = ExtractFileName(m);
  TSearchRec rec;
  if (FindFirst(m, searchAttr, rec) == 0) {
    do {
      if (rec.Name != "." && rec.Name != "..") files.Add(folder + rec.Name);
    } while (FindNext(rec) == 0);
  }
  FindClose(rec);
  if (!recurse) return;
  TSearchRec dir;
  if (FindFirst(folder + "*", faDirectory, dir) == 0) {
    do {
      if ((dir.Attr & faDirectory) && dir.Name != "." && dir.Name != "..")
        ZpFindFiles(folder + dir.Name + '/' + filePart, searchAttr, files, true);
    } while (FindNext(dir) == 0);
  }
  FindClose(dir);
}

namespace {

// "*" tries the shortest run first; iterative with one backtrack point, so no blow-up on long masks.
bool MatchPart(std::string_view name, std::string_view mask) {
  std::size_t n = 0, m = 0, starM = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || mask[m] == name[n])) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      starM = m++;
      starN = n;
    } else if (starM != std::string_view::npos) {
      m = starM + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

}  // namespace

bool ZpMatchWildcard(const AnsiString& name, const AnsiString& mask) {
  AnsiString n = AnsiUpperCase(ZpForwardSlashes(name));
  AnsiString k = AnsiUpperCase(ZpForwardSlashes(mask));
  std::size_t ms = k.rfind('/');
  std::size_t ns = n.rfind('/');
  AnsiString maskFile = ms == AnsiString::npos ? k : k.substr(ms + 1);
  AnsiString nameFile = ns == AnsiString::npos ? n : n.substr(ns + 1);
  if (ms != AnsiString::npos) {
    AnsiString maskDir = k.substr(0, ms);
    AnsiString nameDir = ns == AnsiString::npos ? AnsiString() : n.substr(0, ns);
    if (!MatchPart(nameDir, maskDir)) return false;
  }
  if (maskFile == "*.*" || maskFile == "*") return true;
  return MatchPart(nameFile, maskFile);
}

bool ZpDriveIsRemovable(const AnsiString& path) {
  AnsiString drive, folder, name;
  ZpParsePath(ExpandFileName(path), drive, folder, name);
  return GetDriveType(drive.empty() ? AnsiString("/") : drive) == DRIVE_REMOVABLE;
}

int64_t ZpDiskFree(const AnsiString& path) {
  int64_t free = DiskFree(path);
  if (free < 0 || free >= (int64_t(2) << 30)) return 0;
  return free;
}

int ZpSetVolumeLabel(const AnsiString&, const AnsiString&) {
  // Volumes carry no labels here; there is nothing to fail.
  return 0;
}

void ZpTruncateFile(TFileStream& stream, int64_t position) { stream.SetSize(position); }

AnsiString ZpTempFileName(const AnsiString& folder) {
  AnsiString dir = (!folder.empty() && ZpDirectoryExists(folder)) ? folder : GetTempPath();
  return GetTempFileName(dir, "VMS");
}
