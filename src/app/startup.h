#pragma once

#include <windows.h>

// The whole run of the program: start-up, the message loop and shutdown. Gives the exit code:
// 0 after the window has been closed, -1 when it could not be created.
int runApplication(HINSTANCE instance, int showCommand);
