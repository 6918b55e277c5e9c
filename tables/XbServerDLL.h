// Server procedures: a component that runs a named procedure of a library on the database
// server with typed parameters, and the parameter stream that the server and the SQL engine read.
#pragma once

#include <functional>
#include <memory>

#include "platform/classlib/DB.h"
#include "platform/rtl/Streams.h"

class TXbConnection;

QUORVEX_EXCEPTION(EXbServerDLL, Exception);

using TExecDLLErrorEvent = std::function<void(TObject* Sender, const AnsiString& ErrorMsg, int32_t ErrorNo)>;

// The bytes of a parameter's value as the stream carries them; empty for a null value.
AnsiString ParamValueBytes(const TParam& param);
// Sets a parameter's value from those bytes.
void SetParamValueBytes(TParam& param, const AnsiString& bytes);
// Clears the stream, writes one record per parameter in order and rewinds it. Raises
// EXbServerDLL "Allocating memory of n size" when a value cannot be buffered.
void ServerParamStream(const TParams& params, TStream& stream);

// A procedure answer taken apart; every size and count is checked against the bytes left, and
// a malformed answer raises EXbServerDLL.
struct TProcAnswer {
  int32_t ErrorNo = 0;
  AnsiString ErrorMsg;
};
TProcAnswer ReadProcAnswer(const AnsiString& answer, TParams& params);

class TXbServerDLL : public TComponent {
public:
  explicit TXbServerDLL(TComponent* AOwner);
  ~TXbServerDLL() override;
  AnsiString ClassName() const override { return "TXbServerDLL"; }

  TXbConnection* XbConnection() const { return FXbConnection; }
  void SetXbConnection(TXbConnection* value);
  const AnsiString& DatabaseName() const { return FDatabaseName; }
  void SetDatabaseName(const AnsiString& value) { FDatabaseName = value; }
  const AnsiString& ProcName() const { return FProcName; }
  // A new name clears the parameters and asks the server for the procedure's list.
  void SetProcName(const AnsiString& value);
  TParams& ProcParams() { return *FProcParams; }
  AnsiString Version() const { return "7.1.0.5"; }
  void SetVersion(const AnsiString&) {}
  int32_t LastErrorNo() const { return FLastErrorNo; }
  const AnsiString& LastErrorMsg() const { return FLastErrorMsg; }

  // True when the call went through (also when OnError took the procedure's error); false when
  // the server gave no answer.
  bool ExecProc();

  TExecDLLErrorEvent OnError;

protected:
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

private:
  void checkConnection() const;
  void rebuildParams(const AnsiString& answer);

  TXbConnection* FXbConnection = nullptr;
  AnsiString FDatabaseName;
  AnsiString FProcName;
  std::unique_ptr<TParams> FProcParams;
  int32_t FLastErrorNo = 0;
  AnsiString FLastErrorMsg;
};
