#include "platform/com/XlRange.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

#include "platform/com/XlApplication.h"
#include "platform/com/XlFileNames.h"
#include "platform/com/XlStyleView.h"

void XlFormatBlock(TXlSheetData& d, const TXlArea& a, const std::function<void(TXlStyle&)>& f) {
  auto change = [&](uint32_t& index) {
    TXlStyle s = d.Styles[index];
    f(s);
    index = d.Styles.Intern(s);
  };
  bool columns = a.R1 == 1 && a.R2 == XlMaxRows, rows = a.C1 == 1 && a.C2 == XlMaxColumns;
  if (!columns && !rows) {
    if (a.CellCount() > XlMaxCellsMadeByOneWrite)
      XlServerError("A block of more than " + IntToStr(int(XlMaxCellsMadeByOneWrite)) +
                  " cells takes a format only as whole rows or columns.");
    for (int r = a.R1; r <= a.R2; ++r)
      for (int c = a.C1; c <= a.C2; ++c) change(d.CellAt(r, c).Style);
    return;
  }
  for (auto it = d.Cells.lower_bound({a.R1, 0}); it != d.Cells.end() && it->first.first <= a.R2; ++it)
    if (a.Contains(it->first.first, it->first.second)) change(it->second.Style);
  if (columns) {
    for (int c = a.C1; c <= a.C2; ++c) change(d.ColumnStyles.try_emplace(c, 0).first->second);
    // A row's own format comes before its columns': it takes the change too.
    if (rows) for (auto& [r, style] : d.RowStyles) change(style);
  } else {
    for (int r = a.R1; r <= a.R2; ++r) change(d.RowStyles.try_emplace(r, 0).first->second);
  }
}

TComPtr<IDispatch> XlMakeRange(TXlWorksheet* sheet, const TXlArea& a) {
  return TComPtr<IDispatch>(MakeAuto<TXlRange>(TComPtr<TXlWorksheet>(sheet), a).Get());
}

TXlArea XlAreaOf(const OleVariant& v, TXlWorksheet* sheet) {
  if (v.IsInterface()) {
    TComPtr<IDispatch> d = v.AsDispatch();
    TComPtr<IDispatch> r = d.Query<IDispatch>(IID_Range);
    auto* range = r ? static_cast<TXlRange*>(static_cast<Range*>(r.Get())) : nullptr;
    if (!range || range->Sheet() != sheet) XlServerError("Method 'Range' of object '_Worksheet' failed");
    return range->Area();
  }
  TXlArea a;
  if (!v.IsText() || !XlParseArea(v.AsAnsi(), a)) XlServerError("Method 'Range' of object '_Worksheet' failed");
  return a;
}

TXlArea XlAreaOf(const TInvokeArgs& args, TXlWorksheet* sheet) {
  TXlArea a = XlAreaOf(args.Required(0), sheet);
  if (args.Has(1)) a = XlUnite(a, XlAreaOf(args.Arg(1), sheet));
  return a;
}

TXlRange::TXlRange(TComPtr<TXlWorksheet> sheet, TXlArea area)
    : TXlObject(XlNames(), IID_Range), FSheet(std::move(sheet)), FArea(area) {
  auto alive = [this] { FSheet->CheckAlive(); };
  Property(DISPID_Address, [this, alive](const TInvokeArgs& a) {
    alive();
    bool rowAbs = a.Has(0) ? a.Arg(0).AsBool() : true;
    bool colAbs = a.Has(1) ? a.Arg(1).AsBool() : true;
    if (a.Has(2) && a.Arg(2).AsInteger() != xlA1) XlServerError("Only the A1 reference style is served.");
    AnsiString s = XlCellAddress(FArea.R1, FArea.C1, rowAbs, colAbs);
    if (FArea.CellCount() > 1) s += ":" + XlCellAddress(FArea.R2, FArea.C2, rowAbs, colAbs);
    return OleVariant(s);
  });
  Property(DISPID_Text, [this, alive](const TInvokeArgs&) { alive(); return text(); });
  Property(
      DISPID_Value, [this, alive](const TInvokeArgs&) { alive(); return value(); },
      [this, alive](const TInvokeArgs& a) {
        alive();
        setValue(a.PutValue.Deref());
        return OleVariant();
      });
  Property(DISPID_Offset, [this](const TInvokeArgs& a) {
    long long dr = a.Has(0) ? a.Arg(0).AsInteger() : 0, dc = a.Has(1) ? a.Arg(1).AsInteger() : 0;
    return sub(FArea.R1 + dr, FArea.C1 + dc, FArea.R2 + dr, FArea.C2 + dc);
  });
  Property(DISPID_Resize, [this](const TInvokeArgs& a) {
    long long rows = a.Has(0) ? a.Arg(0).AsInteger() : FArea.Rows(), cols = a.Has(1) ? a.Arg(1).AsInteger() : FArea.Columns();
    if (rows < 1 || cols < 1) XlServerError("Application-defined or object-defined error");
    return sub(FArea.R1, FArea.C1, FArea.R1 + rows - 1, FArea.C1 + cols - 1);
  });
  Property(DISPID_Item, [this](const TInvokeArgs& a) {
    long long r = a.Required(0).AsInteger(), c = a.Has(1) ? a.Arg(1).AsInteger() : 1;
    return sub(FArea.R1 + r - 1, FArea.C1 + c - 1, FArea.R1 + r - 1, FArea.C1 + c - 1);
  });
  Property(DISPID_Range, [this](const TInvokeArgs& a) {
    TXlArea rel = XlAreaOf(a, FSheet.Get());
    return sub(FArea.R1 + rel.R1 - 1LL, FArea.C1 + rel.C1 - 1LL, FArea.R1 + rel.R2 - 1LL, FArea.C1 + rel.C2 - 1LL);
  });
  Property(DISPID_EntireRow, [this](const TInvokeArgs&) { return sub(FArea.R1, 1, FArea.R2, XlMaxColumns); });
  Property(DISPID_EntireColumn, [this](const TInvokeArgs&) { return sub(1, FArea.C1, XlMaxRows, FArea.C2); });
  Property(DISPID_Row, [this](const TInvokeArgs&) { return OleVariant(FArea.R1); });
  Property(DISPID_Column, [this](const TInvokeArgs&) { return OleVariant(FArea.C1); });
  Property(DISPID_Count, [this](const TInvokeArgs&) { return OleVariant(double(FArea.CellCount())); });
  Property(DISPID_Worksheet, [this](const TInvokeArgs&) { return OleVariant(FSheet->AsDispatch()); });
  Property(DISPID_Parent, [this](const TInvokeArgs&) { return OleVariant(FSheet->AsDispatch()); });
  Property(
      DISPID_OutlineLevel,
      [this, alive](const TInvokeArgs&) {
        alive();
        auto& levels = FSheet->Data().RowLevels;
        auto it = levels.find(FArea.R1);
        return OleVariant(it == levels.end() ? 1 : it->second);
      },
      [this, alive](const TInvokeArgs& a) {
        alive();
        int level = a.PutValue.AsInteger();
        if (level < 1 || level > 8) XlServerError("Unable to set the OutlineLevel property of the Range class");
        auto& levels = FSheet->Data().RowLevels;
        for (int r = FArea.R1; r <= FArea.R2; ++r) {
          if (level == 1) levels.erase(r); else levels[r] = level;
        }
        return OleVariant();
      });
  Method(DISPID_AutoFit, [this, alive](const TInvokeArgs&) {
    alive();
    // A column fits its longest text; an empty one keeps the standard width.
    std::map<int, size_t> longest;
    forEachCell([&](int, int c, TXlCell& cell) {
      longest[c] = std::max(longest[c], XlCellText(cell.Value).size());
    });
    for (int c = FArea.C1; c <= FArea.C2; ++c) {
      auto it = longest.find(c);
      if (it == longest.end() || it->second == 0) FSheet->Data().ColumnWidths.erase(c);
      else FSheet->Data().ColumnWidths[c] = std::min<double>(255, double(it->second) + 1);
    }
    return OleVariant(true);
  });
  Method(DISPID_ClearContents, [this, alive](const TInvokeArgs&) {
    alive();
    forEachCell([](int, int, TXlCell& c) { c.Value = OleVariant(); });
    changed();
    return OleVariant(true);
  });
  Method(DISPID_Select, [this, alive](const TInvokeArgs&) {
    alive();
    TXlWorkbook* book = FSheet->Book();
    if (book->ActiveSheet() != FSheet.Get()) XlServerError("Select method of Range class failed");
    book->WindowObject->Selection = FArea;
    book->App()->Fire(DISPID_SheetSelectionChange, {FSheet->AsDispatch(), OleVariant(AsDispatch())});
    return OleVariant(true);
  });
  Property(DISPID_Font, [this](const TInvokeArgs&) { return OleVariant(XlMakeFont(FSheet, FArea)); });
  Property(DISPID_Interior, [this](const TInvokeArgs&) { return OleVariant(XlMakeInterior(FSheet, FArea)); });
  Property(DISPID_Borders, [this](const TInvokeArgs& a) {
    TComPtr<IDispatch> all = XlMakeBorder(FSheet, FArea, 0);
    return a.Has(0) ? OleVariant(XlMakeBorder(FSheet, FArea, a.Arg(0).AsInteger())) : OleVariant(all);
  });
  auto toBool = [](const OleVariant& v) { return v.AsBool(); };
  styleField(DISPID_IndentLevel, &TXlStyle::IndentLevel, [](const OleVariant& v) {
    int i = v.AsInteger();
    if (i < 0 || i > 15) XlServerError("Unable to set the IndentLevel property of the Range class");
    return i;
  });
  styleField(DISPID_Orientation, &TXlStyle::Orientation, [](const OleVariant& v) {
    int o = v.AsInteger();
    bool named = o == -4170 || o == -4128 || o == -4171 || o == -4166;
    if (!named && (o < -90 || o > 90)) XlServerError("Unable to set the Orientation property of the Range class");
    return o;
  });
  styleField(DISPID_ShrinkToFit, &TXlStyle::ShrinkToFit, toBool);
  // Only the alignments a file can name.
  styleField(DISPID_HorizontalAlignment, &TXlStyle::HorizontalAlignment, [](const OleVariant& v) {
    int a = v.AsInteger();
    if (!XlNameOf(XlHorizontalNames, a)) XlServerError("Unable to set the HorizontalAlignment property of the Range class");
    return a;
  });
  styleField(DISPID_VerticalAlignment, &TXlStyle::VerticalAlignment, [](const OleVariant& v) {
    int a = v.AsInteger();
    if (!XlNameOf(XlVerticalNames, a)) XlServerError("Unable to set the VerticalAlignment property of the Range class");
    return a;
  });
  styleField(DISPID_WrapText, &TXlStyle::WrapText, toBool);
  Property(
      DISPID_ColumnWidth,
      [this](const TInvokeArgs&) {
        auto& w = FSheet->Data().ColumnWidths;
        auto it = w.find(FArea.C1);
        return OleVariant(it == w.end() ? 8.43 : it->second);
      },
      [this](const TInvokeArgs& a) {
        double v = a.PutValue.AsDouble();
        if (!(v >= 0 && v <= 255)) XlServerError("Unable to set the ColumnWidth property of the Range class");
        for (int c = FArea.C1; c <= FArea.C2; ++c) FSheet->Data().ColumnWidths[c] = v;
        return OleVariant();
      });
  Property(
      DISPID_RowHeight,
      [this](const TInvokeArgs&) {
        auto& h = FSheet->Data().RowHeights;
        auto it = h.find(FArea.R1);
        return OleVariant(it == h.end() ? 12.75 : it->second);
      },
      [this](const TInvokeArgs& a) {
        double v = a.PutValue.AsDouble();
        if (!(v >= 0 && v <= 409)) XlServerError("Unable to set the RowHeight property of the Range class");
        for (int r = FArea.R1; r <= FArea.R2; ++r) FSheet->Data().RowHeights[r] = v;
        return OleVariant();
      });
}

OleVariant TXlRange::text() {
  auto& cells = FSheet->Data().Cells;
  if (FArea.CellCount() == 1) {
    auto it = cells.find({FArea.R1, FArea.C1});
    return OleVariant(it == cells.end() ? WideString() : XlCellText(it->second.Value));
  }
  // Cells that differ have no one text.
  long long seen = 0;
  std::optional<WideString> common;
  bool same = true;
  forEachCell([&](int, int, TXlCell& c) {
    WideString t = XlCellText(c.Value);
    ++seen;
    if (!common) common = t; else if (*common != t) same = false;
  });
  if (seen < FArea.CellCount()) {
    if (common && !common->empty()) same = false;
    common = WideString();
  }
  return same ? OleVariant(*common) : OleVariant::Null();
}

OleVariant TXlRange::value() {
  auto& cells = FSheet->Data().Cells;
  auto at = [&](int r, int c) {
    auto it = cells.find({r, c});
    return it == cells.end() ? OleVariant() : it->second.Value;
  };
  if (FArea.CellCount() == 1) return at(FArea.R1, FArea.C1);
  if (FArea.Rows() != 1 || FArea.Columns() > XlMaxColumns) XlServerError("Only one-row blocks give their values.");
  std::vector<OleVariant> row;
  for (int c = FArea.C1; c <= FArea.C2; ++c) row.push_back(at(FArea.R1, c));
  return OleVariant::Array(std::move(row), 1);
}

namespace {

// Only what a cell can hold, and a file keep: the whole block is checked before any cell changes.
void checkCellValue(const OleVariant& v, const char* what) {
  if (v.IsInterface() || v.IsArray()) XlServerError(AnsiString(what) + " is not a cell value.");
  if (v.IsNumber() && !std::isfinite(v.AsDouble())) XlServerError("A number that is not finite is not a cell value.");
  // From 1 January 1900 to the end of 31 December 9999.
  if (v.VType() == VT_DATE && !(v.AsDouble() >= 2 && v.AsDouble() < 2958466))
    XlServerError("Dates run from 1 January 1900 to 31 December 9999.");
  if (v.VType() == VT_ERROR && XlErrorCode(XlErrorText(v.ErrorCode())) != v.ErrorCode())
    XlServerError("Only the cell error values are cell values.");
}

}  // namespace

void TXlRange::setValue(const OleVariant& v) {
  if (v.IsArray()) {
    const auto& items = v.Elements();
    tooLargeForValues();
    for (auto& item : items) checkCellValue(item.Deref(), "An array element");
    for (int r = FArea.R1; r <= FArea.R2; ++r)
      for (int c = FArea.C1; c <= FArea.C2; ++c) {
        size_t i = size_t(c - FArea.C1);
        FSheet->Data().CellAt(r, c).Value = i < items.size() ? items[i].Deref() : OleVariant::Error(static_cast<HRESULT>(0x800A07FA));
      }
  } else {
    checkCellValue(v, "An object");
    OleVariant value = v.IsNull() ? OleVariant() : v;
    if (value.IsEmpty()) {
      forEachCell([](int, int, TXlCell& c) { c.Value = OleVariant(); });  // emptying makes no cells
    } else {
      tooLargeForValues();
      for (int r = FArea.R1; r <= FArea.R2; ++r)
        for (int c = FArea.C1; c <= FArea.C2; ++c) FSheet->Data().CellAt(r, c).Value = value;
    }
  }
  changed();
}

void TXlRange::tooLargeForValues() const {
  if (FArea.CellCount() > XlMaxCellsMadeByOneWrite)
    XlServerError("A block of more than " + IntToStr(int(XlMaxCellsMadeByOneWrite)) + " cells cannot take a value at once.");
}

void TXlRange::changed() {
  TComPtr<IDispatch> app(FSheet->Book()->App()->AsDispatch());
  FSheet->Book()->App()->Fire(DISPID_SheetChange, {FSheet->AsDispatch(), OleVariant(AsDispatch())});
  // A handler may have closed the workbook.
  if (FSheet->Book()) FSheet->Book()->App()->Fire(DISPID_SheetCalculate, {FSheet->AsDispatch()});
}
