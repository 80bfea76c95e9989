#pragma once

#include <string>

#include "services/text.h"

// Deletes a folder with everything in it, working with UTF-16 paths so that names outside GBK go
// like any other. Failures are passed over: whatever can be deleted is deleted. The result is
// non-zero only when the folder itself was removed at the end.
//
// Links (junctions, symbolic links) go as themselves: their targets are never touched. A path that
// names a drive's or a share's root folder, the current directory or a folder above it, in any
// spelling ("", "C:\", "\", ".", "..", "\\?\C:\", a short name...), is left alone (result 0).
int removeFolderTree(const Text& path);

// A text converted through code page 936, followed by its terminating NUL unit.
std::wstring textToUtf16(const Text& text);

// The worker: the path is used up to its first NUL unit; the result as for removeFolderTree.
int removeTreeUtf16(const std::wstring& path);

// True when a path, as written, names a drive's or a share's root folder ("C:\", "\", "C:\x\..",
// "\\server\share", "\\?\C:\", "\\?\UNC\server\share"), the root of a substituted or mapped drive
// included, or cannot be read as a path at all (empty, a device path other than a drive's or a
// share's). Decided without looking at the disk.
bool namesRootFolder(const std::wstring& path);
