// A clean window system and application for the tests of the framework's forms and controls.
#pragma once

#include "platform/vcl/VclTestSupport.h"

class FormsTest : public VclTest {};
