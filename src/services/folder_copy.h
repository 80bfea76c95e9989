#pragma once

#include "services/text.h"

// Copies the folder `source` with all its files and sub-folders to `destination` through the
// script runtime's file-system object (its method CopyFolder, called late-bound). A missing
// destination is created (its parent must exist); an existing one receives the copy, and files of
// the same name in it are replaced. COM is initialised and uninitialised around the call, and the
// object is created and released within it. True when the object copied without an error; a copy
// that fails half-way leaves what was already written.
bool copyFolder(const Text& source, const Text& destination);

// copyFolder with the automation object of another ProgID; copyFolder names the file-system
// object. Lets tests stand in objects that do not exist or have no CopyFolder method.
bool copyFolderUsing(const wchar_t* progId, const Text& source, const Text& destination);
