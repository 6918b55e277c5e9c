// Connects the window system's queue to the application's loop.
#pragma once

// Sets Application()'s pump: one message taken, translated and dispatched per call; WM_QUIT
// terminates the application.
void UseWindowSystemPump();
