#include "platform/com/ComObj.h"

#include <unistd.h>

#include <algorithm>
#include <map>

EOleSysError::EOleSysError(const AnsiString& message, HRESULT code, int helpContext)
    : EOleError(message.empty() ? OleErrorMessage(code) : message), FErrorCode(code) {
  SetHelpContext(helpContext);
}

EOleException::EOleException(const AnsiString& message, HRESULT code, const AnsiString& source,
                             const AnsiString& helpFile, int helpContext)
    : EOleSysError(message, code, helpContext), FSource(source), FHelpFile(helpFile) {}

AnsiString OleErrorMessage(HRESULT code) {
  switch (code) {
    case E_NOTIMPL: return "Not implemented";
    case E_NOINTERFACE: return "Interface not supported";
    case E_POINTER: return "Invalid pointer";
    case E_FAIL: return "Unspecified error";
    case E_UNEXPECTED: return "Catastrophic failure";
    case E_OUTOFMEMORY: return "Not enough storage is available to complete this operation";
    case E_INVALIDARG: return "The parameter is incorrect";
    case CO_E_NOTINITIALIZED: return "CoInitialize has not been called";
    case REGDB_E_CLASSNOTREG: return "Class not registered";
    case CLASS_E_NOAGGREGATION: return "Class does not support aggregation (or class object is remote)";
    case RPC_S_SERVER_UNAVAILABLE: return "The RPC server is unavailable";
    case DISP_E_UNKNOWNINTERFACE: return "Unknown interface";
    case DISP_E_MEMBERNOTFOUND: return "Member not found";
    case DISP_E_PARAMNOTFOUND: return "Parameter not found";
    case DISP_E_TYPEMISMATCH: return "Type mismatch";
    case DISP_E_UNKNOWNNAME: return "Unknown name";
    case DISP_E_EXCEPTION: return "Exception occurred";
    case DISP_E_BADINDEX: return "Invalid index";
    case DISP_E_BADPARAMCOUNT: return "Invalid number of parameters";
    case CONNECT_E_NOCONNECTION: return "The connection does not exist";
    case CONNECT_E_CANNOTCONNECT: return "The connection cannot be made";
    default: return "Unknown error " + IntToHex(static_cast<uint32_t>(code), 8);
  }
}

void OleCheck(HRESULT hr) {
  if (FAILED(hr)) throw EOleSysError("", hr);
}

OleVariant DispatchInvoke(IDispatch* disp, DISPID dispid, uint16_t flags, const std::vector<OleVariant>& args,
                          const std::vector<DISPID>& namedIds) {
  if (!disp) throw EOleSysError("", E_POINTER);
  // The callee takes its arguments from right to left; named ones come first, in the given order.
  size_t named = std::min(namedIds.size(), args.size());
  std::vector<OleVariant> reversed;
  reversed.reserve(args.size());
  for (size_t i = 0; i < named; ++i) reversed.push_back(args[args.size() - named + i]);
  for (size_t i = args.size() - named; i-- > 0;) reversed.push_back(args[i]);
  std::vector<DISPID> ids(namedIds.begin(), namedIds.begin() + static_cast<std::ptrdiff_t>(named));
  DISPPARAMS params;
  params.rgvarg = reversed.data();
  params.cArgs = static_cast<uint32_t>(reversed.size());
  params.rgdispidNamedArgs = ids.data();
  params.cNamedArgs = static_cast<uint32_t>(ids.size());
  OleVariant result;
  EXCEPINFO info;
  uint32_t argErr = 0;
  HRESULT hr = disp->Invoke(dispid, GUID_NULL, 0, flags, &params, &result, &info, &argErr);
  if (hr == DISP_E_EXCEPTION) {
    HRESULT code = info.scode ? info.scode : DISP_E_EXCEPTION;
    throw EOleException(WideToAnsi(info.bstrDescription), code, WideToAnsi(info.bstrSource),
                        WideToAnsi(info.bstrHelpFile), static_cast<int>(info.dwHelpContext));
  }
  OleCheck(hr);
  return result;
}

DISPID DispatchIdOf(IDispatch* disp, const AnsiString& name) {
  if (!disp) throw EOleSysError("", E_POINTER);
  WideString w = AnsiToWide(name);
  DISPID id = DISPID_UNKNOWN;
  OleCheck(disp->GetIDsOfNames(GUID_NULL, &w, 1, 0, &id));
  return id;
}

OleVariant DispGet(IDispatch* disp, DISPID dispid, const std::vector<OleVariant>& args) {
  return DispatchInvoke(disp, dispid, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args);
}

void DispPut(IDispatch* disp, DISPID dispid, const OleVariant& value, const std::vector<OleVariant>& args) {
  std::vector<OleVariant> all(args);
  all.push_back(value);
  uint16_t flags = value.IsInterface() ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT;
  DispatchInvoke(disp, dispid, flags, all, {DISPID_PROPERTYPUT});
}

OleVariant DispCall(IDispatch* disp, DISPID dispid, const std::vector<OleVariant>& args,
                    const std::vector<DISPID>& namedIds) {
  return DispatchInvoke(disp, dispid, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, namedIds);
}

OleVariant DispGet(IDispatch* disp, const AnsiString& name, const std::vector<OleVariant>& args) {
  return DispGet(disp, DispatchIdOf(disp, name), args);
}

void DispPut(IDispatch* disp, const AnsiString& name, const OleVariant& value, const std::vector<OleVariant>& args) {
  DispPut(disp, DispatchIdOf(disp, name), value, args);
}

OleVariant DispCall(IDispatch* disp, const AnsiString& name, const std::vector<OleVariant>& args) {
  return DispCall(disp, DispatchIdOf(disp, name), args);
}

namespace {
struct TGuidLess {
  bool operator()(const GUID& a, const GUID& b) const { return GUIDToString(a) < GUIDToString(b); }
};
std::map<GUID, TClassFactory, TGuidLess>& classes() {
  static std::map<GUID, TClassFactory, TGuidLess> registry;
  return registry;
}
int gInitCount = 0;
}  // namespace

void RegisterComClass(const CLSID& clsid, TClassFactory factory) { classes()[clsid] = std::move(factory); }
void UnregisterComClass(const CLSID& clsid) { classes().erase(clsid); }
bool IsComClassRegistered(const CLSID& clsid) { return classes().count(clsid) != 0; }

HRESULT OleInitialize() { return gInitCount++ == 0 ? S_OK : S_FALSE; }
void OleUninitialize() {
  if (gInitCount > 0) --gInitCount;
}
bool OleInitialized() { return gInitCount > 0; }

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, uint32_t context, const IID& iid, void** obj) {
  if (!obj) return E_POINTER;
  *obj = nullptr;
  if (!OleInitialized()) return CO_E_NOTINITIALIZED;
  if (outer) return CLASS_E_NOAGGREGATION;
  // Every class of this layer is served in process; the local server context reaches it too.
  if ((context & (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER)) == 0) return REGDB_E_CLASSNOTREG;
  auto it = classes().find(clsid);
  if (it == classes().end()) return REGDB_E_CLASSNOTREG;
  return it->second(iid, obj);
}

HRESULT CoCreateInstanceEx(const CLSID& clsid, IUnknown* outer, uint32_t context, COSERVERINFO* server,
                           uint32_t count, MULTI_QI* results) {
  if (count == 0 || !results) return E_INVALIDARG;
  bool here = true;
  if (server && !server->pwszName.empty()) {
    char name[256];
    uint32_t size = sizeof name;
    here = GetComputerName(name, size) && SameText(name, WideToAnsi(server->pwszName));
  }
  HRESULT hr = here ? S_OK : RPC_S_SERVER_UNAVAILABLE;
  IUnknown* unk = nullptr;
  if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, outer, context, IID_IUnknown, reinterpret_cast<void**>(&unk));
  bool any = false;
  for (uint32_t i = 0; i < count; ++i) {
    results[i].pItf = nullptr;
    results[i].hr = FAILED(hr) ? hr : unk->QueryInterface(*results[i].pIID, reinterpret_cast<void**>(&results[i].pItf));
    any = any || SUCCEEDED(results[i].hr);
  }
  if (unk) unk->Release();
  if (FAILED(hr)) return hr;
  return any ? S_OK : E_NOINTERFACE;
}

void* GetOleProcAddress(const AnsiString& library, const AnsiString& name) {
  if (SameText(library, "ole32.dll") && name == "CoCreateInstanceEx")
    return reinterpret_cast<void*>(static_cast<TCoCreateInstanceEx>(&CoCreateInstanceEx));
  return nullptr;
}

bool GetComputerName(char* buffer, uint32_t& size) {
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') return false;
  // The platform's names are the host's first label, in capitals, at most 15 characters.
  AnsiString name = UpperCase(host);
  name = name.substr(0, name.find('.'));
  if (name.size() > 15) name.resize(15);
  if (size <= name.size()) {
    size = static_cast<uint32_t>(name.size() + 1);
    return false;
  }
  std::copy(name.begin(), name.end(), buffer);
  buffer[name.size()] = '\0';
  size = static_cast<uint32_t>(name.size());
  return true;
}
