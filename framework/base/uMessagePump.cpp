#include "framework/base/uMessagePump.h"
