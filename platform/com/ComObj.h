// Automation errors, calls through IDispatch by name and by dispatch id, the class registry,
// object creation, and process initialisation.
#pragma once

#include <functional>
#include <initializer_list>
#include <vector>

#include "platform/com/ComTypes.h"
#include "platform/com/Variants.h"
#include "platform/rtl/Exceptions.h"

class EOleError : public Exception {
public:
  using Exception::Exception;
};

// A failure code of the platform, with its text.
class EOleSysError : public EOleError {
public:
  EOleSysError(const AnsiString& message, HRESULT code, int helpContext = 0);
  HRESULT ErrorCode() const { return FErrorCode; }

private:
  HRESULT FErrorCode;
};

// An exception the server reported through its exception information.
class EOleException : public EOleSysError {
public:
  EOleException(const AnsiString& message, HRESULT code, const AnsiString& source,
                const AnsiString& helpFile, int helpContext);
  const AnsiString& Source() const { return FSource; }
  const AnsiString& HelpFile() const { return FHelpFile; }

private:
  AnsiString FSource;
  AnsiString FHelpFile;
};

// The platform's text for a failure code.
AnsiString OleErrorMessage(HRESULT code);
// Raises EOleSysError when the code is a failure.
void OleCheck(HRESULT hr);

// Late-bound calls. Arguments are given left to right; a missing one is OleVariant::Missing().
// Failures raise EOleException on DISP_E_EXCEPTION, EOleSysError otherwise.
OleVariant DispatchInvoke(IDispatch* disp, DISPID dispid, uint16_t flags, const std::vector<OleVariant>& args,
                          const std::vector<DISPID>& namedIds = {});
DISPID DispatchIdOf(IDispatch* disp, const AnsiString& name);
OleVariant DispGet(IDispatch* disp, DISPID dispid, const std::vector<OleVariant>& args = {});
// An interface value is put by reference, as automation expects.
void DispPut(IDispatch* disp, DISPID dispid, const OleVariant& value, const std::vector<OleVariant>& args = {});
OleVariant DispCall(IDispatch* disp, DISPID dispid, const std::vector<OleVariant>& args = {},
                    const std::vector<DISPID>& namedIds = {});
OleVariant DispGet(IDispatch* disp, const AnsiString& name, const std::vector<OleVariant>& args = {});
void DispPut(IDispatch* disp, const AnsiString& name, const OleVariant& value, const std::vector<OleVariant>& args = {});
OleVariant DispCall(IDispatch* disp, const AnsiString& name, const std::vector<OleVariant>& args = {});

// Makes new objects of one class; answers the interface iid of the new object.
using TClassFactory = std::function<HRESULT(const IID& iid, void** obj)>;
// The class registry of the process, by class identifier.
void RegisterComClass(const CLSID& clsid, TClassFactory factory);
void UnregisterComClass(const CLSID& clsid);
bool IsComClassRegistered(const CLSID& clsid);

HRESULT OleInitialize();
void OleUninitialize();
bool OleInitialized();

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, uint32_t context, const IID& iid, void** obj);

struct COSERVERINFO {
  WideString pwszName;
};
struct MULTI_QI {
  const IID* pIID = nullptr;
  IUnknown* pItf = nullptr;
  HRESULT hr = S_OK;
};
// Creation on a named machine. Only this machine serves objects: another name is unreachable.
HRESULT CoCreateInstanceEx(const CLSID& clsid, IUnknown* outer, uint32_t context, COSERVERINFO* server,
                           uint32_t count, MULTI_QI* results);
using TCoCreateInstanceEx = HRESULT (*)(const CLSID&, IUnknown*, uint32_t, COSERVERINFO*, uint32_t, MULTI_QI*);

// The entry points of the system's automation libraries, looked up by library and name as the
// platform's loader does; nullptr when there is none.
void* GetOleProcAddress(const AnsiString& library, const AnsiString& name);

// The name of this computer: the host name, cut to the buffer like the platform's; false when unreadable.
bool GetComputerName(char* buffer, uint32_t& size);
