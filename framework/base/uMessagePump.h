// Lets pending window messages run during long file work. The class library plugs its message
// loop in here; until it does, the pump does nothing.
#pragma once

#include <functional>

using TMessagePump = std::function<void()>;

void SetMessagePump(TMessagePump pump);  // an empty pump restores the default
void ProcessPendingMessages();
