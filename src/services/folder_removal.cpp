#include "services/folder_removal.h"

#include <windows.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "services/encoding.h"
#include "services/path_relations.h"
#include "services/scoped_win.h"

namespace {

constexpr wchar_t kSeparator = L'\\';

bool startsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() &&
         CompareStringOrdinal(text.data(), static_cast<int>(prefix.size()), prefix.data(),
                              static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

bool isDriveLetterForm(std::wstring_view path) {
  return path.size() >= 2 && path[1] == L':' &&
         ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
}

// A path relative to a drive's own current directory: "D:" or "D:save".
bool isDriveRelative(std::wstring_view path) {
  return isDriveLetterForm(path) && (path.size() == 2 || path[2] != kSeparator);
}

// The path with "/" read as "\" and a device prefix ("\\?\", "\\.\", "\??\") turned into the
// ordinary spelling of the same place: "\\?\C:\x" is "C:\x", "\\?\UNC\server\share" is
// "\\server\share". Empty for other device paths (volume names, devices) and for an empty path.
std::wstring ordinaryForm(std::wstring_view path) {
  std::wstring form(path);
  std::replace(form.begin(), form.end(), L'/', kSeparator);
  if (!startsWithIgnoringCase(form, L"\\\\?\\") && !startsWithIgnoringCase(form, L"\\\\.\\") &&
      !startsWithIgnoringCase(form, L"\\??\\")) {
    return form;
  }
  const std::wstring rest = form.substr(4);
  if (startsWithIgnoringCase(rest, L"UNC\\")) return L"\\\\" + rest.substr(4);
  if (isDriveLetterForm(rest) && (rest.size() == 2 || rest[2] == kSeparator)) return rest;
  return {};
}

// The path of the file or folder that a path opens, a link itself rather than its target, in
// ordinary spelling; empty when it cannot be opened or lies on a volume without a drive letter.
std::wstring finalPath(const std::wstring& path) {
  const ScopedFileHandle entry(
      CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!entry.valid()) return {};
  // Some network file systems give no normalised name; the name as opened serves as well.
  for (const DWORD flags : {FILE_NAME_NORMALIZED | VOLUME_NAME_DOS, FILE_NAME_OPENED | VOLUME_NAME_DOS}) {
    const DWORD size = GetFinalPathNameByHandleW(entry.get(), nullptr, 0, flags);
    if (size == 0) continue;
    std::wstring final(size, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(entry.get(), final.data(), size, flags);
    if (length == 0 || length >= size) continue;
    final.resize(length);
    return ordinaryForm(final);
  }
  return {};
}

std::vector<std::wstring_view> components(std::wstring_view path) {
  std::vector<std::wstring_view> parts;
  size_t start = 0;
  while (start <= path.size()) {
    const size_t end = std::min(path.find(kSeparator, start), path.size());
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// For a full path in ordinary spelling: true for a drive's root folder ("C:\") or a share's
// ("\\server\share").
bool isRoot(std::wstring_view full) {
  const size_t parts = components(full).size();
  return full.starts_with(L"\\\\") ? parts <= 2 : parts <= 1;
}

// For full paths in ordinary spelling: true when `outer` names `inner` or a folder above it.
bool isSameOrAbove(std::wstring_view outer, std::wstring_view inner) {
  const auto outerParts = components(outer);
  const auto innerParts = components(inner);
  if (outerParts.empty() || outerParts.size() > innerParts.size()) return false;
  for (size_t i = 0; i < outerParts.size(); ++i) {
    if (CompareStringOrdinal(outerParts[i].data(), static_cast<int>(outerParts[i].size()), innerParts[i].data(),
                             static_cast<int>(innerParts[i].size()), TRUE) != CSTR_EQUAL) {
      return false;
    }
  }
  return true;
}

// True for a path that the removal leaves alone: one that names a root folder as written, or
// cannot be opened (a missing one among them); a drive's or a share's root folder as opened; the
// current directory or a folder above it, seen through short names and links; and for a path such
// as "D:" or "D:x", D:'s own current directory or a folder above it as well.
bool refusesRemoval(const std::wstring& path) {
  if (namesRootFolder(path)) return true;
  const std::wstring actual = finalPath(path);
  if (actual.empty() || isRoot(actual)) return true;
  std::vector<std::wstring> guarded{finalPath(L".")};
  const std::wstring spelled = ordinaryForm(path);
  if (isDriveRelative(spelled)) guarded.push_back(finalPath(spelled.substr(0, 2)));
  for (const std::wstring& folder : guarded) {
    if (folder.empty() || isSameOrAbove(actual, folder)) return true;
  }
  return false;
}

std::wstring withSeparator(std::wstring path) {
  if (path.empty() || path.back() != kSeparator) path += kSeparator;
  return path;
}

void removeEntry(const std::wstring& child, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    removeTreeUtf16(child);  // a link to a folder goes there as itself
    return;
  }
  // A link to a file keeps its marks: SetFileAttributesW would reach through to the target.
  if ((attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    SetFileAttributesW(child.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  DeleteFileW(child.c_str());
}

// Deletes what the folder holds; false when its search cannot be started. The search is closed
// when this returns, before anyone removes the folder itself.
bool removeEntries(const std::wstring& folder) {
  const std::wstring prefix = withSeparator(folder);
  WIN32_FIND_DATAW entry;
  const ScopedFindHandle search(FindFirstFileW((prefix + L"*.*").c_str(), &entry));
  if (!search.valid()) return false;
  const std::wstring resolvedPrefix = fullPath(prefix);
  do {
    const std::wstring name(entry.cFileName, wcsnlen(entry.cFileName, MAX_PATH));
    if (name.empty() || name == L"." || name == L"..") continue;
    const std::wstring child = prefix + name;
    // A name that the platform would read as another path (trailing dots or blanks, such as
    // ".. ") could lead outside the folder: it is passed over like an entry that cannot be deleted.
    if (fullPath(child) != resolvedPrefix + name) continue;
    removeEntry(child, entry.dwFileAttributes);
  } while (FindNextFileW(search.get(), &entry));
  return true;
}

}  // namespace

bool namesRootFolder(const std::wstring& path) {
  const std::wstring spelled = ordinaryForm(path);
  const std::wstring full = spelled.empty() ? std::wstring() : fullPath(spelled);
  return full.empty() || isRoot(full);
}

int removeFolderTree(const Text& path) { return removeTreeUtf16(textToUtf16(path)); }

std::wstring textToUtf16(const Text& text) {
  std::wstring wide = gbkToWide(std::string_view(text.c_str()));
  wide.push_back(L'\0');
  return wide;
}

int removeTreeUtf16(const std::wstring& path) {
  const std::wstring folder = path.substr(0, path.find(L'\0'));
  if (refusesRemoval(folder)) return 0;
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT) && !removeEntries(folder)) return 0;
  // Removed by the path this level was handed, a final backslash included.
  return RemoveDirectoryW(folder.c_str()) ? 1 : 0;
}
