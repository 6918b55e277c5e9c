// The zip engine's exception family: each class takes its text from the engine's string table by
// its own id, which is also its ErrorCode; and the mapping of any exception to an error class.
#pragma once

#include <exception>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/Exceptions.h"

// Ids of the engine's string table that the exceptions and prompts use.
namespace ZpText {
constexpr int ZipVersion = 1;
constexpr int ZipInvalidMethod = 2;
constexpr int ZipNoExtraction = 3;
constexpr int ZipInvalidPassword = 4;
constexpr int ZipNoInsertion = 5;
constexpr int ZipInvalidFactor = 6;
constexpr int DuplicateName = 7;
constexpr int ZipUnsupported = 8;
constexpr int UserAbort = 9;
constexpr int DiskRequestCaption = 11;
constexpr int RequestLastDisk = 12;
constexpr int ZipBadSpanStream = 13;
constexpr int RequestNthDisk = 14;
constexpr int ZipSpanOverwrite = 15;
constexpr int RequestBlankDisk = 17;
constexpr int ZipStreamFull = 18;
constexpr int NoSuchDirectory = 19;
constexpr int ZipInflateBlock = 20;
constexpr int BadStream = 21;
constexpr int ZipBadCRC = 23;
constexpr int FileNotFound = 25;
constexpr int ZipInvalidLFH = 26;
constexpr int NoArchive = 27;
constexpr int ZipInvalid = 28;
constexpr int ReadError = 29;
constexpr int BBSReadTooManyBytes = 40;
constexpr int BBSSeekOutsideBuffer = 41;
constexpr int BBSInvalidOrigin = 42;
constexpr int BBSWriteTooManyBytes = 43;
constexpr int VMSInvalidOrigin = 201;
constexpr int VMSErrorOpenSwap = 202;
constexpr int VMSSeekFail = 203;
constexpr int VMSReadFail = 204;
constexpr int VMSWriteFail = 205;
constexpr int LogAdded = 310;
constexpr int LogDeleted = 311;
constexpr int LogExtracted = 312;
constexpr int LogFreshened = 313;
constexpr int LogMoved = 314;
constexpr int LogReplaced = 315;
constexpr int LogLogging = 316;
}  // namespace ZpText

class EZpException : public Exception {
public:
  explicit EZpException(AnsiString msg, int errorCode = 0) : Exception(std::move(msg)), FErrorCode(errorCode) {}
  int ErrorCode() const { return FErrorCode; }
  void SetErrorCode(int code) { FErrorCode = code; }

protected:
  // The text of id from the engine's string table; id becomes the ErrorCode.
  explicit EZpException(int id);
  EZpException(int id, std::initializer_list<TVarRec> args);

private:
  int FErrorCode = 0;
};

#define QUORVEX_ZP_EXCEPTION(Name, Id)         \
  class Name : public EZpException {            \
  public:                                       \
    Name() : EZpException(Id) {}                \
  }

QUORVEX_ZP_EXCEPTION(EZpZipVersion, ZpText::ZipVersion);
QUORVEX_ZP_EXCEPTION(EZpZipNoExtraction, ZpText::ZipNoExtraction);
QUORVEX_ZP_EXCEPTION(EZpZipInvalidPassword, ZpText::ZipInvalidPassword);
QUORVEX_ZP_EXCEPTION(EZpZipNoInsertion, ZpText::ZipNoInsertion);
QUORVEX_ZP_EXCEPTION(EZpZipInvalidFactor, ZpText::ZipInvalidFactor);
QUORVEX_ZP_EXCEPTION(EZpZipUnsupported, ZpText::ZipUnsupported);
QUORVEX_ZP_EXCEPTION(EZpUserAbort, ZpText::UserAbort);
QUORVEX_ZP_EXCEPTION(EZpZipBadSpanStream, ZpText::ZipBadSpanStream);
QUORVEX_ZP_EXCEPTION(EZpZipSpanOverwrite, ZpText::ZipSpanOverwrite);
QUORVEX_ZP_EXCEPTION(EZpZipStreamFull, ZpText::ZipStreamFull);
QUORVEX_ZP_EXCEPTION(EZpNoSuchDirectory, ZpText::NoSuchDirectory);
QUORVEX_ZP_EXCEPTION(EZpZipInflateBlock, ZpText::ZipInflateBlock);
QUORVEX_ZP_EXCEPTION(EZpBadStream, ZpText::BadStream);
QUORVEX_ZP_EXCEPTION(EZpZipBadCRC, ZpText::ZipBadCRC);
QUORVEX_ZP_EXCEPTION(EZpFileNotFound, ZpText::FileNotFound);
QUORVEX_ZP_EXCEPTION(EZpZipInvalidLFH, ZpText::ZipInvalidLFH);
QUORVEX_ZP_EXCEPTION(EZpNoArchive, ZpText::NoArchive);
QUORVEX_ZP_EXCEPTION(EZpZipInvalid, ZpText::ZipInvalid);
QUORVEX_ZP_EXCEPTION(EZpReadError, ZpText::ReadError);
QUORVEX_ZP_EXCEPTION(EZpBBSSeekOutsideBuffer, ZpText::BBSSeekOutsideBuffer);
QUORVEX_ZP_EXCEPTION(EZpBBSInvalidOrigin, ZpText::BBSInvalidOrigin);

#undef QUORVEX_ZP_EXCEPTION

class EZpZipInvalidMethod : public EZpException {
public:
  EZpZipInvalidMethod() : EZpException(ZpText::ZipInvalidMethod) {}
  // The text goes on with the method's name, so that the user knows what the item needs.
  explicit EZpZipInvalidMethod(const AnsiString& methodName) : EZpException(ZpText::ZipInvalidMethod) {
    SetMessage(Message() + " (" + methodName + ")");
  }
};
class EZpBBSReadTooManyBytes : public EZpException {
public:
  explicit EZpBBSReadTooManyBytes(int count) : EZpException(ZpText::BBSReadTooManyBytes, {count}) {}
};
class EZpBBSWriteTooManyBytes : public EZpException {
public:
  explicit EZpBBSWriteTooManyBytes(int count) : EZpException(ZpText::BBSWriteTooManyBytes, {count}) {}
};
class EZpVMSInvalidOrigin : public EZpException {
public:
  explicit EZpVMSInvalidOrigin(int origin) : EZpException(ZpText::VMSInvalidOrigin, {origin}) {}
};
class EZpVMSErrorOpenSwap : public EZpException {
public:
  explicit EZpVMSErrorOpenSwap(const AnsiString& name) : EZpException(ZpText::VMSErrorOpenSwap, {name}) {}
};
class EZpVMSSeekFail : public EZpException {
public:
  explicit EZpVMSSeekFail(const AnsiString& name) : EZpException(ZpText::VMSSeekFail, {name}) {}
};
class EZpVMSReadFail : public EZpException {
public:
  EZpVMSReadFail(int count, const AnsiString& name) : EZpException(ZpText::VMSReadFail, {count, name}) {}
};
class EZpVMSWriteFail : public EZpException {
public:
  EZpVMSWriteFail(int count, const AnsiString& name) : EZpException(ZpText::VMSWriteFail, {count, name}) {}
};

// Error classes of the item-failure event.
enum TZpErrorClass {
  ecZpEngineError = 0,
  ecZpInOutError = 1,
  ecZpFilerError = 2,
  ecZpFileCreateError = 3,
  ecZpFileOpenError = 4,
  ecZpCabError = 5,
  ecZpOtherError = 6
};

// Class and code of the exception being handled (call inside a catch block), or of e.
void ZpConvertException(const std::exception& e, TZpErrorClass& errorClass, int& errorCode);
void ZpConvertCurrentException(TZpErrorClass& errorClass, int& errorCode);
