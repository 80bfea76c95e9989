#pragma once

#include "services/text.h"

// True when a file or folder matches the path, hidden and system ones included. By the platform's
// rules a path ending in a backslash, a drive's root and an empty text give false, and a last part
// with the wildcards * or ? gives true when anything matches.
bool pathExists(const Text& path);

// Creates the path's last folder; the folders above it must exist. False when it cannot be made or
// already exists.
bool createFolder(const Text& path);
