#include "platform/com/XlStyleView.h"

#include "platform/com/XlFileNames.h"
#include "platform/com/XlRange.h"

namespace {

template <class T, class Field>
TXlStyleView::TGet getField(Field T::*field) {
  return [field](const TXlStyle& s) { return OleVariant(s.*field); };
}

int edgeSlot(int edge) {
  if (edge < xlEdgeLeft || edge > xlEdgeRight) XlServerError("Unable to get the Item property of the Borders class");
  return edge - xlEdgeLeft;
}

}  // namespace

TComPtr<IDispatch> XlMakeFont(TComPtr<TXlWorksheet> sheet, TXlArea a) {
  auto v = MakeAuto<TXlStyleView>(IID_Font, std::move(sheet), a);
  v->Field(DISPID_Name, [](const TXlStyle& s) { return OleVariant(s.FontName); },
           [](TXlStyle& s, const OleVariant& x) { s.FontName = x.AsWide(); });
  v->Field(DISPID_Size, [](const TXlStyle& s) { return OleVariant(s.FontSize); },
           [](TXlStyle& s, const OleVariant& x) {
             double d = x.AsDouble();
             if (!(d >= 1 && d <= 409)) XlServerError("Unable to set the Size property of the Font class");
             s.FontSize = d;
           });
  v->Field(DISPID_Bold, getField(&TXlStyle::Bold), [](TXlStyle& s, const OleVariant& x) { s.Bold = x.AsBool(); });
  v->Field(DISPID_Italic, getField(&TXlStyle::Italic), [](TXlStyle& s, const OleVariant& x) { s.Italic = x.AsBool(); });
  v->Field(DISPID_Underline, getField(&TXlStyle::Underline),
           [](TXlStyle& s, const OleVariant& x) { s.Underline = x.AsBool(); });
  v->Field(DISPID_Strikethrough, getField(&TXlStyle::Strikethrough),
           [](TXlStyle& s, const OleVariant& x) { s.Strikethrough = x.AsBool(); });
  v->Field(DISPID_Color, getField(&TXlStyle::FontColor),
           [](TXlStyle& s, const OleVariant& x) { s.FontColor = x.AsInteger() & 0xFFFFFF; });
  return TComPtr<IDispatch>(v.Get());
}

TComPtr<IDispatch> XlMakeInterior(TComPtr<TXlWorksheet> sheet, TXlArea a) {
  auto v = MakeAuto<TXlStyleView>(IID_Interior, std::move(sheet), a);
  v->Field(DISPID_Color, getField(&TXlStyle::InteriorColor),
           [](TXlStyle& s, const OleVariant& x) { s.InteriorColor = x.AsInteger() & 0xFFFFFF; });
  v->Field(DISPID_Pattern, getField(&TXlStyle::Pattern), [](TXlStyle& s, const OleVariant& x) {
    int pattern = x.AsInteger();
    if (!XlNameOf(XlPatternNames, pattern)) XlServerError("Unable to set the Pattern property of the Interior class");
    s.Pattern = pattern;
  });
  v->Field(DISPID_PatternColor, getField(&TXlStyle::PatternColor),
           [](TXlStyle& s, const OleVariant& x) { s.PatternColor = x.AsInteger() & 0xFFFFFF; });
  return TComPtr<IDispatch>(v.Get());
}


TComPtr<IDispatch> XlMakeBorder(TComPtr<TXlWorksheet> sheet, TXlArea a, int edge) {
  auto v = MakeAuto<TXlStyleView>(edge ? IID_Border : IID_Borders, sheet, a);
  int first = edge ? edgeSlot(edge) : 0, last = edge ? first : 3;
  v->Field(DISPID_LineStyle, [first](const TXlStyle& s) { return OleVariant(s.Borders[first].LineStyle); },
           [first, last](TXlStyle& s, const OleVariant& x) {
             int line = x.AsInteger();
             if (line != xlNone && !XlNameOf(XlLineNames, line)) XlServerError("Unable to set the LineStyle property of the Border class");
             for (int i = first; i <= last; ++i) s.Borders[i].LineStyle = line;
           });
  v->Field(DISPID_Weight, [first](const TXlStyle& s) { return OleVariant(s.Borders[first].Weight); },
           [first, last](TXlStyle& s, const OleVariant& x) {
             int w = x.AsInteger();
             if (w != 1 && w != 2 && w != 4 && w != -4138) XlServerError("Unable to set the Weight property of the Border class");
             for (int i = first; i <= last; ++i) s.Borders[i].Weight = w;
           });
  if (!edge) {
    TXlStyleView* raw = v.Get();
    v->Method(DISPID_Item, [raw](const TInvokeArgs& args) {
      return OleVariant(XlMakeBorder(raw->Sheet(), raw->Area(), args.Required(0).AsInteger()));
    });
    v->Property(DISPID_Count, [](const TInvokeArgs&) { return OleVariant(4); });
  }
  return TComPtr<IDispatch>(v.Get());
}
