// A worksheet of the spreadsheet server: its cells, hyperlinks, chart objects and outline.
#pragma once

#include "platform/com/XlObject.h"

class TXlWorkbook;
class TXlChartObject;

class TXlWorksheet final : public TXlObject<_Worksheet> {
public:
  TXlWorksheet(TXlWorkbook* book, const WideString& name);
  ~TXlWorksheet() override;
  TXlWorkbook* Book() const { return FBook; }
  void Detach();
  TXlSheetData& Data() { return FData; }
  void CheckAlive() const {
    if (!FBook) XlServerError("The worksheet has been deleted.");
  }
  std::vector<TComPtr<IDispatch>> HyperlinkObjects;  // TXlHyperlink
  std::vector<TComPtr<TXlChartObject>> ChartObjectList;
  int SummaryRow = xlSummaryBelow;
  int NextChartNumber = 1;

  HRESULT Get_Name(LCID, WideString* v) override { return GetText(DISPID_Name, v); }
  HRESULT Set_Name(LCID, WideString v) override { return DualPut(DISPID_Name, v); }
  HRESULT Get_Range(const OleVariant& a, const OleVariant& b, Range** r) override {
    return GetIntf(DISPID_Range, IID_Range, r, {a, b});
  }
  HRESULT Get_Cells(LCID, Range** r) override { return GetIntf(DISPID_Cells, IID_Range, r); }
  HRESULT Get_Parent(LCID, IDispatch** r) override { return GetIntf(DISPID_Parent, IID_IDispatch, r); }
  HRESULT Hyperlinks(IDispatch** r) override { return GetIntf(DISPID_Hyperlinks, IID_IDispatch, r); }
  HRESULT ChartObjects(const OleVariant& index, LCID, IDispatch** r) override {
    return CallIntf(DISPID_ChartObjects, IID_IDispatch, r, {index});
  }
  HRESULT Get_Outline(LCID, IDispatch** r) override { return GetIntf(DISPID_Outline, IID_IDispatch, r); }
  HRESULT Activate(LCID) override { return CallMethod(DISPID_Activate); }
  HRESULT Delete(LCID) override { return CallMethod(DISPID_Delete); }

private:
  TXlWorkbook* FBook;
  TXlSheetData FData;
};
