// What a refused call says.
#pragma once

#include <functional>

#include "platform/rtl/Exceptions.h"

// The message of the exception that Call raises; empty when it raises none.
inline AnsiString RaisedMessage(const std::function<void()>& call) {
  try {
    call();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "";
}
