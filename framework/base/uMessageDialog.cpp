#include "framework/base/uMessageDialog.h"
