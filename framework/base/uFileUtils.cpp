#include "framework/base/uFileUtils.h"
