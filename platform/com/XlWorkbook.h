// A workbook of the spreadsheet server: its sheets in order, with names looked up by hash.
#pragma once

#include <algorithm>
#include <unordered_map>

#include "platform/com/XlWindow.h"
#include "platform/com/XlWorksheet.h"

class TXlApplication;

class TXlWorkbook final : public TXlObject<_Workbook> {
public:
  TXlWorkbook(TXlApplication* app, const WideString& name, int sheets);
  ~TXlWorkbook() override;
  TXlApplication* App() const { return FApp; }
  void CheckAlive() const {
    if (!FApp) XlServerError("The workbook has been closed.");
  }
  // Drops everything below, as when the workbook closes.
  void Detach();
  TXlWorksheet* ActiveSheet() const {
    return FSheets.empty() ? nullptr : FSheets[size_t(std::clamp(FActive, 0, int(FSheets.size()) - 1))].Get();
  }
  void ActivateSheet(TXlWorksheet* sheet);
  TComPtr<TXlWorksheet> AddSheet(int position);
  // A sheet read from a file, placed last.
  TComPtr<TXlWorksheet> AddLoadedSheet(TXlSheetData&& data);
  void DeleteSheet(TXlWorksheet* sheet);
  TXlWorksheet* SheetNamed(const WideString& name) const;
  void RenameSheet(TXlWorksheet* sheet, const WideString& name);
  std::vector<TComPtr<TXlWorksheet>>& SheetList() { return FSheets; }
  TComPtr<TXlWindow> WindowObject;
  WideString Name;
  WideString FullName;
  void SaveTo(const AnsiString& fileName);

  HRESULT Get_Worksheets(LCID, Sheets** r) override { return GetIntf(DISPID_Worksheets, IID_Sheets, r); }
  HRESULT Get_Sheets(LCID, Sheets** r) override { return GetIntf(DISPID_Sheets, IID_Sheets, r); }
  HRESULT Get_Name(LCID, WideString* v) override { return GetText(DISPID_Name, v); }
  HRESULT Get_FullName(LCID, WideString* v) override { return GetText(DISPID_FullName, v); }
  HRESULT Close(const OleVariant& saveChanges, const OleVariant& fileName, const OleVariant& route, LCID) override {
    return CallMethod(DISPID_Close, {saveChanges, fileName, route});
  }
  HRESULT Save(LCID) override { return CallMethod(DISPID_Save); }
  HRESULT SaveAs(const WideString& fileName, LCID) override {
    return CallMethod(DISPID_SaveAs, {fileName});
  }
  HRESULT Activate(LCID) override { return CallMethod(DISPID_Activate); }

private:
  TXlApplication* FApp;
  std::vector<TComPtr<TXlWorksheet>> FSheets;
  std::unordered_map<AnsiString, TXlWorksheet*> FNames;  // by XlSheetNameKey
  int FActive = 0;
  int FNextSheet = 1;
  friend class TXlWorksheet;
};
