#include "platform/com/XlWorkbook.h"

#include <unistd.h>

#include "platform/com/XlApplication.h"
#include "platform/com/XlHyperlink.h"

namespace {

// The workbook's sheets as a collection.
TComPtr<IDispatch> sheetsOf(TComPtr<TXlWorkbook> book) {
  class TXlSheets final : public TXlObject<Sheets> {
  public:
    explicit TXlSheets(TComPtr<TXlWorkbook> book) : TXlObject(XlNames(), IID_Sheets), FBook(std::move(book)) {
      Property(DISPID_Count, [this](const TInvokeArgs&) { FBook->CheckAlive(); return OleVariant(int(FBook->SheetList().size())); });
      Property(DISPID_Item, [this](const TInvokeArgs& a) {
        FBook->CheckAlive();
        const OleVariant& index = a.Required(0);
        if (index.IsText()) {
          if (TXlWorksheet* s = FBook->SheetNamed(index.AsWide())) return OleVariant(s->AsDispatch());
          XlServerError("Subscript out of range");
        }
        return XlItemAt(FBook->SheetList(), index);
      });
      Method(DISPID_Add, [this](const TInvokeArgs& a) {
        FBook->CheckAlive();
        auto& list = FBook->SheetList();
        auto positionOf = [&](const OleVariant& v) {
          TComPtr<IDispatch> d = v.AsDispatch();
          for (size_t i = 0; i < list.size(); ++i)
            if (list[i]->AsDispatch() == d.Get()) return int(i);
          XlServerError("Add method of Sheets class failed");
        };
        int count = a.Has(2) ? a.Arg(2).AsInteger() : 1;
        if (count < 1 || count > 255) XlServerError("Add method of Sheets class failed");
        int at = a.Has(0) ? positionOf(a.Arg(0)) : a.Has(1) ? positionOf(a.Arg(1)) + 1 : FBook->ActiveSheet() ? positionOf(OleVariant(FBook->ActiveSheet()->AsDispatch())) : 0;
        TComPtr<TXlWorksheet> last;
        for (int i = 0; i < count; ++i) last = FBook->AddSheet(at + i);
        return OleVariant(last->AsDispatch());
      });
    }
    HRESULT Get_Count(LCID, int32_t* v) override { return GetCount(v); }
    HRESULT Get_Item(const OleVariant& index, IDispatch** r) override {
      return GetIntf(DISPID_Item, IID_IDispatch, r, {index});
    }
    HRESULT Add(const OleVariant& before, const OleVariant& after, const OleVariant& count, const OleVariant& type,
                LCID, IDispatch** r) override {
      return CallIntf(DISPID_Add, IID_IDispatch, r, {before, after, count, type});
    }

  private:
    TComPtr<TXlWorkbook> FBook;
  };
  return TComPtr<IDispatch>(MakeAuto<TXlSheets>(std::move(book))->AsDispatch());
}

}  // namespace

TXlWorkbook::TXlWorkbook(TXlApplication* app, const WideString& name, int sheets)
    : TXlObject(XlNames(), IID__Workbook), WindowObject(MakeAuto<TXlWindow>(this)), Name(name), FApp(app) {
  for (int i = 0; i < sheets; ++i) AddSheet(i);
  Property(DISPID_Worksheets, [this](const TInvokeArgs&) { CheckAlive(); return OleVariant(sheetsOf(TComPtr<TXlWorkbook>(this))); });
  Property(DISPID_Sheets, [this](const TInvokeArgs&) { CheckAlive(); return OleVariant(sheetsOf(TComPtr<TXlWorkbook>(this))); });
  Property(DISPID_Name, [this](const TInvokeArgs&) { return OleVariant(Name); });
  Property(DISPID_FullName, [this](const TInvokeArgs&) { return OleVariant(FullName.empty() ? Name : FullName); });
  Property(DISPID_ActiveSheet, [this](const TInvokeArgs&) {
    CheckAlive();
    return ActiveSheet() ? OleVariant(ActiveSheet()->AsDispatch()) : OleVariant();
  });
  Property(DISPID_Application, [this](const TInvokeArgs&) { CheckAlive(); return OleVariant(FApp->AsDispatch()); });
  Method(DISPID_Close, [this](const TInvokeArgs& a) {
    CheckAlive();
    // A close the handler cancels writes nothing.
    if (FApp->Fire(DISPID_WorkbookBeforeClose, {AsDispatch(), OleVariant()}, true)) return OleVariant(false);
    if (!FApp) return OleVariant(true);  // a handler closed it already
    if (a.Has(0) && a.Arg(0).AsBool()) {
      if (a.Has(1)) SaveTo(a.Arg(1).AsAnsi());
      else if (!FullName.empty()) SaveTo(WideToAnsi(FullName));
    }
    FApp->CloseBook(this);
    return OleVariant(true);
  });
  Method(DISPID_Save, [this](const TInvokeArgs&) {
    CheckAlive();
    if (FApp->Fire(DISPID_WorkbookBeforeSave, {AsDispatch(), OleVariant(false), OleVariant()}, true)) return OleVariant(false);
    CheckAlive();
    // A workbook never saved goes to the current folder under its name.
    SaveTo(FullName.empty() ? WideToAnsi(Name) + ".xml" : WideToAnsi(FullName));
    return OleVariant(true);
  });
  Method(DISPID_SaveAs, [this](const TInvokeArgs& a) {
    CheckAlive();
    if (FApp->Fire(DISPID_WorkbookBeforeSave, {AsDispatch(), OleVariant(true), OleVariant()}, true)) return OleVariant(false);
    CheckAlive();
    SaveTo(a.Required(0).AsAnsi());
    return OleVariant(true);
  });
  Method(DISPID_Activate, [this](const TInvokeArgs&) {
    CheckAlive();
    FApp->ActivateBook(this);
    return OleVariant(true);
  });
}

void TXlWorkbook::SaveTo(const AnsiString& fileName) {
  std::vector<const TXlSheetData*> data;
  for (auto& s : FSheets) {
    TXlSheetData& d = s->Data();
    d.Links.clear();
    for (auto& h : s->HyperlinkObjects) {
      auto* link = static_cast<TXlHyperlink*>(h.Get());
      if (!link->ShapeAnchor) d.Links[{link->Anchor.R1, link->Anchor.C1}] = TXlLink{link->Address, link->SubAddress};
    }
    data.push_back(&d);
  }
  SaveSpreadsheetML(fileName, data);
  char full[4096];
  AnsiString path = fileName;
  if (!path.empty() && path[0] != '/' && getcwd(full, sizeof full)) path = AnsiString(full) + "/" + path;
  FullName = AnsiToWide(path);
  Name = AnsiToWide(path.substr(path.rfind('/') + 1));
}

void TXlWorkbook::Detach() {
  for (auto& s : FSheets) s->Detach();
  FSheets.clear();
  FNames.clear();
  WindowObject->Detach();
  FApp = nullptr;
}

void TXlWorkbook::ActivateSheet(TXlWorksheet* sheet) {
  TComPtr<TXlWorksheet> old(ActiveSheet()), keep(sheet);
  if (old.Get() == sheet) return;
  for (size_t i = 0; i < FSheets.size(); ++i)
    if (FSheets[i].Get() == sheet) FActive = int(i);
  WindowObject->Selection = TXlArea{};
  TComPtr<IDispatch> self(AsDispatch());
  if (old) FApp->Fire(DISPID_SheetDeactivate, {old->AsDispatch()});
  // A handler may have closed the workbook or deleted the sheet.
  if (FApp && sheet->Book()) FApp->Fire(DISPID_SheetActivate, {sheet->AsDispatch()});
}

TXlWorksheet* TXlWorkbook::SheetNamed(const WideString& name) const {
  auto it = FNames.find(XlSheetNameKey(name));
  return it == FNames.end() ? nullptr : it->second;
}

void TXlWorkbook::RenameSheet(TXlWorksheet* sheet, const WideString& name) {
  TXlWorksheet* holder = SheetNamed(name);
  if (!XlValidSheetName(name) || (holder && holder != sheet))
    XlServerError("Cannot rename a sheet to the same name as another sheet, or to a name that is not valid.");
  FNames.erase(XlSheetNameKey(sheet->Data().Name));
  sheet->Data().Name = name;
  FNames[XlSheetNameKey(name)] = sheet;
}

TComPtr<TXlWorksheet> TXlWorkbook::AddLoadedSheet(TXlSheetData&& data) {
  if (FSheets.size() >= size_t(XlMaxSheets) || !XlValidSheetName(data.Name) || SheetNamed(data.Name))
    XlServerError("The sheet '" + WideToAnsi(data.Name) + "' cannot be added to the workbook.");
  auto sheet = MakeAuto<TXlWorksheet>(this, data.Name);
  sheet->Data() = std::move(data);
  FNames[XlSheetNameKey(sheet->Data().Name)] = sheet.Get();
  FSheets.push_back(sheet);
  return sheet;
}

TComPtr<TXlWorksheet> TXlWorkbook::AddSheet(int position) {
  if (FSheets.size() >= size_t(XlMaxSheets)) XlServerError("A workbook holds at most " + IntToStr(XlMaxSheets) + " sheets.");
  WideString name;
  do name = L"Sheet" + std::to_wstring(FNextSheet++); while (SheetNamed(name));
  auto sheet = MakeAuto<TXlWorksheet>(this, name);
  FNames[XlSheetNameKey(name)] = sheet.Get();
  position = std::clamp(position, 0, int(FSheets.size()));
  FSheets.insert(FSheets.begin() + position, sheet);
  if (FApp && FApp->ActiveBook() == this) {
    TComPtr<IDispatch> self(AsDispatch());
    FApp->Fire(DISPID_WorkbookNewSheet, {AsDispatch(), OleVariant(sheet->AsDispatch())});
    if (FApp && sheet->Book()) ActivateSheet(sheet.Get());
  } else {
    FActive = position;
  }
  return sheet;
}

void TXlWorkbook::DeleteSheet(TXlWorksheet* sheet) {
  if (FSheets.size() <= 1) XlServerError("A workbook must contain at least one visible sheet.");
  TComPtr<TXlWorksheet> keep(sheet);
  bool wasActive = ActiveSheet() == sheet;
  FSheets.erase(std::remove(FSheets.begin(), FSheets.end(), keep), FSheets.end());
  FNames.erase(XlSheetNameKey(sheet->Data().Name));
  sheet->Detach();
  FActive = std::min(FActive, int(FSheets.size()) - 1);
  if (wasActive && FApp) FApp->Fire(DISPID_SheetActivate, {ActiveSheet()->AsDispatch()});
}

TXlWorkbook::~TXlWorkbook() = default;
