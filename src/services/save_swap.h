#pragma once

#include <optional>
#include <string>

#include "services/text.h"

// What lets the restore replace the save folder without ever losing it: the old folder is moved
// aside by one rename before anything is written, and a file that the restore changes is kept so
// that it can be put back when the new folder cannot be made.

// True when `path` has a parent folder and it exists. The path is taken as a full path without a
// trailing backslash, as comparableFullPath gives it.
bool parentFolderExists(const Text& path);

// True when `folder` holds at least one entry other than a file named `fileName` (names compared
// without regard to case); false for an empty folder and for one that cannot be listed.
bool holdsAnythingBut(const Text& folder, const Text& fileName);

// Renames `folder` to the first free name beside it, "<name>.korvenel-old", then
// "<name>.korvenel-old-2" and so on: one rename within its parent, never a copy. Gives the new
// path, or an empty text when the folder cannot be renamed (a program holds it open, access is
// denied...). `folder` is a path without a trailing backslash.
Text moveFolderAside(const Text& folder);

// Renames `from` to `to`, which must not exist yet. True on success.
bool renameFolder(const Text& from, const Text& to);

// A file's bytes and attributes as they were, or the fact that it did not exist.
struct KeptFile {
  Text path;
  bool existed = false;
  std::string bytes;
  unsigned long attributes = 0;
};

// The file as it is now; nothing when an entry exists at the path but cannot be read as a file.
std::optional<KeptFile> keepFile(const Text& path);

// Makes the file what it was when it was kept: the same bytes and attributes, or no file at all.
// A file that is still as it was is not written. True when the file is as kept afterwards.
bool putFileBack(const KeptFile& kept);
