#include "zip/engine/ZpDeflateConstants.h"
