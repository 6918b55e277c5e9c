#include "controls/ctlIniStore.h"

#include <cstring>
#include <vector>

#include "platform/rtl/Files.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/WholeFiles.h"

// ---- TCtlAbstractStore ----

void TCtlAbstractStore::Open() {
  if (FOpenCount == 0) OpenStorage();  // a failed open leaves the store closed
  ++FOpenCount;
}

void TCtlAbstractStore::Close() {
  if (FOpenCount > 0) --FOpenCount;
  if (FOpenCount == 0) CloseStorage();
}

void TCtlAbstractStore::EraseSection(const AnsiString&) {}

int TCtlAbstractStore::ReadInteger(const AnsiString& Section, const AnsiString& Item, int Default) {
  AnsiString s = ReadString(Section, Item, IntToStr(Default));
  int64_t v;
  if (!TryStrToInt(s, v) || v < INT32_MIN || v > INT32_MAX) return Default;
  return static_cast<int>(v);
}

void TCtlAbstractStore::WriteInteger(const AnsiString& Section, const AnsiString& Item, int Value) {
  WriteString(Section, Item, IntToStr(Value));
}

// ---- the ini file: kept whole in memory, unknown lines and comments preserved ----

class TCtlIniFile {
public:
  explicit TCtlIniFile(AnsiString fileName) : FFileName(std::move(fileName)) {
    if (!FileExists(FFileName)) return;
    TStringList lines;
    lines.LoadFromFile(FFileName);
    FSections.push_back({});  // lines before the first section belong to no section
    for (int i = 0; i < lines.Count(); ++i) {
      AnsiString line = lines[i];
      // An editor's byte-order mark would hide the first section header; it is written back.
      if (i == 0 && line.rfind(kUtf8Bom, 0) == 0) {
        FBom = true;
        line.erase(0, std::strlen(kUtf8Bom));
      }
      AnsiString name;
      if (sectionHeader(line, name))
        FSections.push_back({name, line, {}});
      else
        FSections.back().Lines.push_back(line);
    }
  }

  AnsiString Read(const AnsiString& section, const AnsiString& item, const AnsiString& def) const {
    const Section* s = find(Trim(section));
    if (!s) return def;
    AnsiString want = Trim(item), name, value;
    for (const AnsiString& line : s->Lines)
      if (itemLine(line, name, value) && AnsiCompareText(name, want) == 0) return value;
    return def;
  }

  void Write(const AnsiString& section, const AnsiString& item, const AnsiString& value) {
    AnsiString sec = Trim(section), want = Trim(item), name, v;
    AnsiString text = want + "=" + value;
    Section* s = find(sec);
    if (!s) {
      FSections.push_back({sec, "[" + sec + "]", {text}});
      FModified = true;
      return;
    }
    std::size_t last = 0;  // one past the last non-blank line, so trailing blanks stay trailing
    for (std::size_t i = 0; i < s->Lines.size(); ++i) {
      if (itemLine(s->Lines[i], name, v) && AnsiCompareText(name, want) == 0) {
        if (s->Lines[i] != text) FModified = true;
        s->Lines[i] = text;
        return;
      }
      if (!Trim(s->Lines[i]).empty()) last = i + 1;
    }
    s->Lines.insert(s->Lines.begin() + static_cast<std::ptrdiff_t>(last), text);
    FModified = true;
  }

  void Erase(const AnsiString& section) {
    AnsiString sec = Trim(section);
    for (std::size_t i = FSections.size(); i-- > 0;)
      if (FSections[i].HasHeader() && AnsiCompareText(FSections[i].Name, sec) == 0) {
        FSections.erase(FSections.begin() + static_cast<std::ptrdiff_t>(i));
        FModified = true;
      }
  }

  void Flush() {
    if (!FModified) return;
    AnsiString data = FBom ? kUtf8Bom : "";
    for (const Section& s : FSections) {
      if (s.HasHeader()) data += s.Header + "\r\n";
      for (const AnsiString& line : s.Lines) data += line + "\r\n";
    }
    try {
      // Whole or not at all: a full disk leaves the old file as it was.
      WriteFileWhole(FFileName, data);
    } catch (const Exception& e) {
      throw ECtlStoreError("Cannot write settings file %s: %s", {FFileName, e.Message()});
    }
    FModified = false;
  }

  bool Modified() const { return FModified; }

private:
  struct Section {
    AnsiString Name;
    AnsiString Header;  // the line as read; empty for the lines before the first section
    std::vector<AnsiString> Lines;
    bool HasHeader() const { return !Header.empty(); }
  };

  static bool sectionHeader(const AnsiString& line, AnsiString& name) {
    AnsiString t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    std::size_t close = t.find(']');
    if (close == AnsiString::npos) return false;
    name = Trim(t.substr(1, close - 1));
    return true;
  }

  static bool itemLine(const AnsiString& line, AnsiString& name, AnsiString& value) {
    AnsiString t = TrimLeft(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') return false;
    std::size_t eq = t.find('=');
    if (eq == AnsiString::npos) return false;
    name = Trim(t.substr(0, eq));
    value = Trim(t.substr(eq + 1));
    return true;
  }

  Section* find(const AnsiString& name) {
    for (Section& s : FSections)
      if (s.HasHeader() && AnsiCompareText(s.Name, name) == 0) return &s;
    return nullptr;
  }
  const Section* find(const AnsiString& name) const { return const_cast<TCtlIniFile*>(this)->find(name); }

  static constexpr const char* kUtf8Bom = "\xEF\xBB\xBF";

  AnsiString FFileName;
  std::vector<Section> FSections;
  bool FModified = false;
  bool FBom = false;
};

// ---- TCtlIniFileStore ----

TCtlIniFileStore::TCtlIniFileStore(TComponent* AOwner) : TCtlAbstractStore(AOwner) {}

TCtlIniFileStore::~TCtlIniFileStore() {
  // A store freed while open still keeps what was written to it.
  if (FIniFile) {
    try {
      FIniFile->Flush();
    } catch (const Exception&) {
    }
  }
}

AnsiString TCtlIniFileStore::IniFileName() const {
  AnsiString name = FIniFileName;
  if (HasState(csDesigning)) return name;
  if (name.empty()) name = ExtractFileName(ChangeFileExt(ParamStr(0), ".INI"));
  // Only the name part counts: a dot in a folder name is no extension.
  if (ExtractFileName(name).find('.') == AnsiString::npos) name += ".INI";
  return name;
}

AnsiString TCtlIniFileStore::StoragePath() const {
  AnsiString name = IniFileName();
  AnsiString exeDir = ExtractFilePath(ParamStr(0));
  if (!exeDir.empty()) exeDir = IncludeTrailingPathDelimiter(exeDir);
  if (FUseExeDir) return exeDir + ExtractFileName(name);
  // A bare name would land wherever the process happens to run; keep it beside the program.
  if (ExtractFilePath(name).empty()) return exeDir + name;
  return name;
}

void TCtlIniFileStore::OpenStorage() { FIniFile = std::make_unique<TCtlIniFile>(StoragePath()); }

void TCtlIniFileStore::CloseStorage() {
  if (!FIniFile) return;
  std::unique_ptr<TCtlIniFile> file = std::move(FIniFile);
  file->Flush();
}

TCtlIniFile& TCtlIniFileStore::checkOpen(const char* what) {
  if (!FIniFile) throw ECtlStoreError("Settings store %s is not open (%s)", {IniFileName(), AnsiString(what)});
  return *FIniFile;
}

AnsiString TCtlIniFileStore::ReadString(const AnsiString& Section, const AnsiString& Item,
                                        const AnsiString& Default) {
  return checkOpen("ReadString").Read(Section, Item, Default);
}

void TCtlIniFileStore::WriteString(const AnsiString& Section, const AnsiString& Item, const AnsiString& Value) {
  checkOpen("WriteString").Write(Section, Item, Value);
}

void TCtlIniFileStore::EraseSection(const AnsiString& Section) { checkOpen("EraseSection").Erase(Section); }
