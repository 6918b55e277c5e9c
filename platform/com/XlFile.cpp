#include "platform/com/XlFile.h"

#include <cmath>
#include <cstdio>

#include "platform/com/XlFileReader.h"
#include "platform/com/XlFileWriter.h"

namespace {

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
  h = h * 1000003u ^ std::hash<std::wstring>()(s.NumberFormat);
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

bool XlValidSheetName(const WideString& n) {
  return !n.empty() && n.size() <= 31 && n.find_first_of(L":\\/?*[]") == WideString::npos;
}

AnsiString XlSheetNameKey(const WideString& name) { return UpperCase(WideToAnsi(name)); }

void SaveSpreadsheetML(const AnsiString& fileName, const std::vector<const TXlSheetData*>& sheets) {
  TXlFileWriter::Write(fileName, sheets);
}

std::vector<TXlSheetData> LoadSpreadsheetML(const AnsiString& fileName) { return TXlFileReader::Read(fileName); }
