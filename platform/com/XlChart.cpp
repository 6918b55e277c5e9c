#include "platform/com/XlChart.h"

#include <algorithm>
#include <memory>

TXlChart::TXlChart(TXlChartObject* parent) : TXlObject(XlNames(), IID__Chart), FParent(parent) {
  auto alive = [this] {
    if (!FParent) XlServerError("The chart has been deleted.");
  };
  Property(
      DISPID_ChartType, [this, alive](const TInvokeArgs&) { alive(); return OleVariant(ChartType); },
      [this, alive](const TInvokeArgs& a) {
        alive();
        ChartType = a.PutValue.AsInteger();
        return OleVariant();
      });
  Property(DISPID_Parent, [this, alive](const TInvokeArgs&) { alive(); return OleVariant(FParent->AsDispatch()); });
  Method(DISPID_ChartWizard, [this, alive](const TInvokeArgs& a) {
    alive();
    if (a.Has(0)) {
      TComPtr<IDispatch> r = a.Arg(0).AsDispatch().Query<IDispatch>(IID_Range);
      if (!r) XlServerError("ChartWizard method of Chart class failed");
      Source = DispGet(r.Get(), DISPID_Address).AsWide();
    }
    return OleVariant();
  });
}

TXlChartObject::TXlChartObject(TXlWorksheet* sheet, WideString name, double l, double t, double w, double h)
    : TXlObject(XlNames(), IID_ChartObject), Name(std::move(name)), Left(l), Top(t), Width(w), Height(h),
      FChart(MakeAuto<TXlChart>(this)), FSheet(sheet) {
  auto geometry = [this](DISPID id, double TXlChartObject::*field) {
    Property(
        id, [this, field](const TInvokeArgs&) { CheckAlive(); return OleVariant(this->*field); },
        [this, field](const TInvokeArgs& a) {
          CheckAlive();
          this->*field = a.PutValue.AsDouble();
          return OleVariant();
        });
  };
  geometry(DISPID_Left, &TXlChartObject::Left);
  geometry(DISPID_Top, &TXlChartObject::Top);
  geometry(DISPID_Width, &TXlChartObject::Width);
  geometry(DISPID_Height, &TXlChartObject::Height);
  Property(DISPID_Name, [this](const TInvokeArgs&) { return OleVariant(Name); });
  Property(DISPID_Chart, [this](const TInvokeArgs&) { CheckAlive(); return OleVariant(FChart->AsDispatch()); });
  Method(DISPID_Activate, [this](const TInvokeArgs&) { CheckAlive(); return OleVariant(true); });
  Method(DISPID_Delete, [this](const TInvokeArgs&) {
    CheckAlive();
    auto& list = FSheet->ChartObjectList;
    TComPtr<TXlChartObject> self(this);
    list.erase(std::remove(list.begin(), list.end(), self), list.end());
    Detach();
    return OleVariant(true);
  });
}

TComPtr<IDispatch> XlMakeChartObjects(TComPtr<TXlWorksheet> sheet) {
  auto v = MakeAuto<TAutoObject<IDispatch>>(XlNames(), IID_ChartObjects);
  TXlWorksheet* s = sheet.Get();
  auto keep = std::make_shared<TComPtr<TXlWorksheet>>(sheet);
  v->Property(DISPID_Count, [s, keep](const TInvokeArgs&) { s->CheckAlive(); return OleVariant(int(s->ChartObjectList.size())); });
  v->Method(DISPID_Item, [s, keep](const TInvokeArgs& a) { s->CheckAlive(); return XlItemAt(s->ChartObjectList, a.Required(0)); });
  v->Method(DISPID_Add, [s, keep](const TInvokeArgs& a) {
    s->CheckAlive();
    double w = a.Required(2).AsDouble(), h = a.Required(3).AsDouble();
    if (w < 0 || h < 0) XlServerError("Add method of ChartObjects class failed");
    auto co = MakeAuto<TXlChartObject>(s, L"Chart " + std::to_wstring(s->NextChartNumber++), a.Required(0).AsDouble(),
                                       a.Required(1).AsDouble(), w, h);
    s->ChartObjectList.push_back(co);
    return OleVariant(TComPtr<IDispatch>(co->AsDispatch()));
  });
  return TComPtr<IDispatch>(v.Get());
}
