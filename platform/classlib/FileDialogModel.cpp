#include "platform/classlib/FileDialogModel.h"

#include <algorithm>

#include "platform/rtl/Files.h"
#include "platform/rtl/Format.h"

namespace {

constexpr const char* kFileNotFound = "%s\rFile not found.\rCheck the file name and try again.";
constexpr const char* kPathNotFound = "%s\rPath does not exist.\rCheck the path and try again.";
constexpr const char* kNameNotValid = "%s\rThe file name is not valid.";
constexpr const char* kOneFileOnly = "Only one file can be chosen here.";

AnsiString TrimBlanks(const AnsiString& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

std::vector<AnsiString> SplitAt(const AnsiString& s, char sep) {
  std::vector<AnsiString> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t p = s.find(sep, start);
    parts.push_back(s.substr(start, p == AnsiString::npos ? AnsiString::npos : p - start));
    if (p == AnsiString::npos) return parts;
    start = p + 1;
  }
}

bool NameLess(const AnsiString& a, const AnsiString& b) {
  const int c = AnsiCompareText(a, b);
  return c != 0 ? c < 0 : a < b;
}

}  // namespace

std::vector<AnsiString> SplitMasks(const AnsiString& masks) {
  std::vector<AnsiString> out;
  for (const AnsiString& m : SplitAt(masks, ';')) {
    AnsiString t = TrimBlanks(m);
    if (!t.empty()) out.push_back(t);
  }
  return out;
}

std::vector<TFileFilterItem> ParseFileFilter(const AnsiString& filter) {
  std::vector<TFileFilterItem> items;
  if (filter.empty()) return items;
  const std::vector<AnsiString> parts = SplitAt(filter, '|');
  for (std::size_t i = 0; i < parts.size(); i += 2) {
    TFileFilterItem item;
    item.Description = parts[i];
    // A description without its masks stands for its own text as the mask.
    item.Masks = SplitMasks(i + 1 < parts.size() ? parts[i + 1] : parts[i]);
    if (item.Description.empty() && item.Masks.empty()) continue;
    items.push_back(std::move(item));
  }
  return items;
}

bool MatchesAnyMask(const AnsiString& name, const std::vector<AnsiString>& masks) {
  return std::any_of(masks.begin(), masks.end(), [&](const AnsiString& m) { return MatchesMask(name, m); });
}

bool HasWildcard(const AnsiString& name) { return name.find_first_of("*?") != AnsiString::npos; }

std::vector<AnsiString> SplitTypedNames(const AnsiString& text) {
  const AnsiString t = TrimBlanks(text);
  if (t.empty()) return {};
  if (t.find('"') == AnsiString::npos) return {t};
  std::vector<AnsiString> names;
  std::size_t i = 0;
  while (i < t.size()) {
    if (t[i] == '"') {
      std::size_t close = t.find('"', i + 1);
      AnsiString n = t.substr(i + 1, close == AnsiString::npos ? AnsiString::npos : close - i - 1);
      if (!TrimBlanks(n).empty()) names.push_back(n);
      i = close == AnsiString::npos ? t.size() : close + 1;
    } else if (static_cast<unsigned char>(t[i]) <= ' ') {
      ++i;
    } else {
      // A bare name between quoted ones runs to the next blank or quote.
      std::size_t end = i;
      while (end < t.size() && t[end] != '"' && static_cast<unsigned char>(t[end]) > ' ') ++end;
      names.push_back(t.substr(i, end - i));
      i = end;
    }
  }
  return names;
}

AnsiString JoinTypedNames(const std::vector<AnsiString>& names) {
  if (names.size() == 1) return names[0];
  AnsiString out;
  for (const AnsiString& n : names) {
    if (!out.empty()) out += ' ';
    out += '"' + n + '"';
  }
  return out;
}

std::vector<AnsiString> KeepPickOrder(const std::vector<AnsiString>& order, const std::vector<AnsiString>& pickedNow) {
  std::vector<AnsiString> out;
  for (const AnsiString& n : order)
    if (std::find(pickedNow.begin(), pickedNow.end(), n) != pickedNow.end()) out.push_back(n);
  for (const AnsiString& n : pickedNow)
    if (std::find(out.begin(), out.end(), n) == out.end()) out.push_back(n);
  return out;
}

AnsiString ResolvePath(const AnsiString& folder, const AnsiString& name) {
  const AnsiString whole = !name.empty() && name[0] == PathDelim ? name : IncludeTrailingPathDelimiter(folder) + name;
  std::vector<AnsiString> kept;
  for (const AnsiString& part : SplitAt(whole, PathDelim)) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!kept.empty()) kept.pop_back();
      continue;
    }
    kept.push_back(part);
  }
  AnsiString out;
  for (const AnsiString& part : kept) out += PathDelim + part;
  if (out.empty() || (!name.empty() && name.back() == PathDelim)) out += PathDelim;
  return out;
}

bool TFileDialogModel::SetFolder(const AnsiString& name) {
  const AnsiString resolved = IncludeTrailingPathDelimiter(ResolvePath(FFolder, name));
  if (!DirectoryExists(resolved)) return false;
  FFolder = resolved;
  return true;
}

bool TFileDialogModel::GoUp() {
  if (FFolder == "/") return false;
  return SetFolder("..");
}

void TFileDialogModel::SetFilter(const AnsiString& filter) {
  FItems = ParseFileFilter(filter);
  SetFilterIndex(FFilterIndex);
}

void TFileDialogModel::SetFilterIndex(int index) {
  FFilterIndex = index >= 1 && index <= static_cast<int>(FItems.size()) ? index : 1;
  FTypedMasks.clear();
}

std::vector<AnsiString> TFileDialogModel::ActiveMasks() const {
  if (!FTypedMasks.empty()) return FTypedMasks;
  if (FItems.empty()) return {"*"};
  return FItems[FFilterIndex - 1].Masks;
}

std::vector<TFolderEntry> TFileDialogModel::Entries() const {
  std::vector<AnsiString> folders, files;
  const std::vector<AnsiString> masks = ActiveMasks();
  TSearchRec rec;
  for (int rc = FindFirst(FFolder + "*", faDirectory, rec); rc == 0; rc = FindNext(rec)) {
    if (rec.Name == "." || rec.Name == "..") continue;
    if (rec.Attr & faDirectory)
      folders.push_back(rec.Name);
    else if (MatchesAnyMask(rec.Name, masks))
      files.push_back(rec.Name);
  }
  FindClose(rec);
  std::sort(folders.begin(), folders.end(), NameLess);
  std::sort(files.begin(), files.end(), NameLess);
  std::vector<TFolderEntry> out;
  if (FFolder != "/") out.push_back({"..", true});
  for (auto& f : folders) out.push_back({std::move(f), true});
  for (auto& f : files) out.push_back({std::move(f), false});
  return out;
}

TOpenOutcome TFileDialogModel::Accept(const AnsiString& typed, TOpenOptions options, const AnsiString& defaultExt) {
  const std::vector<AnsiString> names = SplitTypedNames(typed);
  if (names.empty()) return {};
  if (names.size() == 1) {
    const AnsiString& name = names[0];
    const AnsiString path = ResolvePath(FFolder, name);
    if (DirectoryExists(path)) {
      SetFolder(path);
      return {TOpenOutcome::okFolderChanged, {}, {}};
    }
    // A mask typed with or without a folder before it lists that folder through it.
    const AnsiString part = ExtractFileName(path);
    if (HasWildcard(part)) {
      const AnsiString folder = ExtractFilePath(path);
      if (HasWildcard(folder)) return {TOpenOutcome::okRejected, {}, Format(kNameNotValid, {name})};
      if (!DirectoryExists(folder)) return {TOpenOutcome::okRejected, {}, Format(kPathNotFound, {name})};
      FFolder = folder;
      FTypedMasks = SplitMasks(part);
      return {TOpenOutcome::okMaskChanged, {}, {}};
    }
  }
  return chooseFiles(names, options, defaultExt);
}

TOpenOutcome TFileDialogModel::chooseFiles(const std::vector<AnsiString>& names, TOpenOptions options,
                                           const AnsiString& defaultExt) const {
  if (names.size() > 1 && !(options & OpenOption(ofAllowMultiSelect)))
    return {TOpenOutcome::okRejected, {}, kOneFileOnly};
  TOpenOutcome out;
  for (const AnsiString& name : names) {
    AnsiString path = ResolvePath(FFolder, name);
    const AnsiString part = ExtractFileName(path);
    if (part.empty() || HasWildcard(path) || DirectoryExists(path))
      return {TOpenOutcome::okRejected, {}, Format(kNameNotValid, {name})};
    // The default extension goes on a bare name unless a file of that very name is there.
    if (!defaultExt.empty() && ExtractFileExt(part).empty() && !FileExists(path)) path += "." + defaultExt;
    const bool mustExist = (options & OpenOption(ofFileMustExist)) != 0;
    if ((mustExist || (options & OpenOption(ofPathMustExist))) && !DirectoryExists(ExtractFilePath(path)))
      return {TOpenOutcome::okRejected, {}, Format(kPathNotFound, {name})};
    if (mustExist && !FileExists(path)) return {TOpenOutcome::okRejected, {}, Format(kFileNotFound, {name})};
    // A name given twice is one file: processing it twice would fail on the second pass.
    if (std::find(out.Files.begin(), out.Files.end(), path) == out.Files.end()) out.Files.push_back(path);
  }
  out.Kind = TOpenOutcome::okChosen;
  return out;
}
