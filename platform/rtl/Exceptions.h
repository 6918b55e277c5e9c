// The run-time's exception families; every failure of the system derives from Exception.
#pragma once

#include <exception>
#include <initializer_list>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/Format.h"

class Exception : public std::exception {
public:
  explicit Exception(AnsiString msg) : FMessage(std::move(msg)) {}
  Exception(const AnsiString& fmt, std::initializer_list<TVarRec> args) : FMessage(Format(fmt, args)) {}
  ~Exception() override = default;

  const AnsiString& Message() const { return FMessage; }
  void SetMessage(AnsiString m) { FMessage = std::move(m); }
  int HelpContext() const { return FHelpContext; }
  void SetHelpContext(int h) { FHelpContext = h; }
  const char* what() const noexcept override { return FMessage.c_str(); }

private:
  AnsiString FMessage;
  int FHelpContext = 0;
};

#define QUORVEX_EXCEPTION(Name, Base)  \
  class Name : public Base {           \
  public:                              \
    using Base::Base;                  \
  }

QUORVEX_EXCEPTION(EAbort, Exception);
QUORVEX_EXCEPTION(EConvertError, Exception);
QUORVEX_EXCEPTION(EInvalidOperation, Exception);
QUORVEX_EXCEPTION(EListError, Exception);
QUORVEX_EXCEPTION(EOutOfMemory, Exception);
QUORVEX_EXCEPTION(EInvalidPointer, Exception);
QUORVEX_EXCEPTION(EStreamError, Exception);
QUORVEX_EXCEPTION(EReadError, EStreamError);
QUORVEX_EXCEPTION(EWriteError, EStreamError);

class EFOpenError : public EStreamError {
public:
  using EStreamError::EStreamError;
  static EFOpenError ForFile(const AnsiString& name) { return EFOpenError("Cannot open file %s", {name}); }
};

class EFCreateError : public EStreamError {
public:
  using EStreamError::EStreamError;
  static EFCreateError ForFile(const AnsiString& name) { return EFCreateError("Cannot create file %s", {name}); }
};

class EInOutError : public Exception {
public:
  EInOutError(AnsiString msg, int code) : Exception(std::move(msg)), FErrorCode(code) {}
  int ErrorCode() const { return FErrorCode; }

private:
  int FErrorCode;
};

// Aborts the current operation silently, as the run-time's Abort.
[[noreturn]] void Abort();
