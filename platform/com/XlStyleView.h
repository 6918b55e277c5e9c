// Font, interior and border views over a block of cells.
#pragma once

#include <functional>

#include "platform/com/XlRange.h"

// Font, interior, one border or all four: reads from the block's first cell, writes to every cell.
class TXlStyleView final : public TXlObject<IDispatch> {
public:
  using TGet = std::function<OleVariant(const TXlStyle&)>;
  using TSet = std::function<void(TXlStyle&, const OleVariant&)>;
  TXlStyleView(const IID& iid, TComPtr<TXlWorksheet> sheet, TXlArea area)
      : TXlObject(XlNames(), iid), FSheet(std::move(sheet)), FArea(area) {}
  void Field(DISPID id, TGet get, TSet set) {
    Property(
        id, [this, get](const TInvokeArgs&) { return get(first()); },
        [this, set](const TInvokeArgs& a) {
          forEach([&](TXlStyle& s) { set(s, a.PutValue.Deref()); });
          return OleVariant();
        });
  }
  TComPtr<TXlWorksheet> Sheet() const { return FSheet; }
  TXlArea Area() const { return FArea; }

private:
  TXlStyle first() {
    FSheet->CheckAlive();
    TXlSheetData& d = FSheet->Data();
    return d.Styles[d.StyleAt(FArea.R1, FArea.C1)];
  }
  template <class F>
  void forEach(F f) {
    FSheet->CheckAlive();
    XlFormatBlock(FSheet->Data(), FArea, f);
  }
  TComPtr<TXlWorksheet> FSheet;
  TXlArea FArea;
};

TComPtr<IDispatch> XlMakeFont(TComPtr<TXlWorksheet> sheet, TXlArea a);
TComPtr<IDispatch> XlMakeInterior(TComPtr<TXlWorksheet> sheet, TXlArea a);
// One edge, or every edge when edge is 0.
TComPtr<IDispatch> XlMakeBorder(TComPtr<TXlWorksheet> sheet, TXlArea a, int edge);
