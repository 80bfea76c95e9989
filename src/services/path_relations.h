#pragma once

#include <string>

#include "services/text.h"

// How paths relate to each other and to the disk, for the checks that guard a backup and a
// restore. Paths are compared as full paths (resolved against the current directory), without
// regard to case and to a trailing backslash.

// The full path that the file functions make of a path; empty when the platform makes none.
std::wstring fullPath(const std::wstring& path);

// The full path of a text, without trailing backslashes ("S:\" gives "S:"); empty for an empty
// text or one the platform cannot resolve.
std::wstring comparableFullPath(const Text& path);

// True when `path` names `folder` itself or lies anywhere inside it.
bool isSameOrInside(const Text& path, const Text& folder);

bool isExistingFolder(const Text& path);
bool isExistingFile(const Text& path);
