#include "platform/com/XlFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

[[noreturn]] void fileError(const AnsiString& text) { throw EAutoServerError(DISP_E_EXCEPTION, text); }

std::string escape(const WideString& w) {
  std::string out;
  for (char c : WideToUtf8(w)) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      default:
        // Control characters have no place in XML 1.0.
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
    }
  }
  return out;
}

std::string colour(int bgr) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X", bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
  return buf;
}

int parseColour(const std::string& s) {
  if (s.size() != 7 || s[0] != '#') return 0;
  unsigned v = 0;
  for (size_t i = 1; i < 7; ++i) {
    char c = s[i];
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (d < 0) return 0;
    v = v * 16 + unsigned(d);
  }
  return int(((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF));
}

struct TNamed {
  int Value;
  const char* Name;
};
constexpr TNamed HorizontalNames[] = {{1, "General"}, {-4131, "Left"}, {-4108, "Center"}, {-4152, "Right"},
                                      {-4117, "Fill"}, {-4130, "Justify"}, {7, "CenterAcrossSelection"}};
constexpr TNamed VerticalNames[] = {{-4160, "Top"}, {-4108, "Center"}, {-4107, "Bottom"}, {-4130, "Justify"}, {-4117, "Distributed"}};
constexpr TNamed LineNames[] = {{1, "Continuous"}, {-4115, "Dash"}, {4, "DashDot"}, {5, "DashDotDot"},
                                {-4118, "Dot"}, {-4119, "Double"}, {13, "SlantDashDot"}};
constexpr TNamed WeightNames[] = {{1, "0"}, {2, "1"}, {-4138, "2"}, {4, "3"}};
constexpr const char* EdgeNames[] = {"Left", "Top", "Bottom", "Right"};

template <size_t N>
const char* nameOf(const TNamed (&table)[N], int v) {
  for (auto& e : table)
    if (e.Value == v) return e.Name;
  return nullptr;
}
template <size_t N>
int valueOf(const TNamed (&table)[N], const std::string& name, int def) {
  for (auto& e : table)
    if (name == e.Name) return e.Value;
  return def;
}

std::string styleName(uint32_t index) { return index ? "s" + std::to_string(index) : "Default"; }

std::string styleXml(const TXlStyle& s, const std::string& id) {
  std::ostringstream o;
  o << "  <Style ss:ID=\"" << id << "\">\n   <Alignment";
  if (const char* h = nameOf(HorizontalNames, s.HorizontalAlignment)) o << " ss:Horizontal=\"" << h << "\"";
  if (const char* v = nameOf(VerticalNames, s.VerticalAlignment)) o << " ss:Vertical=\"" << v << "\"";
  if (s.IndentLevel) o << " ss:Indent=\"" << s.IndentLevel << "\"";
  if (s.Orientation >= -90 && s.Orientation <= 90) o << " ss:Rotate=\"" << s.Orientation << "\"";
  if (s.ShrinkToFit) o << " ss:ShrinkToFit=\"1\"";
  if (s.WrapText) o << " ss:WrapText=\"1\"";
  o << "/>\n   <Borders>\n";
  for (int e = 0; e < 4; ++e) {
    const char* line = nameOf(LineNames, s.Borders[e].LineStyle);
    if (!line) continue;
    o << "    <Border ss:Position=\"" << EdgeNames[e] << "\" ss:LineStyle=\"" << line << "\" ss:Weight=\""
      << (nameOf(WeightNames, s.Borders[e].Weight) ? nameOf(WeightNames, s.Borders[e].Weight) : "1") << "\"/>\n";
  }
  o << "   </Borders>\n   <Font ss:FontName=\"" << escape(s.FontName) << "\" ss:Size=\"" << s.FontSize
    << "\" ss:Color=\"" << colour(s.FontColor) << "\"";
  if (s.Bold) o << " ss:Bold=\"1\"";
  if (s.Italic) o << " ss:Italic=\"1\"";
  if (s.Underline) o << " ss:Underline=\"Single\"";
  if (s.Strikethrough) o << " ss:StrikeThrough=\"1\"";
  o << "/>\n";
  if (s.Pattern != xlNone)
    o << "   <Interior ss:Color=\"" << colour(s.InteriorColor) << "\" ss:Pattern=\"Solid\"/>\n";
  o << "  </Style>\n";
  return o.str();
}

// ---------------------------------------------------------------------------------------------
// A small reader for the XML that these files hold: elements, attributes, text, references.

struct TNode {
  std::string Name;  // without its prefix
  std::map<std::string, std::string> Attributes;  // by local name
  std::vector<TNode> Children;
  std::string Text;
  std::string AllText;  // the text of the element and all its descendants, in document order
  const TNode* Child(const std::string& n) const {
    for (auto& c : Children)
      if (c.Name == n) return &c;
    return nullptr;
  }
  std::string Attr(const std::string& n, const std::string& def = {}) const {
    auto it = Attributes.find(n);
    return it == Attributes.end() ? def : it->second;
  }
};

class TXmlReader {
public:
  explicit TXmlReader(const std::string& text) : FText(text) {}
  TNode Document() {
    skipProlog();
    TNode root = element(0);
    skipMisc();
    if (FPos != FText.size()) fail();
    return root;
  }

private:
  [[noreturn]] void fail() { fileError("The file is not a SpreadsheetML workbook, or it is damaged."); }
  bool starts(const char* s) const { return FText.compare(FPos, std::strlen(s), s) == 0; }
  void skipSpace() {
    while (FPos < FText.size() && std::isspace(static_cast<unsigned char>(FText[FPos]))) ++FPos;
  }
  void skipPast(const char* end) {
    size_t p = FText.find(end, FPos);
    if (p == std::string::npos) fail();
    FPos = p + std::strlen(end);
  }
  void skipMisc() {
    for (;;) {
      skipSpace();
      if (starts("<?")) skipPast("?>");
      else if (starts("<!--")) skipPast("-->");
      else return;
    }
  }
  void skipProlog() {
    if (starts("\xEF\xBB\xBF")) FPos += 3;
    skipMisc();
    if (starts("<!DOCTYPE")) fail();  // entity definitions are never needed here
  }
  static std::string local(const std::string& n) {
    size_t c = n.find(':');
    return c == std::string::npos ? n : n.substr(c + 1);
  }
  std::string name() {
    size_t start = FPos;
    while (FPos < FText.size() && !std::isspace(static_cast<unsigned char>(FText[FPos])) && FText[FPos] != '>' &&
           FText[FPos] != '/' && FText[FPos] != '=')
      ++FPos;
    if (FPos == start) fail();
    return FText.substr(start, FPos - start);
  }
  std::string decode(const std::string& raw) {
    std::string out;
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] != '&') { out += raw[i]; continue; }
      size_t semi = raw.find(';', i);
      if (semi == std::string::npos || semi - i > 10) fail();
      std::string ref = raw.substr(i + 1, semi - i - 1);
      i = semi;
      if (ref == "lt") out += '<';
      else if (ref == "gt") out += '>';
      else if (ref == "amp") out += '&';
      else if (ref == "quot") out += '"';
      else if (ref == "apos") out += '\'';
      else if (ref.size() > 1 && ref[0] == '#') {
        char* end = nullptr;
        unsigned long code = ref[1] == 'x' ? std::strtoul(ref.c_str() + 2, &end, 16) : std::strtoul(ref.c_str() + 1, &end, 10);
        if (!end || *end || code == 0 || code > 0x10FFFF) fail();
        out += WideToUtf8(WideString(1, static_cast<wchar_t>(code)));
      } else {
        fail();
      }
    }
    return out;
  }
  TNode element(int depth) {
    if (depth > 64 || !starts("<")) fail();
    ++FPos;
    TNode node;
    node.Name = local(name());
    for (;;) {
      skipSpace();
      if (starts("/>")) { FPos += 2; return node; }
      if (starts(">")) { ++FPos; break; }
      std::string attr = local(name());
      skipSpace();
      if (!starts("=")) fail();
      ++FPos;
      skipSpace();
      if (FPos >= FText.size() || (FText[FPos] != '"' && FText[FPos] != '\'')) fail();
      char quote = FText[FPos++];
      size_t end = FText.find(quote, FPos);
      if (end == std::string::npos) fail();
      node.Attributes[attr] = decode(FText.substr(FPos, end - FPos));
      FPos = end + 1;
    }
    for (;;) {
      if (FPos >= FText.size()) fail();
      if (starts("</")) {
        FPos += 2;
        if (local(name()) != node.Name) fail();
        skipSpace();
        if (!starts(">")) fail();
        ++FPos;
        return node;
      }
      if (starts("<!--")) { skipPast("-->"); continue; }
      if (starts("<![CDATA[")) {
        FPos += 9;
        size_t end = FText.find("]]>", FPos);
        if (end == std::string::npos) fail();
        node.Text += FText.substr(FPos, end - FPos);
        node.AllText += FText.substr(FPos, end - FPos);
        FPos = end + 3;
        continue;
      }
      if (starts("<?")) { skipPast("?>"); continue; }
      if (starts("<")) {
        node.Children.push_back(element(depth + 1));
        node.AllText += node.Children.back().AllText;
        continue;
      }
      size_t end = FText.find('<', FPos);
      if (end == std::string::npos) fail();
      std::string text = decode(FText.substr(FPos, end - FPos));
      node.Text += text;
      node.AllText += text;
      FPos = end;
    }
  }
  const std::string& FText;
  size_t FPos = 0;
};

int positiveIndex(const std::string& s, int def, int limit) {
  if (s.empty()) {
    // One past the last row or column is no place either.
    if (def > limit) fileError("The file is not a SpreadsheetML workbook, or it is damaged.");
    return def;
  }
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (!end || *end || v < 1 || v > limit) fileError("The file is not a SpreadsheetML workbook, or it is damaged.");
  return int(v);
}

int mergeCount(const std::string& s, int limit) {
  if (s.empty()) return 0;
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (!end || *end || v < 0 || v > limit) fileError("The file is not a SpreadsheetML workbook, or it is damaged.");
  return int(v);
}

TXlStyle readStyle(const TNode& n) {
  TXlStyle s;
  if (const TNode* a = n.Child("Alignment")) {
    s.HorizontalAlignment = valueOf(HorizontalNames, a->Attr("Horizontal"), s.HorizontalAlignment);
    s.VerticalAlignment = valueOf(VerticalNames, a->Attr("Vertical"), s.VerticalAlignment);
    s.IndentLevel = std::clamp(std::atoi(a->Attr("Indent", "0").c_str()), 0, 15);
    s.Orientation = a->Attributes.count("Rotate") ? std::clamp(std::atoi(a->Attr("Rotate").c_str()), -90, 90) : s.Orientation;
    if (s.Orientation == 0) s.Orientation = xlHorizontal;
    s.ShrinkToFit = a->Attr("ShrinkToFit") == "1";
    s.WrapText = a->Attr("WrapText") == "1";
  }
  if (const TNode* b = n.Child("Borders")) {
    for (auto& border : b->Children)
      for (int e = 0; e < 4; ++e)
        if (border.Attr("Position") == EdgeNames[e]) {
          s.Borders[e].LineStyle = valueOf(LineNames, border.Attr("LineStyle"), xlNone);
          s.Borders[e].Weight = valueOf(WeightNames, border.Attr("Weight", "1"), 2);
        }
  }
  if (const TNode* f = n.Child("Font")) {
    if (f->Attributes.count("FontName")) s.FontName = Utf8ToWide(f->Attr("FontName"));
    double size = std::atof(f->Attr("Size", "10").c_str());
    if (size >= 1 && size <= 409) s.FontSize = size;
    s.FontColor = parseColour(f->Attr("Color"));
    s.Bold = f->Attr("Bold") == "1";
    s.Italic = f->Attr("Italic") == "1";
    s.Underline = !f->Attr("Underline").empty() && f->Attr("Underline") != "None";
    s.Strikethrough = f->Attr("StrikeThrough") == "1";
  }
  if (const TNode* i = n.Child("Interior")) {
    if (i->Attributes.count("Color")) s.InteriorColor = parseColour(i->Attr("Color"));
    if (i->Attr("Pattern") == "Solid") s.Pattern = 1;
  }
  return s;
}

constexpr long long DaysToOleEpoch = 693899;  // from 1 March of year 0 to 30 December 1899

long long daysFromCivil(long long y, long long m, long long d) {
  y -= m <= 2;
  long long era = (y >= 0 ? y : y - 399) / 400, yoe = y - era * 400;
  long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - DaysToOleEpoch;
}

// "2024-02-29T13:30:00.000", the fraction of a second optional; false for anything else.
bool parseDateTime(const std::string& s, double& date) {
  int y, mo, d, h = 0, mi = 0, n = 0;
  double sec = 0;
  if (std::sscanf(s.c_str(), "%4d-%2d-%2dT%2d:%2d:%lf%n", &y, &mo, &d, &h, &mi, &sec, &n) != 6 || size_t(n) != s.size())
    return false;
  static constexpr int MonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (y < 1900 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > MonthDays[mo - 1] || (mo == 2 && d == 29 && !leap) ||
      h > 23 || mi > 59 || !(sec >= 0 && sec < 60))
    return false;
  date = double(daysFromCivil(y, mo, d)) + (h * 3600 + mi * 60 + sec) / 86400;
  return true;
}

std::string dateTimeText(double date) {
  std::string t = WideToUtf8(OleVariant::Date(date).AsWide());  // "2024-02-29" or "2024-02-29 13:30:00"
  if (t.size() == 10) t += " 00:00:00";
  t[10] = 'T';
  return t + ".000";
}

OleVariant readData(const TNode& data) {
  std::string type = data.Attr("Type");
  const std::string& text = data.AllText;
  if (type == "Number") {
    char* end = nullptr;
    double d = std::strtod(text.c_str(), &end);
    if (end && *end == '\0' && !text.empty() && std::isfinite(d)) return OleVariant(d);
    fileError("The file is not a SpreadsheetML workbook, or it is damaged.");
  }
  if (type == "Boolean") return OleVariant(text == "1");
  if (type == "DateTime") {
    double date = 0;
    if (!parseDateTime(text, date)) fileError("The file is not a SpreadsheetML workbook, or it is damaged.");
    return OleVariant::Date(date);
  }
  if (type == "Error") {
    HRESULT code = XlErrorCode(text);
    if (code == S_OK) fileError("The file is not a SpreadsheetML workbook, or it is damaged.");
    return OleVariant::Error(code);
  }
  return OleVariant(Utf8ToWide(text));
}

struct TErrorName {
  int Number;
  const char* Text;
};
constexpr TErrorName ErrorNames[] = {{2000, "#NULL!"}, {2007, "#DIV/0!"}, {2015, "#VALUE!"}, {2023, "#REF!"},
                                     {2029, "#NAME?"}, {2036, "#NUM!"},   {2042, "#N/A"}};
constexpr HRESULT ErrorBase = static_cast<HRESULT>(0x800A0000);

}  // namespace

uint32_t TXlStylePool::Intern(const TXlStyle& s) {
  size_t h = std::hash<std::wstring>()(s.FontName);
  auto mix = [&h](double v) { h = h * 1000003u ^ std::hash<double>()(v); };
  for (double v : {s.FontSize, double(s.Bold), double(s.Italic), double(s.Underline), double(s.Strikethrough),
                   double(s.FontColor), double(s.InteriorColor), double(s.Pattern), double(s.PatternColor),
                   double(s.IndentLevel), double(s.Orientation), double(s.ShrinkToFit), double(s.HorizontalAlignment),
                   double(s.VerticalAlignment), double(s.WrapText)})
    mix(v);
  for (auto& b : s.Borders) {
    mix(b.LineStyle);
    mix(b.Weight);
  }
  auto [from, to] = FByHash.equal_range(h);
  for (auto it = from; it != to; ++it)
    if (FStyles[it->second] == s) return it->second;
  FStyles.push_back(s);
  uint32_t index = uint32_t(FStyles.size() - 1);
  FByHash.emplace(h, index);
  return index;
}

uint32_t TXlSheetData::StyleAt(int row, int column) const {
  if (auto it = Cells.find({row, column}); it != Cells.end()) return it->second.Style;
  if (auto it = RowStyles.find(row); it != RowStyles.end()) return it->second;
  if (auto it = ColumnStyles.find(column); it != ColumnStyles.end()) return it->second;
  return 0;
}

TXlCell& TXlSheetData::CellAt(int row, int column) {
  auto it = Cells.lower_bound({row, column});
  if (it != Cells.end() && it->first == std::pair(row, column)) return it->second;
  uint32_t style = StyleAt(row, column);
  it = Cells.emplace_hint(it, std::pair(row, column), TXlCell());
  it->second.Style = style;
  return it->second;
}

HRESULT XlErrorCode(const std::string& text) {
  for (auto& e : ErrorNames)
    if (text == e.Text) return ErrorBase | e.Number;
  return S_OK;
}

const char* XlErrorText(HRESULT code) {
  for (auto& e : ErrorNames)
    if (code == (ErrorBase | e.Number)) return e.Text;
  return "#N/A";
}

WideString XlCellText(const OleVariant& value) {
  const OleVariant& v = value.Deref();
  if (v.VType() == VT_BOOL) return v.AsBool() ? L"TRUE" : L"FALSE";
  if (v.VType() == VT_ERROR) return AnsiToWide(XlErrorText(v.ErrorCode()));
  if (v.VType() == VT_DATE) return v.AsWide();
  if (v.IsEmpty() || v.IsNull()) return {};
  if (v.IsNumber()) {
    double d = v.AsDouble();
    if (d == std::trunc(d) && std::fabs(d) < 1e11) return NumberToWide(d);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.10g", d);
    return AnsiToWide(buf);
  }
  return v.AsWide();
}

void SaveSpreadsheetML(const AnsiString& fileName, const std::vector<const TXlSheetData*>& sheets) {
  TXlStylePool styles;
  std::ostringstream body;
  for (const TXlSheetData* sheet : sheets) {
    auto styleId = [&](uint32_t index) { return styles.Intern(sheet->Styles[index]); };
    body << " <Worksheet ss:Name=\"" << escape(sheet->Name) << "\">\n  <Table>\n";
    for (auto& [c, w] : sheet->ColumnWidths)
      body << "   <Column ss:Index=\"" << c << "\" ss:Width=\"" << w * 5.25 + 5 << "\"/>\n";
    int row = 0;
    auto openRow = [&](int r) {
      if (row) body << "   </Row>\n";
      row = r;
      body << "   <Row ss:Index=\"" << r << "\"";
      if (auto h = sheet->RowHeights.find(r); h != sheet->RowHeights.end()) body << " ss:Height=\"" << h->second << "\"";
      body << ">\n";
    };
    for (auto& [pos, cell] : sheet->Cells) {
      const OleVariant& v = cell.Value;
      auto link = sheet->Links.find(pos);
      auto merge = sheet->Merges.find(pos);
      // A cell without a style of its own reads back with its row's or column's.
      uint32_t implied = 0;
      if (auto r = sheet->RowStyles.find(pos.first); r != sheet->RowStyles.end()) implied = r->second;
      else if (auto c = sheet->ColumnStyles.find(pos.second); c != sheet->ColumnStyles.end()) implied = c->second;
      if (v.IsEmpty() && cell.Style == implied && link == sheet->Links.end() && merge == sheet->Merges.end()) continue;
      if (pos.first != row) openRow(pos.first);
      body << "    <Cell ss:Index=\"" << pos.second << "\"";
      if (merge != sheet->Merges.end()) {
        if (merge->second.first) body << " ss:MergeAcross=\"" << merge->second.first << "\"";
        if (merge->second.second) body << " ss:MergeDown=\"" << merge->second.second << "\"";
      }
      if (cell.Style != implied) body << " ss:StyleID=\"" << styleName(styleId(cell.Style)) << "\"";
      if (link != sheet->Links.end()) body << " ss:HRef=\"" << escape(link->second) << "\"";
      body << ">";
      if (v.IsNumber()) body << "<Data ss:Type=\"Number\">" << WideToUtf8(NumberToWide(v.AsDouble())) << "</Data>";
      else if (v.VType() == VT_BOOL) body << "<Data ss:Type=\"Boolean\">" << (v.AsBool() ? 1 : 0) << "</Data>";
      else if (v.VType() == VT_ERROR) body << "<Data ss:Type=\"Error\">" << XlErrorText(v.ErrorCode()) << "</Data>";
      else if (v.VType() == VT_DATE) body << "<Data ss:Type=\"DateTime\">" << dateTimeText(v.AsDouble()) << "</Data>";
      else if (!v.IsEmpty()) body << "<Data ss:Type=\"String\">" << escape(XlCellText(v)) << "</Data>";
      body << "</Cell>\n";
    }
    if (row) body << "   </Row>\n";
    body << "  </Table>\n </Worksheet>\n";
  }
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  if (!out) fileError("Cannot access '" + fileName + "'.");
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<?mso-application progid=\"Excel.Sheet\"?>\n"
         "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"\n"
         " xmlns:o=\"urn:schemas-microsoft-com:office:office\"\n"
         " xmlns:x=\"urn:schemas-microsoft-com:office:excel\"\n"
         " xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">\n <Styles>\n";
  for (uint32_t i = 0; i < styles.Count(); ++i) out << styleXml(styles[i], styleName(i));
  out << " </Styles>\n" << body.str() << "</Workbook>\n";
  out.close();
  if (!out) fileError("Cannot access '" + fileName + "'.");
}

std::vector<TXlSheetData> LoadSpreadsheetML(const AnsiString& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) fileError("'" + fileName + "' could not be found.");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  TNode root = TXmlReader(text).Document();
  if (root.Name != "Workbook") fileError("The file is not a SpreadsheetML workbook, or it is damaged.");
  std::map<std::string, TXlStyle> styles;
  if (const TNode* s = root.Child("Styles"))
    for (auto& style : s->Children) styles[style.Attr("ID")] = readStyle(style);
  std::vector<TXlSheetData> sheets;
  for (auto& ws : root.Children) {
    if (ws.Name != "Worksheet") continue;
    TXlSheetData sheet;
    sheet.Name = Utf8ToWide(ws.Attr("Name", "Sheet" + std::to_string(sheets.size() + 1)));
    if (const TNode* table = ws.Child("Table")) {
      int r = 0, col = 0;
      for (auto& n : table->Children) {
        if (n.Name == "Column") {
          col = positiveIndex(n.Attr("Index"), col + 1, XlMaxColumns);
          double w = std::atof(n.Attr("Width", "0").c_str());
          if (w > 5) sheet.ColumnWidths[col] = std::min(255.0, (w - 5) / 5.25);
          continue;
        }
        if (n.Name != "Row") continue;
        r = positiveIndex(n.Attr("Index"), r + 1, XlMaxRows);
        double h = std::atof(n.Attr("Height", "0").c_str());
        if (h > 0 && h <= 409) sheet.RowHeights[r] = h;
        int c = 0;
        for (auto& cell : n.Children) {
          if (cell.Name != "Cell") continue;
          c = positiveIndex(cell.Attr("Index"), c + 1, XlMaxColumns);
          TXlCell& x = sheet.CellAt(r, c);
          if (auto st = styles.find(cell.Attr("StyleID")); st != styles.end()) x.Style = sheet.Styles.Intern(st->second);
          if (const TNode* data = cell.Child("Data")) x.Value = readData(*data);
          if (cell.Attributes.count("HRef")) sheet.Links[{r, c}] = Utf8ToWide(cell.Attr("HRef"));
          // A merged area takes the columns after its first cell; rows below keep their own count.
          int across = mergeCount(cell.Attr("MergeAcross"), XlMaxColumns - c);
          int down = mergeCount(cell.Attr("MergeDown"), XlMaxRows - r);
          if (across || down) sheet.Merges[{r, c}] = {across, down};
          c += across;
        }
      }
    }
    sheets.push_back(std::move(sheet));
  }
  if (sheets.empty()) fileError("The file is not a SpreadsheetML workbook, or it is damaged.");
  return sheets;
}
