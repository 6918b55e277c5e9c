#include "zip/engine/ZpExceptions.h"

#include "platform/rtl/Format.h"
#include "zip/engine/ZpStringResource.h"

EZpException::EZpException(int id) : Exception(ZpStringById(id)), FErrorCode(id) {}

EZpException::EZpException(int id, std::initializer_list<TVarRec> args) : Exception(""), FErrorCode(id) {
  AnsiString fmt = ZpStringById(id);
  try {
    SetMessage(Format(fmt, args));
  } catch (const EConvertError&) {
    SetMessage(fmt);
  }
}

void ZpConvertException(const std::exception& e, TZpErrorClass& errorClass, int& errorCode) {
  errorCode = 0;
  if (auto* zp = dynamic_cast<const EZpException*>(&e)) {
    errorClass = ecZpEngineError;
    errorCode = zp->ErrorCode();
  } else if (auto* io = dynamic_cast<const EInOutError*>(&e)) {
    errorClass = ecZpInOutError;
    errorCode = io->ErrorCode();
  } else if (dynamic_cast<const EReadError*>(&e) || dynamic_cast<const EWriteError*>(&e)) {
    errorClass = ecZpFilerError;  // the class library's filer errors
  } else if (dynamic_cast<const EFOpenError*>(&e)) {
    errorClass = ecZpFileOpenError;
  } else if (dynamic_cast<const EFCreateError*>(&e)) {
    errorClass = ecZpFileCreateError;
  } else {
    errorClass = ecZpOtherError;
  }
}

void ZpConvertCurrentException(TZpErrorClass& errorClass, int& errorCode) {
  try {
    throw;
  } catch (const std::exception& e) {
    ZpConvertException(e, errorClass, errorCode);
  } catch (...) {
    errorClass = ecZpOtherError;
    errorCode = 0;
  }
}
