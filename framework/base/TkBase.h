// Base of the tool library's components, and the library's exception with numbered texts.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/Exceptions.h"
#include "platform/classlib/Classes.h"

class TTkComponent : public TComponent {
public:
  explicit TTkComponent(TComponent* AOwner = nullptr) : TComponent(AOwner) {}
  // The library's fixed version; writing it changes nothing.
  AnsiString Version() const;
  void SetVersion(const AnsiString&) {}
};

class ETkException : public Exception {
public:
  // The message is text Code of the library's string table, filled with args.
  explicit ETkException(int32_t Code, std::initializer_list<TVarRec> Args = {});
  int32_t ErrorCode() const { return FErrorCode; }

private:
  int32_t FErrorCode;
};
