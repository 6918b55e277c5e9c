// A clean window system and application for the tests of the framework's forms and controls.
#pragma once

#include "platform/classlib/ClassLibTestSupport.h"

class FormsTest : public ClassLibTest {};
