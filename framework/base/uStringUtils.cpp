#include "framework/base/uStringUtils.h"
