#include "tables/XbServerDLL.h"

#include <cmath>
#include <cstring>
#include <new>

#include "platform/engines/XbSqlEntries.h"
#include "tables/DatabaseServerProtocol.h"
#include "tables/XbConnection.h"

static_assert(ftString == xbSqlTypeString && ftInteger == xbSqlTypeInteger && ftBoolean == xbSqlTypeBoolean &&
                  ftFloat == xbSqlTypeFloat && ftDate == xbSqlTypeDate && ftDateTime == xbSqlTypeDateTime &&
                  ftMemo == xbSqlTypeMemo && ftBlob == xbSqlTypeBlob,
              "the parameter stream carries the field-type ordinals");

namespace {

constexpr int32_t ParamNameWidth = 20;
constexpr int32_t ProcFieldWidth = 255;
constexpr int32_t MsPerDay = 86400000;

template <class T>
AnsiString Raw(T v) {
  return AnsiString(reinterpret_cast<const char*>(&v), sizeof v);
}

template <class T>
T FromRaw(const AnsiString& bytes) {
  T v{};
  std::memcpy(&v, bytes.data(), std::min(bytes.size(), sizeof v));
  return v;
}

AnsiString StreamText(TMemoryStream* s) {
  return AnsiString(reinterpret_cast<const char*>(s->Memory()), static_cast<std::size_t>(s->Size()));
}

[[noreturn]] void Malformed() { throw EXbServerDLL("Malformed procedure answer"); }

}  // namespace

AnsiString ParamValueBytes(const TParam& param) {
  if (param.IsNull()) return {};
  const Variant& v = param.Value();
  switch (param.DataType()) {
    case ftString:
    case ftMemo:
    case ftBlob: return v.AsString();
    case ftSmallint:
    case ftWord: return Raw(static_cast<int16_t>(v.AsInteger()));
    case ftInteger: return Raw(static_cast<int32_t>(v.AsInteger()));
    case ftBoolean: return Raw(static_cast<int16_t>(v.AsBoolean() ? -1 : 0));
    case ftFloat:
    case ftCurrency: return Raw(v.AsDouble());
    case ftDate: return Raw(static_cast<int32_t>(std::floor(v.AsDateTime())) + DateDelta);
    case ftTime: {
      double t = v.AsDateTime();
      return Raw(static_cast<int32_t>(std::llround((t - std::floor(t)) * MsPerDay)));
    }
    case ftDateTime: return Raw(v.AsDateTime());
    default: return {};
  }
}

void SetParamValueBytes(TParam& param, const AnsiString& bytes) {
  if (bytes.empty()) {
    param.Clear();
    return;
  }
  switch (param.DataType()) {
    case ftSmallint: param.SetValue(Variant(int64_t(FromRaw<int16_t>(bytes)))); break;
    case ftWord: param.SetValue(Variant(int64_t(FromRaw<uint16_t>(bytes)))); break;
    case ftInteger: param.SetValue(Variant(int64_t(FromRaw<int32_t>(bytes)))); break;
    case ftBoolean: param.SetValue(Variant(FromRaw<int16_t>(bytes) != 0)); break;
    case ftFloat:
    case ftCurrency: param.SetValue(Variant(FromRaw<double>(bytes))); break;
    case ftDate: param.SetValue(Variant::FromDate(double(FromRaw<int32_t>(bytes) - DateDelta))); break;
    case ftTime: param.SetValue(Variant::FromDate(FromRaw<int32_t>(bytes) / double(MsPerDay))); break;
    case ftDateTime: param.SetValue(Variant::FromDate(FromRaw<double>(bytes))); break;
    default: param.SetValue(Variant(bytes)); break;
  }
}

void ServerParamStream(const TParams& params, TStream& stream) {
  stream.SetSize(0);
  for (int i = 0; i < params.Count(); ++i) {
    const TParam& p = *params.Items(i);
    AnsiString value;
    try {
      value = ParamValueBytes(p);
    } catch (const std::bad_alloc&) {
      throw EXbServerDLL("Allocating memory of " + IntToStr(static_cast<int64_t>(p.AsString().size())) + " size");
    }
    TXbWireWriter head;
    head.Hex(static_cast<int64_t>(value.size()), 8, "Value size of " + p.Name());
    head.Hex(p.DataType() & 0x7F, 2, "Data type").Hex(p.ParamType() & 0x7F, 2, "Parameter type");
    head.Text(p.Name(), ParamNameWidth, "Parameter name " + p.Name());
    stream.Write(head.Bytes().data(), static_cast<int64_t>(head.Bytes().size()));
    stream.Write(value.data(), static_cast<int64_t>(value.size()));
  }
  stream.Seek(0, soFromBeginning);
}

TProcAnswer ReadProcAnswer(const AnsiString& answer, TParams& params) {
  params.Clear();
  TXbWireReader r(answer);
  TProcAnswer result;
  try {
    result.ErrorNo = static_cast<int16_t>(r.Hex(4));
    result.ErrorMsg = Trim(r.Text(255));
    while (r.Left() > 0) {
      uint32_t size = static_cast<uint32_t>(r.Hex(8));
      if (size == 0) continue;
      int32_t type = r.Hex(2), paramType = r.Hex(2);
      AnsiString name = Trim(r.Text(ParamNameWidth));
      if (size > r.Left() || type > ftBlob || paramType > ptResult) Malformed();
      TParam* p = params.CreateParam(static_cast<TFieldType>(type), name, static_cast<TParamType>(paramType));
      SetParamValueBytes(*p, AnsiString(r.Raw(size)));
    }
  } catch (const EXbMalformed&) {
    Malformed();
  }
  return result;
}

// ---- the component

TXbServerDLL::TXbServerDLL(TComponent* AOwner) : TComponent(AOwner), FProcParams(std::make_unique<TParams>(this)) {}

TXbServerDLL::~TXbServerDLL() { SetXbConnection(nullptr); }

void TXbServerDLL::SetXbConnection(TXbConnection* value) {
  if (value == FXbConnection) return;
  if (FXbConnection) FXbConnection->RemoveFreeNotification(this);
  FXbConnection = value;
  if (FXbConnection) FXbConnection->FreeNotification(this);
}

void TXbServerDLL::Loaded() {
  TComponent::Loaded();
  if (FXbConnection) FXbConnection->SetDatabaseAlias(FDatabaseName);
}

void TXbServerDLL::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == FXbConnection) FXbConnection = nullptr;
}

void TXbServerDLL::checkConnection() const {
  if (!FXbConnection) throw EXbServerDLL("No XbConnection specified");
  if (!FXbConnection->Active()) throw EXbServerDLL("Not connected");
}

void TXbServerDLL::rebuildParams(const AnsiString& answer) {
  TProcAnswer a = ReadProcAnswer(answer, *FProcParams);
  FLastErrorNo = a.ErrorNo;
  FLastErrorMsg = a.ErrorMsg;
}

void TXbServerDLL::SetProcName(const AnsiString& value) {
  if (value == FProcName) return;
  FProcParams->Clear();
  FProcName = value;
  if (!FXbConnection) return;
  if (!FXbConnection->Active()) throw EXbServerDLL("Not connected");
  if (TMemoryStream* answer = FXbConnection->SetDLLProcName(FDatabaseName, FProcName))
    rebuildParams(StreamText(answer));
}

bool TXbServerDLL::ExecProc() {
  checkConnection();
  if (FProcName.empty()) throw EXbServerDLL("ProcName is empty!");
  TMemoryStream& out = FXbConnection->SendStreamBuffer();
  out.SetSize(0);
  TXbWireWriter names;
  TMemoryStream params;
  try {
    names.Text(FDatabaseName, ProcFieldWidth, "DatabaseName").Text(FProcName, ProcFieldWidth, "ProcName");
    ServerParamStream(*FProcParams, params);
  } catch (EXbFieldWidth& e) {
    if (!OnError) throw EXbServerDLL(e.Message());
    OnError(this, e.Message(), -1);
    return false;
  } catch (EXbServerDLL&) {
    const char* where = "XbServerDLL.InternalSetParams";
    if (!OnError) throw EXbServerDLL(where);
    OnError(this, where, -1);
    return false;
  }
  out.Write(names.Bytes().data(), static_cast<int64_t>(names.Bytes().size()));
  out.CopyFrom(params, 0);
  TMemoryStream* answer = FXbConnection->ExecProc();
  if (!answer) return false;
  rebuildParams(StreamText(answer));
  if (FLastErrorNo == 0) return true;
  if (!OnError) throw EXbServerDLL(FLastErrorMsg);
  OnError(this, FLastErrorMsg, FLastErrorNo);
  return true;
}
