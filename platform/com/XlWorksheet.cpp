#include "platform/com/XlWorksheet.h"

#include <algorithm>
#include <memory>

#include "platform/com/XlChart.h"
#include "platform/com/XlHyperlink.h"
#include "platform/com/XlRange.h"
#include "platform/com/XlApplication.h"

namespace {

// The sheet's outline settings.
TComPtr<IDispatch> outline(TComPtr<TXlWorksheet> sheet) {
  auto v = MakeAuto<TAutoObject<IDispatch>>(XlNames(), IID_Outline);
  TXlWorksheet* s = sheet.Get();
  auto keep = std::make_shared<TComPtr<TXlWorksheet>>(sheet);
  v->Property(
      DISPID_SummaryRow, [s, keep](const TInvokeArgs&) { return OleVariant(s->SummaryRow); },
      [s, keep](const TInvokeArgs& a) {
        int v = a.PutValue.AsInteger();
        if (v != xlSummaryAbove && v != xlSummaryBelow) XlServerError("Unable to set the SummaryRow property of the Outline class");
        s->SummaryRow = v;
        return OleVariant();
      });
  return TComPtr<IDispatch>(v.Get());
}

}  // namespace

TXlWorksheet::TXlWorksheet(TXlWorkbook* book, const WideString& name) : TXlObject(XlNames(), IID__Worksheet), FBook(book) {
  FData.Name = name;
  Property(
      DISPID_Name, [this](const TInvokeArgs&) { CheckAlive(); return OleVariant(FData.Name); },
      [this](const TInvokeArgs& a) {
        CheckAlive();
        FBook->RenameSheet(this, a.PutValue.AsWide());
        return OleVariant();
      });
  Property(DISPID_Range, [this](const TInvokeArgs& a) {
    CheckAlive();
    return OleVariant(XlMakeRange(this, XlAreaOf(a, this)));
  });
  Property(DISPID_Cells, [this](const TInvokeArgs&) {
    CheckAlive();
    return OleVariant(XlMakeRange(this, TXlArea{1, 1, XlMaxRows, XlMaxColumns}));
  });
  Property(DISPID_Hyperlinks, [this](const TInvokeArgs&) { CheckAlive(); return OleVariant(XlMakeHyperlinks(TComPtr<TXlWorksheet>(this))); });
  Method(DISPID_ChartObjects, [this](const TInvokeArgs& a) {
    CheckAlive();
    TComPtr<IDispatch> all = XlMakeChartObjects(TComPtr<TXlWorksheet>(this));
    return a.Has(0) ? XlItemAt(ChartObjectList, a.Arg(0)) : OleVariant(all);
  });
  Property(DISPID_Outline, [this](const TInvokeArgs&) { CheckAlive(); return OleVariant(outline(TComPtr<TXlWorksheet>(this))); });
  Property(DISPID_Parent, [this](const TInvokeArgs&) { CheckAlive(); return OleVariant(FBook->AsDispatch()); });
  Property(DISPID_Index, [this](const TInvokeArgs&) {
    CheckAlive();
    auto& list = FBook->SheetList();
    return OleVariant(int(std::find(list.begin(), list.end(), TComPtr<TXlWorksheet>(this)) - list.begin()) + 1);
  });
  Method(DISPID_Activate, [this](const TInvokeArgs&) {
    CheckAlive();
    FBook->App()->ActivateBook(FBook);
    CheckAlive();
    FBook->ActivateSheet(this);
    return OleVariant(true);
  });
  Method(DISPID_Delete, [this](const TInvokeArgs&) {
    CheckAlive();
    FBook->DeleteSheet(this);
    return OleVariant(true);
  });
}

void TXlWorksheet::Detach() {
  FBook = nullptr;
  for (auto& h : HyperlinkObjects) static_cast<TXlHyperlink*>(h.Get())->Detach();
  for (auto& c : ChartObjectList) c->Detach();
  HyperlinkObjects.clear();
  ChartObjectList.clear();
}

TXlWorksheet::~TXlWorksheet() = default;
