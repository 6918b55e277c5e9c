// A block of cells of a worksheet, and the rules for writing values and formats to blocks.
#pragma once

#include <functional>

#include "platform/com/XlWorksheet.h"

// The most cells one write of a value or a format makes: one whole column's worth. Whole rows and
// columns take a format as rows and columns, touching only the cells that exist.
constexpr long long XlMaxCellsMadeByOneWrite = XlMaxRows;

// Changes the format of every cell of a block, and of whole rows and columns for the cells made later.
void XlFormatBlock(TXlSheetData& d, const TXlArea& a, const std::function<void(TXlStyle&)>& f);

TComPtr<IDispatch> XlMakeRange(TXlWorksheet* sheet, const TXlArea& a);

class TXlRange final : public TXlObject<Range> {
public:
  TXlRange(TComPtr<TXlWorksheet> sheet, TXlArea area);
  TXlWorksheet* Sheet() const { return FSheet.Get(); }
  const TXlArea& Area() const { return FArea; }

private:
  // Every cell that exists in the block.
  template <class F>
  void forEachCell(F f) {
    auto& cells = FSheet->Data().Cells;
    for (auto it = cells.lower_bound({FArea.R1, 0}); it != cells.end() && it->first.first <= FArea.R2; ++it)
      if (FArea.Contains(it->first.first, it->first.second)) f(it->first.first, it->first.second, it->second);
  }
  OleVariant text();
  OleVariant value();
  void setValue(const OleVariant& v);
  void tooLargeForValues() const;
  void changed();
  // Offsets and sizes come from callers: the corners are computed wide, then checked.
  OleVariant sub(long long r1, long long c1, long long r2, long long c2) {
    if (r1 < 1 || c1 < 1 || r2 > XlMaxRows || c2 > XlMaxColumns || r2 < r1 || c2 < c1)
      XlServerError("Application-defined or object-defined error");
    return OleVariant(XlMakeRange(FSheet.Get(), TXlArea{int(r1), int(c1), int(r2), int(c2)}));
  }
  template <class T>
  OleVariant styleGet(T TXlStyle::*field) {
    TXlSheetData& d = FSheet->Data();
    return OleVariant(d.Styles[d.StyleAt(FArea.R1, FArea.C1)].*field);
  }
  template <class T, class Conv>
  void styleField(DISPID id, T TXlStyle::*field, Conv conv) {
    Property(
        id, [this, field](const TInvokeArgs&) { FSheet->CheckAlive(); return styleGet(field); },
        [this, field, conv](const TInvokeArgs& a) {
          FSheet->CheckAlive();
          T v = conv(a.PutValue.Deref());
          XlFormatBlock(FSheet->Data(), FArea, [&](TXlStyle& s) { s.*field = v; });
          return OleVariant();
        });
  }
  TComPtr<TXlWorksheet> FSheet;
  TXlArea FArea;
};

// A cell argument: an address text or a range of the same sheet; two of them make the block around both.
TXlArea XlAreaOf(const OleVariant& v, TXlWorksheet* sheet);
TXlArea XlAreaOf(const TInvokeArgs& args, TXlWorksheet* sheet);
