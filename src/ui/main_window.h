#pragma once

#include <windows.h>

// Creates the main window hidden at its centred place, creates its controls, runs the creation
// event and then shows the window. Returns nullptr when the window cannot be created.
HWND createMainWindow(HINSTANCE instance, int showCommand);

// The main window while it exists, else nullptr.
HWND mainWindow();

// The window's keyboard rules (Tab order, Esc, Enter, F1), applied to a message before it is
// dispatched. True when the message was handled and must not be dispatched.
bool handleWindowKey(const MSG& message);
