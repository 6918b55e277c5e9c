#include <gtest/gtest.h>

#include "platform/com/AutoObject.h"
#include "platform/com/ConnectionPoints.h"

namespace {

TEST(Guid, TextRoundTripAndEquality) {
  constexpr GUID g = StringToGUID("{00024500-0000-0000-C000-000000000046}");
  EXPECT_EQ(GUIDToString(g), "{00024500-0000-0000-C000-000000000046}");
  EXPECT_EQ(GUIDToString(StringToGUID("{b196b284-bab4-101a-b69c-00aa00341d07}")), "{B196B284-BAB4-101A-B69C-00AA00341D07}");
  EXPECT_FALSE(IsEqualGUID(g, IID_IDispatch));
}

TEST(WideText, CodePageAndUtf8Conversions) {
  EXPECT_EQ(AnsiToWide("caf\xE9 \x80"), L"caf\u00E9 \u20AC");
  EXPECT_EQ(WideToAnsi(L"caf\u00E9 \u20AC \u4E2D"), "caf\xE9 \x80 ?");
  EXPECT_EQ(WideToUtf8(L"\u00E9\U0001F600"), "\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf8ToWide("\xC3\xA9\xF0\x9F\x98\x80"), L"\u00E9\U0001F600");
  // Broken and cut sequences become replacement characters, never reads past the end.
  EXPECT_EQ(Utf8ToWide("a\xC3"), L"a\uFFFD");
  EXPECT_EQ(Utf8ToWide("\xFF" "b"), L"\uFFFDb");
  EXPECT_EQ(Utf8ToWide("\xE2\x28\xA1"), L"\uFFFD(\uFFFD");
}

TEST(OleVariantTest, ConversionsAsAutomationMakesThem) {
  EXPECT_EQ(OleVariant("42").AsInteger(), 42);
  EXPECT_EQ(OleVariant(2.5).AsInteger(), 2);  // halves to even
  EXPECT_EQ(OleVariant(3.5).AsInteger(), 4);
  EXPECT_THROW(OleVariant(1e12).AsInteger(), EVariantError);
  EXPECT_THROW(OleVariant("4x").AsDouble(), EVariantError);
  EXPECT_THROW(OleVariant::Null().AsWide(), EVariantError);
  EXPECT_EQ(OleVariant(-0.125).AsWide(), L"-0.125");
  EXPECT_EQ(OleVariant(1e20).AsWide(), L"1e+20");
  EXPECT_TRUE(OleVariant("true").AsBool());
  EXPECT_FALSE(OleVariant("FALSE").AsBool());
  EXPECT_TRUE(OleVariant::Missing().IsMissing());
  EXPECT_TRUE(OleVariant().AsDispatch() == nullptr);
  EXPECT_THROW(OleVariant(1).AsDispatch(), EVariantError);

  VARIANT_BOOL flag = VARIANT_FALSE;
  OleVariant ref = OleVariant::ByRef(&flag);
  ref.SetRef(true);
  EXPECT_EQ(flag, VARIANT_TRUE);
  EXPECT_TRUE(ref.AsBool());
  EXPECT_THROW(OleVariant(1).SetRef(true), EVariantError);
  OleVariant target;
  OleVariant::ByRef(&target).SetRef(OleVariant("x"));
  EXPECT_EQ(target.AsAnsi(), "x");
}

// A small server object: a value property, a method that echoes its arguments, and events.
const TDispNames& testNames() {
  static const TDispNames n{{"VALUE", 1}, {"ECHO", 2}, {"FAIL", 3}, {"HOLD", 4}};
  return n;
}
constexpr IID IID_TestObject = StringToGUID("{11111111-2222-3333-4444-555555555555}");
constexpr IID IID_TestEvents = StringToGUID("{11111111-2222-3333-4444-666666666666}");

class TTestObject final : public TAutoObject<IDispatch> {
public:
  TTestObject() : TAutoObject(testNames(), IID_TestObject) {
    Property(
        1, [this](const TInvokeArgs&) { return Value; },
        [this](const TInvokeArgs& a) {
          Value = a.PutValue;
          LastFlags = a.Flags;
          return OleVariant();
        });
    Method(2, [](const TInvokeArgs& a) {
      std::wstring s;
      for (size_t i = 0; i < a.Args.size(); ++i) s += a.Has(i) ? a.Arg(i).AsWide() : L"-";
      return OleVariant(s);
    });
    Method(3, [](const TInvokeArgs&) -> OleVariant { throw EAutoServerError(0x800A03EC, "It broke."); });
  }
  OleVariant Value;
  uint16_t LastFlags = 0;
};

TEST(Dispatch, ByNameByIdNamedArgumentsAndErrors) {
  TComPtr<TTestObject> obj = MakeAuto<TTestObject>();
  IDispatch* d = obj.Get();
  DispPut(d, "value", 7);
  EXPECT_EQ(DispGet(d, 1).AsInteger(), 7);
  EXPECT_EQ(obj->LastFlags, DISPATCH_PROPERTYPUT);
  // Interface values are put by reference.
  DispPut(d, 1, OleVariant(d));
  EXPECT_EQ(obj->LastFlags, DISPATCH_PROPERTYPUTREF);
  EXPECT_TRUE(DispGet(d, 1).AsDispatch().Get() == d);
  DispPut(d, 1, OleVariant());  // drops the reference back to itself

  EXPECT_EQ(DispCall(d, "Echo", {"a", OleVariant::Missing(), "c"}).AsAnsi(), "a-c");
  // Named arguments land in their parameter places.
  EXPECT_EQ(DispCall(d, 2, {"first", "third"}, {2}).AsAnsi(), "first-third");
  try {
    DispCall(d, "Fail");
    FAIL();
  } catch (const EOleException& e) {
    EXPECT_EQ(e.Message(), "It broke.");
    EXPECT_EQ(e.ErrorCode(), static_cast<HRESULT>(0x800A03EC));
  }
  try {
    DispGet(d, "Missing");
    FAIL();
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode(), DISP_E_UNKNOWNNAME);
  }
  EXPECT_THROW(DispPut(d, 2, 1), EOleSysError);  // a method takes no put
}

class TRecordingSink final : public TAutoObject<IDispatch> {
public:
  TRecordingSink() : TAutoObject(testNames(), IID_TestEvents) {}
  HRESULT Invoke(DISPID dispid, const IID&, LCID, uint16_t, DISPPARAMS* p, OleVariant*, EXCEPINFO*, uint32_t*) override {
    Calls.push_back({dispid, p->cArgs ? p->rgvarg[p->cArgs - 1].AsInteger() : -1});
    if (OnCall) OnCall();
    return S_OK;
  }
  std::vector<std::pair<DISPID, int>> Calls;
  std::function<void()> OnCall;
};

TEST(ConnectionPointTest, AdviseUnadviseAndFiring) {
  TComPtr<TTestObject> owner = MakeAuto<TTestObject>();
  TConnectionPoint point(*owner.Get(), IID_TestEvents);
  TComPtr<TRecordingSink> a = MakeAuto<TRecordingSink>(), b = MakeAuto<TRecordingSink>();
  uint32_t ca = 0, cb = 0;
  ASSERT_EQ(point.Advise(a.Get(), &ca), S_OK);
  ASSERT_EQ(point.Advise(b.Get(), &cb), S_OK);
  EXPECT_NE(ca, cb);
  // The first sink unadvises the second during the event: the second hears nothing more.
  a->OnCall = [&] { point.Unadvise(cb); };
  point.Fire(5, {OleVariant(9), OleVariant(1)});
  EXPECT_EQ(a->Calls, (std::vector<std::pair<DISPID, int>>{{5, 9}}));
  EXPECT_TRUE(b->Calls.empty());
  EXPECT_EQ(point.Unadvise(cb), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(point.Unadvise(ca), S_OK);
  EXPECT_EQ(point.SinkCount(), 0);
  // A sink that does not answer for the interface is refused.
  uint32_t cookie = 0;
  TComPtr<TTestObject> stranger = MakeAuto<TTestObject>();
  EXPECT_EQ(point.Advise(stranger.Get(), &cookie), CONNECT_E_CANNOTCONNECT);
}

TEST(Creation, RegistryContextsAndMachines) {
  constexpr CLSID clsid = StringToGUID("{11111111-2222-3333-4444-777777777777}");
  RegisterComClass(clsid, [](const IID& iid, void** obj) { return MakeAuto<TTestObject>()->QueryInterface(iid, obj); });
  TComPtr<IDispatch> d;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, d.PutVoid()), CO_E_NOTINITIALIZED);
  OleInitialize();
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, d.PutVoid()), S_OK);
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_REMOTE_SERVER, IID_IDispatch, d.PutVoid()), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoCreateInstance(GUID_NULL, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, d.PutVoid()), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IConnectionPoint, d.PutVoid()), E_NOINTERFACE);
  EXPECT_FALSE(d);

  char own[16];
  uint32_t size = sizeof own;
  ASSERT_TRUE(GetComputerName(own, size));
  COSERVERINFO here{AnsiToWide(LowerCase(own))}, there{L"NO-SUCH-HOST"};
  MULTI_QI qi{&IID_IDispatch, nullptr, S_OK};
  EXPECT_EQ(CoCreateInstanceEx(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_REMOTE_SERVER, &here, 1, &qi), S_OK);
  ASSERT_NE(qi.pItf, nullptr);
  qi.pItf->Release();
  EXPECT_EQ(CoCreateInstanceEx(clsid, nullptr, CLSCTX_REMOTE_SERVER, &there, 1, &qi), RPC_S_SERVER_UNAVAILABLE);
  EXPECT_EQ(qi.pItf, nullptr);
  OleUninitialize();
  UnregisterComClass(clsid);
}

}  // namespace
