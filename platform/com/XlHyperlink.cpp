#include "platform/com/XlHyperlink.h"

#include <algorithm>
#include <memory>

#include "platform/com/XlRange.h"

namespace {

// A chart object seen as the shape a hyperlink sits on.
class TXlShape final : public TXlObject<IDispatch> {
public:
  explicit TXlShape(const WideString& name) : TXlObject(XlNames(), IID_Shape) {
    Property(DISPID_Name, [name](const TInvokeArgs&) { return OleVariant(name); });
  }
};


}  // namespace

TXlHyperlink::TXlHyperlink(TXlWorksheet* sheet, TXlArea anchor, TXlChartObject* shape, WideString address, WideString sub)
    : TXlObject(XlNames(), IID_Hyperlink), Anchor(anchor), ShapeAnchor(shape), Address(std::move(address)),
      SubAddress(std::move(sub)), FSheet(sheet) {
  auto text = [this](DISPID id, WideString TXlHyperlink::*field) {
    Property(
        id, [this, field](const TInvokeArgs&) { checkAlive(); return OleVariant(this->*field); },
        [this, field](const TInvokeArgs& a) {
          checkAlive();
          this->*field = a.PutValue.AsWide();
          return OleVariant();
        });
  };
  text(DISPID_Address, &TXlHyperlink::Address);
  text(DISPID_SubAddress, &TXlHyperlink::SubAddress);
  Property(DISPID_Type, [this](const TInvokeArgs&) {
    checkAlive();
    return OleVariant(ShapeAnchor ? msoHyperlinkShape : msoHyperlinkRange);
  });
  Property(DISPID_Range, [this](const TInvokeArgs&) {
    checkAlive();
    if (ShapeAnchor) XlServerError("The hyperlink is on a shape.");
    return OleVariant(XlMakeRange(FSheet, Anchor));
  });
  Property(DISPID_Shape, [this](const TInvokeArgs&) {
    checkAlive();
    if (!ShapeAnchor) XlServerError("The hyperlink is on a range.");
    return OleVariant(TComPtr<IDispatch>(MakeAuto<TXlShape>(ShapeAnchor->Name).Get()));
  });
  Method(DISPID_Follow, [this](const TInvokeArgs&) {
    checkAlive();
    ++FollowCount;
    return OleVariant();
  });
  Method(DISPID_Delete, [this](const TInvokeArgs&) {
    checkAlive();
    auto& list = FSheet->HyperlinkObjects;
    TComPtr<IDispatch> self(AsDispatch());
    list.erase(std::remove(list.begin(), list.end(), self), list.end());
    Detach();
    return OleVariant();
  });
}

TComPtr<IDispatch> XlMakeHyperlinks(TComPtr<TXlWorksheet> sheet) {
  auto v = MakeAuto<TAutoObject<IDispatch>>(XlNames(), IID_Hyperlinks);
  TXlWorksheet* s = sheet.Get();
  auto keep = std::make_shared<TComPtr<TXlWorksheet>>(sheet);
  v->Property(DISPID_Count, [s, keep](const TInvokeArgs&) { s->CheckAlive(); return OleVariant(int(s->HyperlinkObjects.size())); });
  v->Method(DISPID_Item, [s, keep](const TInvokeArgs& a) { s->CheckAlive(); return XlItemAt(s->HyperlinkObjects, a.Required(0)); });
  v->Method(DISPID_Add, [s, keep](const TInvokeArgs& a) {
    s->CheckAlive();
    const OleVariant& anchor = a.Required(0);
    TXlArea area{};
    TXlChartObject* shape = nullptr;
    TComPtr<IDispatch> d = anchor.IsInterface() ? anchor.AsDispatch() : TComPtr<IDispatch>();
    if (TComPtr<IDispatch> co = d.Query<IDispatch>(IID_ChartObject)) {
      shape = static_cast<TXlChartObject*>(co.Get());
    } else {
      area = XlAreaOf(anchor, s);
    }
    WideString address = a.Has(1) ? a.Arg(1).AsWide() : WideString();
    WideString sub = a.Has(2) ? a.Arg(2).AsWide() : WideString();
    if (address.empty() && sub.empty()) XlServerError("Cannot open the specified file.");
    auto link = MakeAuto<TXlHyperlink>(s, area, shape, address, sub);
    s->HyperlinkObjects.push_back(TComPtr<IDispatch>(link->AsDispatch()));
    return OleVariant(TComPtr<IDispatch>(link->AsDispatch()));
  });
  return TComPtr<IDispatch>(v.Get());
}
