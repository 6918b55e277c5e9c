#include "platform/com/XlFileReader.h"

#include <expat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "platform/com/XlFileNames.h"

namespace {

constexpr const char* Damaged = "The file is not a SpreadsheetML workbook, or it is damaged.";
// Deeper nesting than this is no workbook; rich text inside a cell needs only a few levels.
constexpr int MaxDepth = 64;
constexpr size_t ChunkSize = 1 << 16;

// Where an element stands in the workbook decides what is read from it.
enum class TPlace { Workbook, Styles, Style, Alignment, Borders, Border, Font, Interior, NumberFormat,
                    Worksheet, Table, Column, Row, Cell, Data, RichText, Ignored };

// A failure found while Expat runs; it is thrown once Expat has returned.
struct TStop {
  std::string Detail;
};

class TReader {
public:
  explicit TReader(const AnsiString& fileName) : FFileName(fileName) {}
  std::vector<TXlSheetData> Run();

private:
  static std::string_view local(const XML_Char* name) {
    std::string_view n(name);
    size_t bar = n.rfind('|');
    return bar == std::string_view::npos ? n : n.substr(bar + 1);
  }
  // Calls from Expat: nothing is thrown through it.
  template <class F>
  void guarded(F f) {
    if (FStopped) return;
    try {
      f();
    } catch (const TStop& s) {
      stop(s.Detail);
    } catch (const std::bad_alloc&) {
      stop("there is not enough memory to read it");
    } catch (const Exception& e) {
      stop(e.Message());
    }
  }
  void stop(const std::string& detail) {
    if (FStopped) return;
    FStopped = true;
    FDetail = detail;
    FLine = XML_GetCurrentLineNumber(FParser);
    XML_StopParser(FParser, XML_FALSE);
  }
  [[noreturn]] void fail(const std::string& detail) const {
    throw EAutoServerError(DISP_E_EXCEPTION, AnsiString(Damaged) + " '" + FFileName + "', line " +
                                                 IntToStr(int64_t(FLine)) + ": " + detail + ".");
  }

  void start(std::string_view name, const XML_Char** atts);
  void end();
  void text(std::string_view s) {
    TPlace p = FPlaces.back();
    if (p == TPlace::Data || p == TPlace::RichText) FText.append(s);
  }
  const char* attr(std::string_view name) const {
    for (const XML_Char** a = FAttributes; a && *a; a += 2)
      if (local(a[0]) == name) return a[1];
    return nullptr;
  }
  TPlace placeOf(TPlace parent, std::string_view name) const;

  void readAlignment();
  void readBorder();
  void readFont();
  void readInterior();
  void startWorksheet();
  void readColumn();
  void startRow();
  void startCell();
  void endData();
  int index(const char* name, int next, int limit, const char* what) const;
  int count(const char* name, int limit, const char* what) const;
  uint32_t styleOf(const char* id);
  void spend(long long entries);

  static int XMLCALL unknownEncoding(void* data, const XML_Char* name, XML_Encoding* info);

  AnsiString FFileName;
  XML_Parser FParser = nullptr;
  bool FStopped = false;
  std::string FDetail;
  XML_Size FLine = 0;
  std::string FUnknownEncoding;

  std::vector<TPlace> FPlaces;
  const XML_Char** FAttributes = nullptr;
  std::string FText;

  std::unordered_map<std::string, TXlStyle> FFileStyles;
  std::string FStyleId;
  TXlStyle FStyle;

  std::vector<TXlSheetData> FSheets;
  std::unordered_set<AnsiString> FSheetNames;
  std::unordered_map<std::string, uint32_t> FSheetStyles;  // file style id to the sheet's pool
  int FRow = 0, FLastRow = 0;  // the row being read, and the last one its span reaches
  int FColumn = 0, FCellColumn = 0, FDataColumn = 0, FTableColumn = 0;
  bool FTableSeen = false;
  std::string FDataType;
  long long FBudget = 0;
};

TPlace TReader::placeOf(TPlace parent, std::string_view n) const {
  switch (parent) {
    case TPlace::Workbook: return n == "Styles" ? TPlace::Styles : n == "Worksheet" ? TPlace::Worksheet : TPlace::Ignored;
    case TPlace::Styles: return n == "Style" ? TPlace::Style : TPlace::Ignored;
    case TPlace::Style:
      return n == "Alignment" ? TPlace::Alignment : n == "Borders" ? TPlace::Borders : n == "Font" ? TPlace::Font
             : n == "Interior" ? TPlace::Interior : n == "NumberFormat" ? TPlace::NumberFormat : TPlace::Ignored;
    case TPlace::Borders: return n == "Border" ? TPlace::Border : TPlace::Ignored;
    case TPlace::Worksheet: return n == "Table" && !FTableSeen ? TPlace::Table : TPlace::Ignored;
    case TPlace::Table: return n == "Column" ? TPlace::Column : n == "Row" ? TPlace::Row : TPlace::Ignored;
    case TPlace::Row: return n == "Cell" ? TPlace::Cell : TPlace::Ignored;
    case TPlace::Cell: return n == "Data" ? TPlace::Data : TPlace::Ignored;
    // Rich text: the runs' text is the cell's, their formats are not kept.
    case TPlace::Data: case TPlace::RichText: return TPlace::RichText;
    default: return TPlace::Ignored;
  }
}

void TReader::start(std::string_view name, const XML_Char** atts) {
  if (FPlaces.size() >= MaxDepth) throw TStop{"the elements are nested deeper than " + std::to_string(MaxDepth)};
  TPlace place;
  if (FPlaces.empty()) {
    if (name != "Workbook") throw TStop{"it holds no Workbook"};
    place = TPlace::Workbook;
  } else {
    place = placeOf(FPlaces.back(), name);
  }
  FPlaces.push_back(place);
  FAttributes = atts;
  switch (place) {
    case TPlace::Style: {
      const char* id = attr("ID");
      FStyleId = id ? id : "";
      FStyle = TXlStyle();
      if (const char* parent = attr("Parent"))
        if (auto it = FFileStyles.find(parent); it != FFileStyles.end()) FStyle = it->second;
      break;
    }
    case TPlace::Alignment: readAlignment(); break;
    case TPlace::Border: readBorder(); break;
    case TPlace::Font: readFont(); break;
    case TPlace::Interior: readInterior(); break;
    case TPlace::NumberFormat:
      if (const char* f = attr("Format")) FStyle.NumberFormat = Utf8ToWide(f);
      break;
    case TPlace::Worksheet: startWorksheet(); break;
    case TPlace::Table: FTableSeen = true; break;
    case TPlace::Column: readColumn(); break;
    case TPlace::Row: startRow(); break;
    case TPlace::Cell: startCell(); break;
    case TPlace::Data: {
      const char* type = attr("Type");
      FDataType = type ? type : "";
      FText.clear();
      break;
    }
    default: break;
  }
  FAttributes = nullptr;
}

void TReader::end() {
  TPlace place = FPlaces.back();
  FPlaces.pop_back();
  if (place == TPlace::Style && !FStyleId.empty()) FFileStyles[FStyleId] = FStyle;
  else if (place == TPlace::Data) endData();
  else if (place == TPlace::Cell) FColumn = FCellColumn;
}

int TReader::index(const char* name, int next, int limit, const char* what) const {
  const char* text = attr(name);
  double v = next;
  if (text && !(XlParseNumber(text, v) && v == std::trunc(v))) throw TStop{std::string("the ") + what + " index is no number"};
  // One past the last row or column is no place either.
  if (v < 1 || v > limit) throw TStop{std::string("the ") + what + " index is outside 1 to " + std::to_string(limit)};
  return int(v);
}

int TReader::count(const char* name, int limit, const char* what) const {
  const char* text = attr(name);
  double v = 0;
  if (text && !(XlParseNumber(text, v) && v == std::trunc(v) && v >= 0))
    throw TStop{std::string("the ") + what + " is no count"};
  if (v > limit) throw TStop{std::string("the ") + what + " reaches past the sheet"};
  return int(v);
}

// Spans make many rows or columns of one element: they may make no more than the file could spell out.
void TReader::spend(long long entries) {
  FBudget -= entries;
  if (FBudget < 0) throw TStop{"its spans of rows and columns make more of them than the file could hold"};
}

uint32_t TReader::styleOf(const char* id) {
  if (!id) return 0;
  auto known = FSheetStyles.find(id);
  if (known != FSheetStyles.end()) return known->second;
  auto style = FFileStyles.find(id);
  uint32_t index = style == FFileStyles.end() ? 0 : FSheets.back().Styles.Intern(style->second);
  FSheetStyles.emplace(id, index);
  return index;
}

void TReader::readAlignment() {
  int v;
  if (const char* h = attr("Horizontal"); h && XlValueOf(XlHorizontalNames, h, v)) FStyle.HorizontalAlignment = v;
  if (const char* t = attr("Vertical"); t && XlValueOf(XlVerticalNames, t, v)) FStyle.VerticalAlignment = v;
  double d;
  if (const char* i = attr("Indent"); i && XlParseNumber(i, d)) FStyle.IndentLevel = int(std::clamp(d, 0.0, 15.0));
  if (const char* r = attr("Rotate"); r && XlParseNumber(r, d)) {
    // The file knows the upward and downward directions only as their quarter turns.
    int degrees = int(std::clamp(d, -90.0, 90.0));
    FStyle.Orientation = degrees ? degrees : xlHorizontal;
  }
  if (const char* vt = attr("VerticalText"); vt && std::strcmp(vt, "1") == 0) FStyle.Orientation = xlVertical;
  if (const char* s = attr("ShrinkToFit")) FStyle.ShrinkToFit = std::strcmp(s, "1") == 0;
  if (const char* w = attr("WrapText")) FStyle.WrapText = std::strcmp(w, "1") == 0;
}

void TReader::readBorder() {
  const char* position = attr("Position");
  for (int e = 0; e < 4; ++e)
    if (position && std::strcmp(position, XlEdgeNames[e]) == 0) {
      TXlBorder b;
      const char* line = attr("LineStyle");
      if (!line || !XlValueOf(XlLineNames, line, b.LineStyle)) b.LineStyle = xlNone;
      const char* weight = attr("Weight");
      if (!XlValueOf(XlWeightNames, weight ? weight : "1", b.Weight)) b.Weight = 2;
      FStyle.Borders[e] = b;
    }
}

void TReader::readFont() {
  if (const char* n = attr("FontName")) FStyle.FontName = Utf8ToWide(n);
  double size;
  if (const char* s = attr("Size"); s && XlParseNumber(s, size) && size >= 1 && size <= 409) FStyle.FontSize = size;
  if (const char* c = attr("Color")) XlParseColour(c, FStyle.FontColor);
  if (const char* b = attr("Bold")) FStyle.Bold = std::strcmp(b, "1") == 0;
  if (const char* i = attr("Italic")) FStyle.Italic = std::strcmp(i, "1") == 0;
  if (const char* u = attr("Underline")) FStyle.Underline = *u && std::strcmp(u, "None") != 0;
  if (const char* s = attr("StrikeThrough")) FStyle.Strikethrough = std::strcmp(s, "1") == 0;
}

void TReader::readInterior() {
  if (const char* c = attr("Color")) XlParseColour(c, FStyle.InteriorColor);
  if (const char* c = attr("PatternColor")) XlParseColour(c, FStyle.PatternColor);
  if (const char* p = attr("Pattern"); p && !XlValueOf(XlPatternNames, p, FStyle.Pattern)) FStyle.Pattern = 1;
}

void TReader::startWorksheet() {
  if (FSheets.size() >= size_t(XlMaxSheets)) throw TStop{"it has more than " + std::to_string(XlMaxSheets) + " sheets"};
  const char* name = attr("Name");
  WideString n = name ? Utf8ToWide(name) : L"Sheet" + std::to_wstring(FSheets.size() + 1);
  if (!XlValidSheetName(n)) throw TStop{"the sheet name '" + WideToUtf8(n) + "' is not valid"};
  if (!FSheetNames.insert(XlSheetNameKey(n)).second) throw TStop{"two sheets are named '" + WideToUtf8(n) + "'"};
  FSheets.emplace_back().Name = n;
  FSheetStyles.clear();
  FRow = FLastRow = 0;
  FTableColumn = 0;
  FTableSeen = false;
}

void TReader::readColumn() {
  TXlSheetData& sheet = FSheets.back();
  int first = index("Index", FTableColumn + 1, XlMaxColumns, "column");
  int span = count("Span", XlMaxColumns - first, "column span");
  FTableColumn = first + span;
  double w = 0;
  const char* width = attr("Width");
  bool sized = width && XlParseNumber(width, w) && w >= 0;
  const char* styleId = attr("StyleID");
  if (!sized && !styleId) return;
  spend(span);
  uint32_t style = styleOf(styleId);
  for (int c = first; c <= first + span; ++c) {
    if (sized) sheet.ColumnWidths[c] = std::clamp((w - 5) / 5.25, 0.0, 255.0);  // points to characters
    if (style) sheet.ColumnStyles[c] = style;
  }
}

void TReader::startRow() {
  TXlSheetData& sheet = FSheets.back();
  int first = index("Index", FLastRow + 1, XlMaxRows, "row");
  int span = count("Span", XlMaxRows - first, "row span");
  // The row's cells are in its first row; the next row follows the span.
  FRow = first;
  FLastRow = first + span;
  FColumn = 0;
  double h = 0;
  const char* height = attr("Height");
  bool sized = height && XlParseNumber(height, h) && h > 0 && h <= 409;
  uint32_t style = styleOf(attr("StyleID"));
  if (sized || style) spend(span);
  for (int r = first; r <= first + span && (sized || style); ++r) {
    if (sized) sheet.RowHeights[r] = h;
    if (style) sheet.RowStyles[r] = style;
  }
}

void TReader::startCell() {
  TXlSheetData& sheet = FSheets.back();
  int c = index("Index", FColumn + 1, XlMaxColumns, "column");
  int across = count("MergeAcross", XlMaxColumns - c, "merged area");
  int down = count("MergeDown", XlMaxRows - FRow, "merged area");
  TXlCell& cell = sheet.CellAt(FRow, c);
  if (const char* id = attr("StyleID")) cell.Style = styleOf(id);
  else if (cell.Style == 0) cell.Style = styleOf("Default");  // the file's own default, when it has one
  if (const char* href = attr("HRef")) {
    std::string_view h(href);
    size_t hash = h.find('#');
    TXlLink link{Utf8ToWide(h.substr(0, hash)), hash == std::string_view::npos ? WideString() : Utf8ToWide(h.substr(hash + 1))};
    sheet.Links[{FRow, c}] = std::move(link);
  }
  if (across || down) sheet.Merges[{FRow, c}] = {across, down};
  // A merged area takes the columns after its first cell; the rows below count their own cells.
  FCellColumn = c + across;
  FDataColumn = c;
}

void TReader::endData() {
  OleVariant value;
  const std::string& t = FText;
  if (FDataType == "Number") {
    double d;
    if (!XlParseNumber(t, d)) throw TStop{"the number '" + t.substr(0, 40) + "' cannot be read"};
    value = OleVariant(d);
  } else if (FDataType == "Boolean") {
    double d;
    if (!XlParseNumber(t, d) || (d != 0 && d != 1)) throw TStop{"the truth value '" + t.substr(0, 40) + "' cannot be read"};
    value = OleVariant(d == 1);
  } else if (FDataType == "DateTime") {
    double d;
    if (!XlParseDateTime(t, d)) throw TStop{"the date '" + t.substr(0, 40) + "' cannot be read"};
    value = OleVariant::Date(d);
  } else if (FDataType == "Error") {
    HRESULT code = XlErrorCode(std::string(t));
    if (code == S_OK) throw TStop{"'" + t.substr(0, 40) + "' is no cell error"};
    value = OleVariant::Error(code);
  } else {
    value = OleVariant(Utf8ToWide(t));
  }
  FSheets.back().CellAt(FRow, FDataColumn).Value = std::move(value);
  FText.clear();
}

int XMLCALL TReader::unknownEncoding(void* data, const XML_Char* name, XML_Encoding* info) {
  auto* self = static_cast<TReader*>(data);
  std::string n = UpperCase(name);
  if (n == "WINDOWS-1252" || n == "CP1252") {
    for (int b = 0; b < 256; ++b) {
      WideString w = AnsiToWide(std::string(1, char(b)));
      info->map[b] = w.size() == 1 ? int(w[0]) : -1;
    }
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
  }
  self->FUnknownEncoding = name;
  return XML_STATUS_ERROR;
}

std::vector<TXlSheetData> TReader::Run() {
  FILE* file = std::fopen(FFileName.c_str(), "rb");
  if (!file) throw EAutoServerError(DISP_E_EXCEPTION, "'" + FFileName + "' could not be found.");
  std::unique_ptr<FILE, int (*)(FILE*)> closer(file, std::fclose);
  std::fseek(file, 0, SEEK_END);
  long size = std::ftell(file);
  std::fseek(file, 0, SEEK_SET);
  FBudget = std::max<long>(size, 0) + 65536;
  std::unique_ptr<std::remove_pointer_t<XML_Parser>, void (*)(XML_Parser)> parser(XML_ParserCreateNS(nullptr, '|'),
                                                                                   XML_ParserFree);
  if (!parser) throw std::bad_alloc();
  FParser = parser.get();
  XML_SetUserData(FParser, this);
  XML_SetElementHandler(
      FParser,
      [](void* d, const XML_Char* name, const XML_Char** atts) {
        auto* self = static_cast<TReader*>(d);
        self->guarded([&] { self->start(local(name), atts); });
      },
      [](void* d, const XML_Char*) {
        auto* self = static_cast<TReader*>(d);
        self->guarded([&] { self->end(); });
      });
  XML_SetCharacterDataHandler(FParser, [](void* d, const XML_Char* s, int len) {
    auto* self = static_cast<TReader*>(d);
    self->guarded([&] { self->text(std::string_view(s, size_t(len))); });
  });
  // Entities are never needed in a workbook, and they are how a small file grows without bound.
  XML_SetStartDoctypeDeclHandler(FParser, [](void* d, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    static_cast<TReader*>(d)->stop("it declares a document type");
  });
  XML_SetEntityDeclHandler(FParser, [](void* d, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                                       const XML_Char*, const XML_Char*, const XML_Char*) {
    static_cast<TReader*>(d)->stop("it declares an entity");
  });
  XML_SetUnknownEncodingHandler(FParser, unknownEncoding, this);
  for (;;) {
    void* buffer = XML_GetBuffer(FParser, int(ChunkSize));
    if (!buffer) throw std::bad_alloc();
    size_t got = std::fread(buffer, 1, ChunkSize, file);
    if (std::ferror(file)) throw EAutoServerError(DISP_E_EXCEPTION, "'" + FFileName + "' could not be read.");
    bool last = got < ChunkSize;
    if (XML_ParseBuffer(FParser, int(got), last) != XML_STATUS_OK) {
      if (FStopped) fail(FDetail);
      FLine = XML_GetCurrentLineNumber(FParser);
      XML_Error code = XML_GetErrorCode(FParser);
      if (code == XML_ERROR_UNKNOWN_ENCODING || code == XML_ERROR_INCORRECT_ENCODING)
        fail(FUnknownEncoding.empty() ? "its encoding is not the one it declares"
                                      : "it is written in the encoding '" + FUnknownEncoding +
                                            "', which is not read (UTF-8, UTF-16, ISO-8859-1 and Windows-1252 are)");
      fail(std::string("the XML is not well formed (") + XML_ErrorString(code) + ")");
    }
    if (FStopped) fail(FDetail);
    if (last) break;
  }
  if (FSheets.empty()) fail("it holds no worksheet");
  return std::move(FSheets);
}

}  // namespace

std::vector<TXlSheetData> TXlFileReader::Read(const AnsiString& fileName) { return TReader(fileName).Run(); }
