#pragma once

#include <string>
#include <string_view>

#include "services/text.h"

// The run directory: the folder of the program's own file, fixed once at start-up and made the
// process's current directory, so relative paths name places inside the program's folder.

// Fixes the run directory and makes it the current directory. Called once, before the window.
void initRunDirectory();

// A copy of the run directory, without a trailing backslash: "D:\tools" for D:\tools\a.exe, the
// bare drive "E:" for E:\a.exe. Callers append "\" and a file name.
Text runDirectory();

// The folder of a program file: its path up to its last backslash, that backslash excluded; empty
// for a path without one.
std::wstring runDirectoryOf(std::wstring_view modulePath);
