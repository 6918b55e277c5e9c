// Compiles a res/ folder into a C++ source that registers each resource with the run-time.
//
// Layout: res/<TYPE>/<NAME>.<ext>, registered as (TYPE, NAME). Most files are taken as raw bytes;
// these readable sources are compiled to the binary forms the readers expect:
//
//   res/RCDATA/<TABLE>.strtab   A string table, registered as ("RCDATA", TABLE) in the STR0 form:
//                               "STR0", int32 count, count index entries {int32 id, int32 offset,
//                               int32 length in UTF-16 units} sorted by id, then the texts as
//                               UTF-16LE without terminators. All numbers little-endian.
//   res/STRING/<any>.strtab     The program's numbered resource strings: each entry registered as
//                               ("STRING", "#<id>") holding its text in Windows-1252.
//   res/VERSION/<NAME>.ver      The version block, registered as ("VERSION", "#1") in the
//                               VS_VERSIONINFO layout with one string table and one translation.
//   res/CURSOR/<NAME>.cursor    A two-colour cursor, registered as ("CURSOR", NAME): hot spot x and
//                               y (16 bits each), then a 1-bit bitmap info header of twice the height, a
//                               black-and-white palette, the colour mask and the transparency mask,
//                               both bottom-up with rows padded to 32 bits.
//
// A .strtab file is UTF-8 text, one entry per line: "<id> <text>" (decimal id, one space, the text
// to the end of the line). Blank lines and lines starting with '#' are skipped. The text may hold
// the escapes \n \r \t and \\. Ids must be unique.
//
// A .cursor file is text: "hotspot <x> <y>", then the picture, one line per row, all rows of one
// width (1 to 256 pixels, as many rows): '.' clear, 'X' black, 'o' white. Lines starting with '#'
// and blank lines are skipped.
//
// A .ver file is UTF-8 text of "key=value" lines ('#' comments and blank lines skipped). The keys
// FileVersion, ProductVersion, LegalCopyright, LegalTrademarks, CompanyName, FileDescription,
// InternalName, OriginalFilename, ProductName and Comments become the texts of the block;
// "Translation=0409 04E4" gives the language and code page in hex (the default is that one).
// The numeric file and product versions are the first four dot-separated numbers of FileVersion
// and ProductVersion.
//
// resgen <res folder> <output.cpp> <name>   writes the registering source (only when it changed)
// resgen --compile <source file> <out.bin>  writes one source's binary form, for tests
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

struct SourceError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

Bytes readAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) throw SourceError("cannot read " + p.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string cString(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') { out += '\\'; out += char(c); }
    else if (c < 32 || c >= 127) { char b[8]; std::snprintf(b, sizeof b, "\\%03o", c); out += b; }
    else out += char(c);
  }
  return out;
}

// ---- text

std::u32string decodeUtf8(const std::string& s, const std::string& where) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + static_cast<size_t>(extra) >= s.size() + (extra == 0 ? 1 : 0))
      throw SourceError(where + ": not UTF-8");
    char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      unsigned char t = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
      if ((t >> 6) != 2) throw SourceError(where + ": not UTF-8");
      cp = (cp << 6) | (t & 0x3F);
    }
    i += static_cast<size_t>(extra) + 1;
    out += cp;
  }
  return out;
}

std::u16string toUtf16(const std::u32string& s) {
  std::u16string out;
  for (char32_t c : s) {
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

// The 0x80..0x9F row of Windows-1252; 0 marks an unused code.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0, 0x017D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

std::string toAnsi(const std::u32string& s) {
  std::string out;
  for (char32_t c : s) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out += static_cast<char>(c);
      continue;
    }
    auto it = std::find(std::begin(kCp1252High), std::end(kCp1252High), static_cast<char16_t>(c));
    out += (c <= 0xFFFF && c != 0 && it != std::end(kCp1252High))
               ? static_cast<char>(0x80 + (it - std::begin(kCp1252High)))
               : '?';
  }
  return out;
}

std::vector<std::string> lines(const Bytes& data) {
  std::vector<std::string> out;
  std::string cur;
  for (size_t i = 0; i < data.size(); ++i) {
    char c = static_cast<char>(data[i]);
    if (c == '\r' || c == '\n') {
      out.push_back(cur);
      cur.clear();
      if (c == '\r' && i + 1 < data.size() && data[i + 1] == '\n') ++i;
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) out.push_back(cur);
  if (!out.empty() && out[0].rfind("\xEF\xBB\xBF", 0) == 0) out[0].erase(0, 3);  // byte-order mark
  return out;
}

std::string unescape(const std::string& s, const std::string& where) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out += s[i];
      continue;
    }
    if (++i >= s.size()) throw SourceError(where + ": '\\' at the end of the line");
    switch (s[i]) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case '\\': out += '\\'; break;
      default: throw SourceError(where + ": unknown escape \\" + s[i]);
    }
  }
  return out;
}

// ---- string tables

using Entries = std::map<int32_t, std::u32string>;

Entries readStringTable(const fs::path& p) {
  Entries entries;
  int lineNo = 0;
  for (const std::string& line : lines(readAll(p))) {
    ++lineNo;
    std::string where = p.string() + ":" + std::to_string(lineNo);
    if (line.empty() || line[0] == '#') continue;
    size_t sp = line.find(' ');
    std::string idText = line.substr(0, sp);
    bool digits = !idText.empty() && idText.size() <= 10 &&
                  std::all_of(idText.begin() + (idText[0] == '-' ? 1 : 0), idText.end(),
                              [](char c) { return c >= '0' && c <= '9'; }) &&
                  idText != "-";
    long long id = digits ? std::stoll(idText) : 0;
    if (!digits || id > INT32_MAX || id < INT32_MIN) throw SourceError(where + ": expected \"<id> <text>\"");
    std::string text = sp == std::string::npos ? std::string() : line.substr(sp + 1);
    if (!entries.emplace(static_cast<int32_t>(id), decodeUtf8(unescape(text, where), where)).second)
      throw SourceError(where + ": id " + idText + " given twice");
  }
  return entries;
}

void put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}
void put16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<unsigned char>(v));
  b.push_back(static_cast<unsigned char>(v >> 8));
}
void putUtf16(Bytes& b, const std::u16string& s) {
  for (char16_t c : s) put16(b, c);
}

Bytes compileStr0(const Entries& entries) {
  Bytes b = {'S', 'T', 'R', '0'};
  put32(b, static_cast<uint32_t>(entries.size()));
  uint32_t offset = 8 + 12 * static_cast<uint32_t>(entries.size());
  std::vector<std::u16string> texts;
  for (auto& [id, text] : entries) {  // std::map keeps ids ascending
    texts.push_back(toUtf16(text));
    put32(b, static_cast<uint32_t>(id));
    put32(b, offset);
    put32(b, static_cast<uint32_t>(texts.back().size()));
    offset += 2 * static_cast<uint32_t>(texts.back().size());
  }
  for (auto& t : texts) putUtf16(b, t);
  return b;
}

// ---- version block

void align4(Bytes& b) {
  while (b.size() % 4) b.push_back(0);
}

// One node of the block: length, value length, type, key, value, children, each 32-bit aligned.
Bytes versionNode(const std::u16string& key, const Bytes& value, uint16_t valueLength, bool text,
                  const std::vector<Bytes>& children) {
  Bytes b;
  put16(b, 0);
  put16(b, valueLength);
  put16(b, text ? 1 : 0);
  putUtf16(b, key);
  put16(b, 0);
  align4(b);
  b.insert(b.end(), value.begin(), value.end());
  for (const Bytes& c : children) {
    align4(b);
    b.insert(b.end(), c.begin(), c.end());
  }
  if (b.size() > 0xFFFF) throw SourceError("version block too large");
  b[0] = static_cast<unsigned char>(b.size());
  b[1] = static_cast<unsigned char>(b.size() >> 8);
  return b;
}

std::u16string u16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

void versionNumbers(const std::string& text, uint32_t& ms, uint32_t& ls) {
  uint32_t part[4] = {0, 0, 0, 0};
  size_t k = 0, i = 0;
  while (k < 4 && i < text.size() && text[i] >= '0' && text[i] <= '9') {
    uint32_t v = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') v = std::min<uint32_t>(v * 10 + uint32_t(text[i++] - '0'), 0xFFFF);
    part[k++] = v;
    if (i < text.size() && text[i] == '.') ++i;
    else break;
  }
  ms = part[0] << 16 | part[1];
  ls = part[2] << 16 | part[3];
}

Bytes compileVersion(const fs::path& p) {
  static const char* const kKeys[] = {"Comments", "CompanyName", "FileDescription", "FileVersion",
                                      "InternalName", "LegalCopyright", "LegalTrademarks",
                                      "OriginalFilename", "ProductName", "ProductVersion"};
  std::map<std::string, std::string> values;
  uint16_t lang = 0x0409, codePage = 0x04E4;
  int lineNo = 0;
  for (const std::string& line : lines(readAll(p))) {
    ++lineNo;
    std::string where = p.string() + ":" + std::to_string(lineNo);
    if (line.empty() || line[0] == '#') continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) throw SourceError(where + ": expected key=value");
    std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "Translation") {
      unsigned l = 0, c = 0;
      if (std::sscanf(value.c_str(), "%4x %4x", &l, &c) != 2) throw SourceError(where + ": expected Translation=llll cccc");
      lang = static_cast<uint16_t>(l);
      codePage = static_cast<uint16_t>(c);
    } else if (std::find_if(std::begin(kKeys), std::end(kKeys), [&](const char* k) { return key == k; }) !=
               std::end(kKeys)) {
      values[key] = value;
    } else {
      throw SourceError(where + ": unknown key " + key);
    }
  }

  uint32_t fileMS, fileLS, prodMS, prodLS;
  versionNumbers(values["FileVersion"], fileMS, fileLS);
  versionNumbers(values.count("ProductVersion") ? values["ProductVersion"] : values["FileVersion"], prodMS, prodLS);
  Bytes fixed;
  for (uint32_t v : {0xFEEF04BDu, 0x00010000u, fileMS, fileLS, prodMS, prodLS, 0x3Fu, 0u, 0x00040004u, 1u, 0u, 0u, 0u})
    put32(fixed, v);

  std::vector<Bytes> strings;
  for (const char* k : kKeys) {
    auto it = values.find(k);
    if (it == values.end()) continue;
    std::u16string text = toUtf16(decodeUtf8(it->second, p.string()));
    Bytes v;
    putUtf16(v, text);
    put16(v, 0);
    strings.push_back(versionNode(u16(k), v, static_cast<uint16_t>(text.size() + 1), true, {}));
  }
  char tableKey[16];
  std::snprintf(tableKey, sizeof tableKey, "%04X%04X", lang, codePage);
  Bytes table = versionNode(u16(tableKey), {}, 0, true, strings);
  Bytes stringInfo = versionNode(u"StringFileInfo", {}, 0, true, {table});
  Bytes translation;
  put16(translation, lang);
  put16(translation, codePage);
  Bytes var = versionNode(u"Translation", translation, 4, false, {});
  Bytes varInfo = versionNode(u"VarFileInfo", {}, 0, true, {var});
  return versionNode(u"VS_VERSION_INFO", fixed, static_cast<uint16_t>(fixed.size()), false, {stringInfo, varInfo});
}

// ---- cursors

Bytes compileCursor(const fs::path& p) {
  constexpr size_t MaxSide = 256;
  int hotX = -1, hotY = -1;
  std::vector<std::string> rows;
  int lineNo = 0;
  for (const std::string& line : lines(readAll(p))) {
    ++lineNo;
    std::string where = p.string() + ":" + std::to_string(lineNo);
    if (line.empty() || line[0] == '#') continue;
    if (hotX < 0) {
      char tail = 0;
      if (std::sscanf(line.c_str(), "hotspot %d %d %c", &hotX, &hotY, &tail) != 2 || hotX < 0 || hotY < 0)
        throw SourceError(where + ": expected \"hotspot <x> <y>\"");
      continue;
    }
    if (line.find_first_not_of(".Xo") != std::string::npos) throw SourceError(where + ": a row holds only '.', 'X' and 'o'");
    if (!rows.empty() && line.size() != rows[0].size()) throw SourceError(where + ": rows differ in width");
    rows.push_back(line);
  }
  if (rows.empty() || rows.size() > MaxSide || rows[0].size() > MaxSide)
    throw SourceError(p.string() + ": a cursor is 1 to 256 pixels each way");
  const auto width = static_cast<uint32_t>(rows[0].size()), height = static_cast<uint32_t>(rows.size());
  if (static_cast<uint32_t>(hotX) >= width || static_cast<uint32_t>(hotY) >= height)
    throw SourceError(p.string() + ": the hot spot lies outside the picture");

  const uint32_t stride = (width + 31) / 32 * 4;
  Bytes b;
  put16(b, static_cast<uint16_t>(hotX));
  put16(b, static_cast<uint16_t>(hotY));
  for (uint32_t v : {40u, width, 2 * height}) put32(b, v);
  put16(b, 1);  // planes
  put16(b, 1);  // bits per pixel
  for (uint32_t v : {0u, 2 * stride * height, 0u, 0u, 2u, 0u}) put32(b, v);
  put32(b, 0x00000000);  // black
  put32(b, 0x00FFFFFF);  // white
  // Colour bits first, then transparency bits; each mask from the bottom row up.
  for (bool colour : {true, false}) {
    for (uint32_t y = height; y-- > 0;) {
      Bytes row(stride, 0);
      for (uint32_t x = 0; x < width; ++x) {
        const char c = rows[y][x];
        if (colour ? c == 'o' : c == '.') row[x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
      }
      b.insert(b.end(), row.begin(), row.end());
    }
  }
  return b;
}

// ---- the folder

struct Resource {
  std::string Type, Name;
  Bytes Data;
};

bool hasExt(const fs::path& p, const char* ext) { return p.extension() == ext; }

void compileFile(const fs::path& f, const std::string& type, std::vector<Resource>& out) {
  std::string name = f.stem().string();
  if (type == "RCDATA" && hasExt(f, ".strtab")) {
    out.push_back({type, name, compileStr0(readStringTable(f))});
  } else if (type == "STRING" && hasExt(f, ".strtab")) {
    for (auto& [id, text] : readStringTable(f)) {
      std::string a = toAnsi(text);
      out.push_back({type, "#" + std::to_string(id), Bytes(a.begin(), a.end())});
    }
  } else if (type == "VERSION" && hasExt(f, ".ver")) {
    out.push_back({type, "#1", compileVersion(f)});
  } else if (type == "CURSOR" && hasExt(f, ".cursor")) {
    out.push_back({type, name, compileCursor(f)});
  } else {
    out.push_back({type, name, readAll(f)});
  }
}

int compileOne(const fs::path& src, const fs::path& dst) {
  std::vector<Resource> res;
  compileFile(src, src.parent_path().filename().string(), res);
  std::ofstream out(dst, std::ios::binary);
  for (auto& r : res) out.write(reinterpret_cast<const char*>(r.Data.data()), static_cast<std::streamsize>(r.Data.size()));
  return out ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) try {
  if (argc == 4 && std::string(argv[1]) == "--compile") return compileOne(argv[2], argv[3]);
  if (argc != 4) {
    std::cerr << "usage: resgen <res folder> <output.cpp> <name> | resgen --compile <source> <out.bin>\n";
    return 2;
  }
  fs::path dir = argv[1];
  std::vector<fs::path> files;
  for (auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) files.push_back(e.path());
  std::sort(files.begin(), files.end());

  std::vector<Resource> resources;
  for (auto& f : files) {
    auto rel = fs::relative(f, dir);
    if (std::distance(rel.begin(), rel.end()) < 2) continue;
    compileFile(f, rel.begin()->string(), resources);
  }
  for (size_t i = 0; i < resources.size(); ++i)
    for (size_t j = i + 1; j < resources.size(); ++j)
      if (resources[i].Type == resources[j].Type && resources[i].Name == resources[j].Name)
        throw SourceError("resource " + resources[i].Type + "/" + resources[i].Name + " given twice");

  std::ostringstream out;
  out << "// Generated by resgen from " << cString(dir.string()) << "; do not edit.\n";
  out << "#include \"platform/rtl/Resources.h\"\n\nnamespace {\n";
  int n = 0;
  for (auto& r : resources) {
    out << "const uint8_t d" << n << "[] = {";
    for (size_t i = 0; i < r.Data.size(); ++i) out << (i % 24 ? "" : "\n") << int(r.Data[i]) << ',';
    out << "0};\n";
    out << "const TResourceRegistration r" << n << "(\"" << cString(r.Type) << "\", \"" << cString(r.Name)
        << "\", d" << n << ", " << r.Data.size() << ");\n";
    ++n;
  }
  out << "}  // namespace\n";

  std::string text = out.str();
  std::ifstream old(argv[2], std::ios::binary);
  std::string prev{std::istreambuf_iterator<char>(old), std::istreambuf_iterator<char>()};
  old.close();
  if (prev != text) std::ofstream(argv[2], std::ios::binary) << text;
  return 0;
} catch (const std::exception& e) {
  std::cerr << "resgen: " << e.what() << "\n";
  return 1;
}
