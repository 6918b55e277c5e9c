#include <gtest/gtest.h>

#include "office/OxExcel.h"
#include "platform/classlib/Forms.h"
#include "platform/com/XlTestServer.h"

namespace {

struct OxExcelTest : ::testing::Test {
  void SetUp() override {
    OleInitialize();
    RegisterTestExcelServer();
    instancesBefore = XlServerInstances();
  }
  void TearDown() override {
    xl.reset();
    UnregisterComClass(CLASS_ExcelApplication);
    RegisterTestExcelServer();
    OxCoCreateInstanceEx = reinterpret_cast<TCoCreateInstanceEx>(GetOleProcAddress("ole32.dll", "CoCreateInstanceEx"));
    Application().SetExceptionDisplay(nullptr);
    EXPECT_EQ(XlServerInstances(), instancesBefore);
    OleUninitialize();
  }
  TComPtr<IXlUserActions> user() const {
    return TComPtr<IUnknown>(reinterpret_cast<IUnknown*>(xl->Application())).Query<IXlUserActions>(IID_XlUserActions);
  }
  TComPtr<_Workbook> addBook() const {
    TComPtr<Workbooks> books;
    OleCheck(xl->Application()->Get_Workbooks(0, books.Put()));
    TComPtr<_Workbook> book;
    OleCheck(books->Add(OleVariant::Missing(), 0, book.Put()));
    return book;
  }

  std::unique_ptr<TOxExcel> xl = std::make_unique<TOxExcel>(nullptr);
  int instancesBefore = 0;
};

TEST_F(OxExcelTest, ConnectPushesStoredPropertiesAndDisconnectQuitsTheServer) {
  std::vector<std::string> seen;
  xl->OnOxConnect = [&](TObject*) { seen.push_back("connect"); };
  xl->OnOxDisconnect = [&](TObject*) { seen.push_back("disconnect"); };
  xl->AddConnectListener([&](TOxOfficeComponent*, bool on) { seen.push_back(on ? "listener on" : "listener off"); });
  xl->SetCaption("Split report");
  xl->SetServerWidth(800);
  xl->SetEnableCancelKey(xlckErrorHandler);
  xl->SetVisible(true);
  int quits = XlServerQuitCount();
  xl->SetConnected(true);
  xl->SetConnected(true);  // no change: nothing happens
  ASSERT_TRUE(xl->Connected());
  _Application* app = xl->Application();
  WideString caption;
  double width = 0;
  int32_t cancelKey = 0, sheets = 0;
  app->Get_Caption(0, &caption);
  app->Get_Width(0, &width);
  app->Get_EnableCancelKey(0, &cancelKey);
  app->Get_SheetsInNewWorkbook(0, &sheets);
  EXPECT_EQ(caption, L"Split report");
  EXPECT_DOUBLE_EQ(width, 600);  // 800 pixels at 96 per inch
  EXPECT_EQ(cancelKey, xlErrorHandler);
  EXPECT_EQ(sheets, 1);
  EXPECT_EQ(xl->GetOfficeVersion(), 3);

  // The server's values come back through the getters.
  app->Set_Height(0, 300);
  app->Set_EnableCancelKey(0, xlInterrupt);
  app->Set_WindowState(0, xlMaximized);
  EXPECT_EQ(xl->ServerHeight(), 400);
  EXPECT_EQ(xl->EnableCancelKey(), xlckInterrupt);
  EXPECT_EQ(xl->WindowState(), xlwsMaximized);
  xl->SetServerLeft(50);  // kept, not sent, while maximized
  EXPECT_EQ(xl->ServerLeft(), 0);
  EXPECT_THROW(xl->SetMachineName(L"elsewhere"), EOxOfficeError);

  xl->SetConnected(false);
  EXPECT_FALSE(xl->Connected());
  EXPECT_EQ(XlServerQuitCount(), quits + 1);
  EXPECT_EQ(XlServerInstances(), instancesBefore);
  EXPECT_EQ(xl->GetOfficeVersion(), 0);
  EXPECT_EQ(seen, (std::vector<std::string>{"connect", "listener on", "disconnect", "listener off"}));
  try {
    xl->CheckConnected(true, true);
    FAIL();
  } catch (const EOxOfficeError& e) {
    EXPECT_EQ(e.Message(), "You must be connected in order to access this property.");
  }
}

TEST_F(OxExcelTest, EveryApplicationEventReachesItsHandlerWithItsArguments) {
  xl->SetConnected(true);
  TComPtr<_Workbook> book = addBook();
  TComPtr<IDispatch> sheet = DispGet(DispGet(book.Get(), "Worksheets").AsDispatch().Get(), "Item", {1}).AsDispatch();
  TComPtr<IDispatch> cell = DispGet(sheet.Get(), "Range", {"B2"}).AsDispatch();
  TComPtr<IDispatch> window = DispGet(reinterpret_cast<IDispatch*>(xl->Application()), "ActiveWindow").AsDispatch();
  IDispatch* wb = book.Get();

  std::vector<std::string> got;
  auto same = [](IUnknown* a, IDispatch* b) {
    TComPtr<IUnknown> x, y;
    if (a) a->QueryInterface(IID_IUnknown, x.PutVoid());
    if (b) b->QueryInterface(IID_IUnknown, y.PutVoid());
    return x && x == y;
  };
  auto book1 = [&](const char* n) {
    return [&, n](TObject*, _Workbook* w) { got.push_back(std::string(n) + (same(w, wb) ? " wb" : " ?")); };
  };
  auto sheet1 = [&](const char* n) {
    return [&, n](TObject*, IDispatch* s) { got.push_back(std::string(n) + (same(s, sheet.Get()) ? " sh" : " ?")); };
  };
  auto window2 = [&](const char* n) {
    return [&, n](TObject*, _Workbook* w, ExcelWindow* wn) {
      got.push_back(std::string(n) + (same(w, wb) && same(wn, window.Get()) ? " wb wn" : " ?"));
    };
  };
  auto target = [&](const char* n) {
    return [&, n](TObject*, IDispatch* s, ExcelRange* r) {
      got.push_back(std::string(n) + (same(s, sheet.Get()) && same(r, cell.Get()) ? " sh target" : " ?"));
    };
  };
  auto click = [&](const char* n) {
    return [&, n](TObject*, IDispatch* s, ExcelRange* r, VARIANT_BOOL& cancel) {
      got.push_back(std::string(n) + (same(s, sheet.Get()) && same(r, cell.Get()) ? " sh target" : " ?"));
      cancel = VARIANT_TRUE;
    };
  };
  auto cancelBook = [&](const char* n) {
    return [&, n](TObject*, _Workbook* w, VARIANT_BOOL& cancel) {
      got.push_back(std::string(n) + (same(w, wb) ? " wb" : " ?"));
      cancel = VARIANT_TRUE;
    };
  };
  xl->OnWindowResize = window2("WindowResize");
  xl->OnWindowActivate = window2("WindowActivate");
  xl->OnWindowDeactivate = window2("WindowDeactivate");
  xl->OnSheetSelectionChange = target("SheetSelectionChange");
  xl->BeforeSheetDoubleClick = click("BeforeSheetDoubleClick");
  xl->BeforeSheetRightClick = click("BeforeSheetRightClick");
  xl->OnSheetActivate = sheet1("SheetActivate");
  xl->OnSheetDeactivate = sheet1("SheetDeactivate");
  xl->OnSheetCalculate = sheet1("SheetCalculate");
  xl->OnSheetChange = target("SheetChange");
  xl->OnNewWorkbook = book1("NewWorkbook");
  xl->OnWorkbookOpen = book1("WorkbookOpen");
  xl->OnWorkbookActivate = book1("WorkbookActivate");
  xl->OnWorkbookDeactivate = book1("WorkbookDeactivate");
  xl->BeforeWorkbookClose = cancelBook("BeforeWorkbookClose");
  xl->BeforeWorkbookSave = [&](TObject*, _Workbook* w, VARIANT_BOOL saveAsUI, VARIANT_BOOL& cancel) {
    got.push_back(std::string("BeforeWorkbookSave") + (same(w, wb) && saveAsUI ? " wb ui" : " ?"));
    cancel = VARIANT_TRUE;
  };
  xl->BeforeWorkbookPrint = cancelBook("BeforeWorkbookPrint");
  xl->OnWorkbookNewSheet = [&](TObject*, _Workbook* w, IDispatch* s) {
    got.push_back(std::string("WorkbookNewSheet") + (same(w, wb) && same(s, sheet.Get()) ? " wb sh" : " ?"));
  };
  xl->OnWorkbookAddinInstall = book1("WorkbookAddinInstall");
  xl->OnWorkbookAddinUninstall = book1("WorkbookAddinUninstall");

  struct Case {
    DISPID Id;
    std::vector<OleVariant> Args;
    std::string Expected;
    bool Cancels;
  };
  OleVariant sh(sheet), target1(cell), wbv(wb), wn(window);
  const Case cases[] = {
      {DISPID_WindowResize, {wbv, wn}, "WindowResize wb wn", false},
      {DISPID_WindowActivate, {wbv, wn}, "WindowActivate wb wn", false},
      {DISPID_WindowDeactivate, {wbv, wn}, "WindowDeactivate wb wn", false},
      {DISPID_SheetSelectionChange, {sh, target1}, "SheetSelectionChange sh target", false},
      {DISPID_SheetBeforeDoubleClick, {sh, target1, {}}, "BeforeSheetDoubleClick sh target", true},
      {DISPID_SheetBeforeRightClick, {sh, target1, {}}, "BeforeSheetRightClick sh target", true},
      {DISPID_SheetActivate, {sh}, "SheetActivate sh", false},
      {DISPID_SheetDeactivate, {sh}, "SheetDeactivate sh", false},
      {DISPID_SheetCalculate, {sh}, "SheetCalculate sh", false},
      {DISPID_SheetChange, {sh, target1}, "SheetChange sh target", false},
      {DISPID_NewWorkbook, {wbv}, "NewWorkbook wb", false},
      {DISPID_WorkbookOpen, {wbv}, "WorkbookOpen wb", false},
      {DISPID_WorkbookActivate, {wbv}, "WorkbookActivate wb", false},
      {DISPID_WorkbookDeactivate, {wbv}, "WorkbookDeactivate wb", false},
      {DISPID_WorkbookBeforeClose, {wbv, {}}, "BeforeWorkbookClose wb", true},
      {DISPID_WorkbookBeforeSave, {wbv, true, {}}, "BeforeWorkbookSave wb ui", true},
      {DISPID_WorkbookBeforePrint, {wbv, {}}, "BeforeWorkbookPrint wb", true},
      {DISPID_WorkbookNewSheet, {wbv, sh}, "WorkbookNewSheet wb sh", false},
      {DISPID_WorkbookAddinInstall, {wbv}, "WorkbookAddinInstall wb", false},
      {DISPID_WorkbookAddinUninstall, {wbv}, "WorkbookAddinUninstall wb", false},
      {1555, {wbv}, "", false},
      {1566, {wbv}, "", false},
  };
  for (const Case& c : cases) {
    got.clear();
    std::vector<OleVariant> args = c.Args;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    if (c.Cancels) args.back() = OleVariant::ByRef(&cancel);
    user()->RaiseEvent(c.Id, args);
    EXPECT_EQ(got, c.Expected.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.Expected}) << c.Id;
    EXPECT_EQ(cancel != VARIANT_FALSE, c.Cancels) << c.Id;
  }

  // The server's own doings: a cancelled close leaves the workbook open.
  got.clear();
  OleCheck(book->Close(false, OleVariant::Missing(), OleVariant::Missing(), 0));
  TComPtr<Workbooks> books;
  OleCheck(xl->Application()->Get_Workbooks(0, books.Put()));
  int32_t count = 0;
  books->Get_Count(0, &count);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(got, std::vector<std::string>{"BeforeWorkbookClose wb"});
  got.clear();
  DispPut(cell.Get(), "Value", 5);
  EXPECT_EQ(got, (std::vector<std::string>{"SheetChange sh target", "SheetCalculate sh"}));
}

TEST_F(OxExcelTest, AFailedConnectStaysDisconnectedAndReleasesTheServer) {
  int quits = XlServerQuitCount();
  // A server that refuses the events: made by the component, so it is quit too.
  UnregisterComClass(CLASS_ExcelApplication);
  RegisterComClass(CLASS_ExcelApplication, [](const IID& iid, void** obj) {
    HRESULT hr = CreateTestExcelServer(iid, obj);
    TComPtr<IXlUserActions> u = TComPtr<IUnknown>(static_cast<IUnknown*>(*obj)).Query<IXlUserActions>(IID_XlUserActions);
    u->RefuseEvents(true);
    return hr;
  });
  EXPECT_THROW(xl->SetConnected(true), EEventSinkException);
  EXPECT_FALSE(xl->Connected());
  EXPECT_EQ(XlServerInstances(), instancesBefore);
  EXPECT_EQ(XlServerQuitCount(), quits + 1);
  EXPECT_EQ(xl->OxState(), 0);

  // One supplied by a handler is released, not quit.
  TComPtr<IDispatch> supplied;
  OleCheck(CreateTestExcelServer(IID_IDispatch, supplied.PutVoid()));
  supplied.Query<IXlUserActions>(IID_XlUserActions)->FailMember(DISPID_EnableEvents);
  xl->OnGetInstance = [&](TObject*, TComPtr<IDispatch>& instance, const CLSID&, const IID&) { instance = supplied; };
  EXPECT_THROW(xl->SetConnected(true), EOleSysError);
  EXPECT_FALSE(xl->Connected());
  EXPECT_EQ(XlServerQuitCount(), quits + 1);
  supplied.Reset();
  EXPECT_EQ(XlServerInstances(), instancesBefore);
}

TEST_F(OxExcelTest, RemoteCreationChoosesItsWayByMachineName) {
  char own[64];
  uint32_t size = sizeof own;
  ASSERT_TRUE(GetComputerName(own, size));
  xl->SetMachineName(AnsiToWide(LowerCase(own)));
  xl->SetConnected(true);  // this machine under another letter case: served here
  EXPECT_TRUE(xl->Connected());
  xl->SetConnected(false);
  xl->SetMachineName(L"FAR-AWAY-HOST");
  EXPECT_THROW(xl->SetConnected(true), EOleSysError);
  OxCoCreateInstanceEx = nullptr;
  try {
    xl->SetConnected(true);
    FAIL();
  } catch (const EOxOfficeError& e) {
    EXPECT_EQ(e.Message(), "You must install DCOM in order to run objects remotely.");
  }
  EXPECT_FALSE(xl->Connected());
}

TEST_F(OxExcelTest, ConnectedReadFromAFormConnectsOnceLoadingEnds) {
  int connects = 0;
  xl->OnOxConnect = [&](TObject*) { ++connects; };
  xl->BeginLoading();
  xl->SetConnected(true);
  EXPECT_FALSE(xl->Connected());
  xl->EndLoading();
  EXPECT_TRUE(xl->Connected());
  EXPECT_EQ(connects, 1);
  TStringList info;
  xl->GetServerInfo(&info);
  ASSERT_EQ(info.Count(), 9);
  EXPECT_EQ(info[3], "Version=9.0");
  EXPECT_EQ(info[8], "Math CoProcessorAvailable=Yes");
}

TEST(OxOfficeVersion, ParsesTheMajorNumber) {
  const std::pair<const char*, int> cases[] = {{"9.0", 3}, {"10.0", 4}, {"8.0", 1}, {"", 0}, {"abc", 1}, {".5", 1}, {"10", 4}};
  for (auto& [text, expected] : cases) EXPECT_EQ(TOxOfficeComponent::ParseOfficeVersion(text), expected) << text;
}

// Events straight into a sink, as a server that names its arguments would send them.
TEST_F(OxExcelTest, SinkPlacesNamedArgumentsAndReportsHandlerErrors) {
  TComPtr<IDispatch> server;
  OleCheck(CreateTestExcelServer(IID_IDispatch, server.PutVoid()));
  std::vector<std::vector<OleVariant>> calls;
  bool raise = false;
  TOxEventAdapter adapter(server.Get(), [&](const IID&, DISPID, std::vector<OleVariant>& args) {
    calls.push_back(args);
    if (raise) throw Exception("handler failed");
  });
  adapter.AddSink(IID_AppEvents);
  adapter.AddSink(IID_AppEvents);
  EXPECT_EQ(adapter.SinkCount(), 1);
  server.Query<IXlUserActions>(IID_XlUserActions)->RaiseEvent(DISPID_SheetCalculate, {OleVariant(1)});
  ASSERT_EQ(calls.size(), 1u);  // advised once

  TOxEventSink sink(server.Get(), [&](const IID&, DISPID, std::vector<OleVariant>& args) {
    calls.push_back(args);
    if (raise) throw Exception("handler failed");
  }, IID_AppEvents);
  void* obj = nullptr;
  EXPECT_EQ(sink.QueryInterface(IID_AppEvents, &obj), S_OK);
  EXPECT_EQ(obj, static_cast<IDispatch*>(&sink));
  EXPECT_EQ(sink.QueryInterface(IID_Range, &obj), E_NOINTERFACE);
  EXPECT_EQ(obj, nullptr);

  // Arguments right to left: c, b, then a named for slot 0 and one named beyond the list.
  OleVariant rg[] = {OleVariant("named0"), OleVariant("outside"), OleVariant("c"), OleVariant("b")};
  DISPID named[] = {0, 7};
  DISPPARAMS p{rg, named, 4, 2};
  calls.clear();
  EXPECT_EQ(sink.Invoke(1, GUID_NULL, 0, DISPATCH_METHOD, &p, nullptr, nullptr, nullptr), S_OK);
  ASSERT_EQ(calls.size(), 1u);
  std::vector<OleVariant> expected = {"named0", "c", "outside", "named0"};
  EXPECT_EQ(calls[0], expected);

  std::vector<AnsiString> shown;
  Application().SetExceptionDisplay([&](const AnsiString& m, const AnsiString&) { shown.push_back(m); });
  raise = true;
  DISPPARAMS none{};
  EXPECT_EQ(sink.Invoke(1, GUID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(shown, std::vector<AnsiString>{"handler failed."});
  EXPECT_TRUE(calls.back().empty());
}

}  // namespace

namespace {

TEST_F(OxExcelTest, FromServerSyncReadsTheServerAndUserNameWaitsForAWorkbook) {
  TComPtr<IDispatch> supplied;
  OleCheck(CreateTestExcelServer(IID_IDispatch, supplied.PutVoid()));
  TComPtr<_Application> app = supplied.Query<_Application>(IID__Application);
  app->Set_Caption(0, L"Server caption");
  app->Set_Interactive(0, VARIANT_FALSE);
  app->Set_LargeButtons(0, VARIANT_TRUE);
  app->Set_UserName(0, L"server user");
  xl->OnGetInstance = [&](TObject*, TComPtr<IDispatch>& instance, const CLSID&, const IID&) { instance = supplied; };
  xl->SetPropDirection(pdFromServer);
  xl->SetCaption("stored caption");
  xl->SetVisible(true);
  xl->SetConnected(true);
  EXPECT_EQ(xl->Caption(), "Server caption");
  EXPECT_FALSE(xl->Interactive());
  EXPECT_EQ(xl->LargeButtons(), VARIANT_TRUE);
  EXPECT_EQ(xl->UserName(), L"server user");
  VARIANT_BOOL visible = VARIANT_FALSE;
  app->Get_Visible(0, &visible);
  EXPECT_EQ(visible, VARIANT_TRUE);  // Visible goes to the server either way

  // Without a workbook the name is kept but not sent.
  xl->SetUserName(L"kept");
  WideString name;
  app->Get_UserName(0, &name);
  EXPECT_EQ(name, L"server user");
  addBook();
  xl->SetUserName(L"sent");
  app->Get_UserName(0, &name);
  EXPECT_EQ(name, L"sent");
  xl->SetConnected(false);
  app.Reset();
  supplied.Reset();
}

TEST_F(OxExcelTest, HandlersRunWithTheDispatchingFlagAndTheirErrorsAreShown) {
  std::vector<AnsiString> shown;
  Application().SetExceptionDisplay([&](const AnsiString& m, const AnsiString&) { shown.push_back(m); });
  xl->SetConnected(true);
  bool flagged = false;
  xl->OnNewWorkbook = [&](TObject*, _Workbook*) {
    flagged = xl->HasOxState(oxsDispatching);
    throw EOxOfficeError("Handler failed");
  };
  TComPtr<_Workbook> book = addBook();  // the server carries on: the workbook is there
  EXPECT_TRUE(book);
  EXPECT_TRUE(flagged);
  EXPECT_FALSE(xl->HasOxState(oxsDispatching));
  EXPECT_EQ(shown, std::vector<AnsiString>{"Handler failed."});
}

TEST_F(OxExcelTest, FreeingAConnectedComponentQuitsTheServer) {
  int quits = XlServerQuitCount();
  TComponent form(nullptr);
  auto* owned = new TOxExcel(&form);
  owned->SetName("xlaOp");
  owned->SetConnected(true);
  EXPECT_EQ(XlServerInstances(), instancesBefore + 1);
  form.DestroyComponents();
  EXPECT_EQ(XlServerInstances(), instancesBefore);
  EXPECT_EQ(XlServerQuitCount(), quits + 1);

  // Server information without a connection: a server made for the answer, released unquitted.
  TStringList info;
  xl->GetServerInfo(&info);
  EXPECT_EQ(info[0].substr(0, 10), "User Name=");
  EXPECT_EQ(XlServerQuitCount(), quits + 1);
  EXPECT_FALSE(xl->Connected());
}

TEST(OxGeometry, PixelsAndPointsRoundHalvesToEven) {
  const std::pair<double, int> cases[] = {{0.375, 0}, {1.125, 2}, {1.875, 2}, {600, 800}, {-0.75, -1}};
  for (auto& [points, pixels] : cases) EXPECT_EQ(PointsToPixels(points), pixels) << points;
  EXPECT_DOUBLE_EQ(PixelsToPoints(640), 480);
}

}  // namespace

namespace {

TEST_F(OxExcelTest, AHandlerMayDisconnectInTheMiddleOfAnEvent) {
  xl->SetConnected(true);
  int activations = 0;
  xl->OnNewWorkbook = [&](TObject*, _Workbook*) { xl->SetConnected(false); };
  xl->OnWorkbookActivate = [&](TObject*, _Workbook*) { ++activations; };
  TComPtr<_Application> app(xl->Application());
  TComPtr<Workbooks> books;
  OleCheck(app->Get_Workbooks(0, books.Put()));
  TComPtr<_Workbook> book;
  // The server was quit under the call; what it answers is its own affair, but nothing breaks.
  books->Add(OleVariant::Missing(), 0, book.Put());
  EXPECT_FALSE(xl->Connected());
  EXPECT_EQ(activations, 0);
  book.Reset();
  EXPECT_EQ(DispGet(books.Get(), DISPID_Count).AsInteger(), 0);
  TComPtr<Window> window;
  EXPECT_EQ(app->Get_ActiveWindow(0, window.Put()), S_OK);
  EXPECT_FALSE(window);
}

}  // namespace

namespace {

TEST_F(OxExcelTest, HandlersMayCloseWhatTheServerIsWorkingOn) {
  xl->SetConnected(true);
  auto close = [](_Workbook* wb) { wb->Close(false, OleVariant::Missing(), OleVariant::Missing(), 0); };
  xl->OnNewWorkbook = [&](TObject*, _Workbook* wb) { close(wb); };
  TComPtr<_Workbook> gone = addBook();
  xl->OnNewWorkbook = nullptr;
  TComPtr<_Workbook> book = addBook();
  TComPtr<Sheets> sheets;
  OleCheck(book->Get_Sheets(0, sheets.Put()));
  TComPtr<IDispatch> first;
  OleCheck(sheets->Get_Item(OleVariant(1), first.Put()));
  TComPtr<IDispatch> cell = DispGet(first.Get(), "Range", {"A1"}).AsDispatch();
  xl->OnSheetChange = [&](TObject*, IDispatch*, ExcelRange*) { close(book.Get()); };
  int calculations = 0;
  xl->OnSheetCalculate = [&](TObject*, IDispatch*) { ++calculations; };
  DispPut(cell.Get(), "Value", 1);
  EXPECT_EQ(calculations, 0);
  xl->OnWorkbookNewSheet = [&](TObject*, _Workbook* wb, IDispatch*) { close(wb); };
  TComPtr<_Workbook> third = addBook();
  TComPtr<Sheets> more;
  OleCheck(third->Get_Sheets(0, more.Put()));
  TComPtr<IDispatch> added;
  more->Add(OleVariant::Missing(), OleVariant::Missing(), OleVariant::Missing(), OleVariant::Missing(), 0, added.Put());
  TComPtr<Workbooks> books;
  OleCheck(xl->Application()->Get_Workbooks(0, books.Put()));
  int32_t count = -1;
  books->Get_Count(0, &count);
  EXPECT_EQ(count, 0);
}

}  // namespace
