#include "zip/engine/ZpBase.h"
