// The table layer's error.
#pragma once

#include "platform/rtl/Exceptions.h"

QUORVEX_EXCEPTION(EXbError, Exception);
