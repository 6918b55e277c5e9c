#include "platform/com/XlApplication.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "platform/com/XlHyperlink.h"
#include "platform/com/XlServer.h"

namespace {

int gInstances = 0;
int gQuits = 0;

// The application's workbooks as a collection.
class TXlWorkbooks final : public TXlObject<Workbooks> {
public:
  explicit TXlWorkbooks(TComPtr<TXlApplication> app) : TXlObject(XlNames(), IID_Workbooks), FApp(std::move(app)) {
    Method(DISPID_Add, [this](const TInvokeArgs& a) {
      FApp->CheckMember(DISPID_Add);
      if (a.Has(0)) XlServerError("Templates are not served.");
      auto book = FApp->AddBook(L"Book" + std::to_wstring(FApp->NextBook++), FApp->SheetsInNewWorkbook);
      FApp->Fire(DISPID_NewWorkbook, {book->AsDispatch()});
      FApp->ActivateBook(book.Get());
      return OleVariant(book->AsDispatch());
    });
    Method(DISPID_Open, [this](const TInvokeArgs& a) {
      AnsiString file = a.Required(0).AsAnsi();
      std::vector<TXlSheetData> sheets = LoadSpreadsheetML(file);
      auto book = FApp->AddBook(AnsiToWide(file.substr(file.rfind('/') + 1)), 0);
      for (auto& data : sheets) {
        auto sheet = book->AddLoadedSheet(std::move(data));
        for (auto& [cell, link] : sheet->Data().Links)
          sheet->HyperlinkObjects.push_back(TComPtr<IDispatch>(
              MakeAuto<TXlHyperlink>(sheet.Get(), TXlArea{cell.first, cell.second, cell.first, cell.second}, nullptr,
                                     link.Address, link.SubAddress)->AsDispatch()));
      }
      char full[4096];
      book->FullName = AnsiToWide(!file.empty() && file[0] != '/' && getcwd(full, sizeof full) ? AnsiString(full) + "/" + file : file);
      FApp->Fire(DISPID_WorkbookOpen, {book->AsDispatch()});
      FApp->ActivateBook(book.Get());
      return OleVariant(book->AsDispatch());
    });
    Property(DISPID_Count, [this](const TInvokeArgs&) { return OleVariant(int(FApp->Books().size())); });
    Property(DISPID_Item, [this](const TInvokeArgs& a) {
      const OleVariant& index = a.Required(0);
      if (index.IsText()) {
        for (auto& b : FApp->Books())
          if (SameText(WideToAnsi(b->Name), index.AsAnsi())) return OleVariant(b->AsDispatch());
        XlServerError("Subscript out of range");
      }
      return XlItemAt(FApp->Books(), index);
    });
  }
  HRESULT Add(const OleVariant& templ, LCID, _Workbook** r) override { return CallIntf(DISPID_Add, IID__Workbook, r, {templ}); }
  HRESULT Open(const WideString& fileName, LCID, _Workbook** r) override {
    return CallIntf(DISPID_Open, IID__Workbook, r, {fileName});
  }
  HRESULT Get_Count(LCID, int32_t* v) override { return GetCount(v); }
  HRESULT Get_Item(const OleVariant& index, LCID, _Workbook** r) override {
    return GetIntf(DISPID_Item, IID__Workbook, r, {index});
  }

private:
  TComPtr<TXlApplication> FApp;
};

int memoryKiB(int name) {
  long pages = sysconf(name), size = sysconf(_SC_PAGESIZE);
  double kib = pages > 0 && size > 0 ? double(pages) * double(size) / 1024 : 0;
  return int(std::min(kib, 2147483647.0));
}

}  // namespace

TXlApplication::TXlApplication() : TXlObject(XlNames(), IID__Application) {
  ++gInstances;
  if (const char* user = std::getenv("USER")) FUserName = AnsiToWide(user);
  auto number = [this](DISPID id, double& field, double low) {
    Property(
        id, [this, &field, id](const TInvokeArgs&) { CheckMember(id); return OleVariant(field); },
        [this, &field, id, low](const TInvokeArgs& a) {
          CheckMember(id);
          double v = a.PutValue.AsDouble();
          if (!(v >= low && v <= 32767)) XlServerError("Unable to set the property of the Application class");
          if (FWindowState != xlNormal) XlServerError("Cannot change the size or position of a maximized or minimized window.");
          field = v;
          if ((id == DISPID_Width || id == DISPID_Height) && FActiveBook)
            Fire(DISPID_WindowResize, {FActiveBook->AsDispatch(), OleVariant(FActiveBook->WindowObject->AsDispatch())});
          return OleVariant();
        });
  };
  number(DISPID_Left, FLeft, -32767);
  number(DISPID_Top, FTop, -32767);
  number(DISPID_Width, FWidth, 0);
  number(DISPID_Height, FHeight, 0);
  auto flag = [this](DISPID id, bool& field) {
    Property(
        id, [this, &field, id](const TInvokeArgs&) { CheckMember(id); return OleVariant(field); },
        [this, &field, id](const TInvokeArgs& a) {
          CheckMember(id);
          field = a.PutValue.AsBool();
          return OleVariant();
        });
  };
  flag(DISPID_Visible, FVisible);
  flag(DISPID_Interactive, FInteractive);
  flag(DISPID_EnableAnimations, FEnableAnimations);
  flag(DISPID_EnableAutoComplete, FEnableAutoComplete);
  flag(DISPID_LargeButtons, FLargeButtons);
  flag(DISPID_ScreenUpdating, ScreenUpdating);
  flag(DISPID_DisplayAlerts, DisplayAlerts);
  flag(DISPID_EnableEvents, FEnableEvents);
  auto choice = [this](DISPID id, int& field, std::vector<int> allowed) {
    Property(
        id, [this, &field, id](const TInvokeArgs&) { CheckMember(id); return OleVariant(field); },
        [this, &field, id, allowed](const TInvokeArgs& a) {
          CheckMember(id);
          int v = a.PutValue.AsInteger();
          if (std::find(allowed.begin(), allowed.end(), v) == allowed.end())
            XlServerError("Unable to set the property of the Application class");
          field = v;
          return OleVariant();
        });
  };
  choice(DISPID_WindowState, FWindowState, {xlNormal, xlMinimized, xlMaximized});
  choice(DISPID_EnableCancelKey, FEnableCancelKey, {xlDisabled, xlInterrupt, xlErrorHandler});
  auto text = [this](DISPID id, WideString& field) {
    Property(
        id, [this, &field, id](const TInvokeArgs&) { CheckMember(id); return OleVariant(field); },
        [this, &field, id](const TInvokeArgs& a) {
          CheckMember(id);
          field = a.PutValue.AsWide();
          return OleVariant();
        });
  };
  text(DISPID_Caption, FCaption);
  text(DISPID_UserName, FUserName);
  Property(
      DISPID_SheetsInNewWorkbook, [this](const TInvokeArgs&) { CheckMember(DISPID_SheetsInNewWorkbook); return OleVariant(SheetsInNewWorkbook); },
      [this](const TInvokeArgs& a) {
        CheckMember(DISPID_SheetsInNewWorkbook);
        int n = a.PutValue.AsInteger();
        if (n < 1 || n > 255) XlServerError("The number must be between 1 and 255.");
        SheetsInNewWorkbook = n;
        return OleVariant();
      });
  auto fixed = [this](DISPID id, OleVariant v) {
    Property(id, [this, id, v](const TInvokeArgs&) { CheckMember(id); return v; });
  };
  struct utsname u{};
  fixed(DISPID_OrganizationName, OleVariant(L""));
  fixed(DISPID_OperatingSystem, OleVariant(uname(&u) == 0 ? AnsiString(u.sysname) + " " + u.release : AnsiString("Linux")));
  fixed(DISPID_Version, OleVariant(L"9.0"));
  fixed(DISPID_Build, OleVariant(3821));
  fixed(DISPID_MathCoprocessorAvailable, OleVariant(true));
  Property(DISPID_MemoryTotal, [](const TInvokeArgs&) { return OleVariant(memoryKiB(_SC_PHYS_PAGES)); });
  Property(DISPID_MemoryFree, [](const TInvokeArgs&) { return OleVariant(memoryKiB(_SC_AVPHYS_PAGES)); });
  Property(DISPID_MemoryUsed, [](const TInvokeArgs&) {
    return OleVariant(memoryKiB(_SC_PHYS_PAGES) - memoryKiB(_SC_AVPHYS_PAGES));
  });
  Property(DISPID_Workbooks, [this](const TInvokeArgs&) {
    CheckMember(DISPID_Workbooks);
    return OleVariant(TComPtr<IDispatch>(MakeAuto<TXlWorkbooks>(TComPtr<TXlApplication>(this))->AsDispatch()));
  });
  Property(DISPID_ActiveWindow, [this](const TInvokeArgs&) {
    return FActiveBook ? OleVariant(FActiveBook->WindowObject->AsDispatch()) : OleVariant();
  });
  Property(DISPID_ActiveWorkbook, [this](const TInvokeArgs&) {
    return FActiveBook ? OleVariant(FActiveBook->AsDispatch()) : OleVariant();
  });
  Method(DISPID_Quit, [this](const TInvokeArgs&) {
    CheckMember(DISPID_Quit);
    ++gQuits;
    quit();
    return OleVariant();
  });
}

TXlApplication::~TXlApplication() {
  quit();
  --gInstances;
}

void TXlApplication::quit() {
  // Quitting closes every workbook unsaved and tells no one.
  FActiveBook = nullptr;
  auto books = std::move(FBooks);
  for (auto& b : books) b->Detach();
}

HRESULT TXlApplication::QueryMore(const IID& iid, void** obj) {
  if (iid == IID_IConnectionPointContainer) {
    *obj = static_cast<IConnectionPointContainer*>(&FContainer);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

HRESULT TXlApplication::TContainer::FindConnectionPoint(const IID& iid, IConnectionPoint** point) {
  if (!point) return E_POINTER;
  *point = nullptr;
  if (iid != IID_AppEvents || FApp.FRefuseEvents) return CONNECT_E_NOCONNECTION;
  *point = &FApp.FEvents;
  FApp.AddRef();
  return S_OK;
}

bool TXlApplication::Fire(DISPID dispid, std::vector<OleVariant> args, bool cancellable) {
  if (!FEnableEvents || FEvents.SinkCount() == 0) return false;
  VARIANT_BOOL cancel = VARIANT_FALSE;
  if (cancellable) {
    // The Cancel flag is the last argument, passed by reference so that handlers can set it.
    if (args.empty() || !args.back().IsByRef()) {
      if (!args.empty()) args.pop_back();
      args.push_back(OleVariant::ByRef(&cancel));
    }
  }
  TComPtr<IDispatch> self(AsDispatch());
  FEvents.Fire(dispid, args);
  if (cancellable && args.back().VType() == (VT_BYREF | VT_BOOL)) return args.back().AsBool();
  return false;
}

void TXlApplication::ActivateBook(TXlWorkbook* book) {
  // A handler may have closed the workbook, or quit, before it came to be activated.
  if (FActiveBook == book || (book && book->App() != this)) return;
  // Handlers may close either workbook, or quit: everything in hand is held, and each step
  // checks that it still applies.
  TComPtr<IDispatch> self(AsDispatch());
  TComPtr<TXlWorkbook> old(FActiveBook), keep(book);
  FActiveBook = book;
  if (old) {
    Fire(DISPID_WorkbookDeactivate, {old->AsDispatch()});
    Fire(DISPID_WindowDeactivate, {old->AsDispatch(), OleVariant(old->WindowObject->AsDispatch())});
  }
  if (book && FActiveBook == book) Fire(DISPID_WorkbookActivate, {book->AsDispatch()});
  if (book && FActiveBook == book)
    Fire(DISPID_WindowActivate, {book->AsDispatch(), OleVariant(book->WindowObject->AsDispatch())});
}

TComPtr<TXlWorkbook> TXlApplication::AddBook(const WideString& name, int sheets) {
  auto book = MakeAuto<TXlWorkbook>(this, name, sheets);
  FBooks.push_back(book);
  return book;
}

void TXlApplication::CloseBook(TXlWorkbook* book) {
  TComPtr<TXlWorkbook> keep(book);
  FBooks.erase(std::remove(FBooks.begin(), FBooks.end(), keep), FBooks.end());
  if (FActiveBook == book) ActivateBook(FBooks.empty() ? nullptr : FBooks.back().Get());
  book->Detach();
}

int XlServerInstances() { return gInstances; }
int XlServerQuitCount() { return gQuits; }
