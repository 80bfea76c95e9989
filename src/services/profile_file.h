#pragma once

#include <cstddef>

#include "services/text.h"

// One value of a Windows profile (INI) file. The files keep the Windows profile format (see
// services/profile_format.h) and are read and written by the program itself: in GBK, or in the
// encoding a file already has when an editor saved it as UTF-8 (with or without byte-order mark) or
// as UTF-16 LE with byte-order mark. Nothing stays open between calls.

// The longest value a read gives, in bytes; longer values are cut on a character boundary.
constexpr std::size_t kMaxProfileValueBytes = 10239;

// The value stored under `section` and `key`, or an empty text when the file, the section or the
// key is missing. Leading bytes 1 to 32 of the three texts are skipped first; when any of them is
// empty afterwards the result is empty and the file is not read.
Text readProfileText(const Text& file, const Text& section, const Text& key);

// Stores `value` under `section` and `key`, creating the file when its folder exists. The old file
// is replaced in one step by a completed new one, so a failure leaves it as it was. False when the
// file cannot be read or written, or a name is empty or blank.
bool writeProfileText(const Text& file, const Text& section, const Text& key, const Text& value);
