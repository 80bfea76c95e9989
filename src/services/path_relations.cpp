#include "services/path_relations.h"

#include <windows.h>

#include "services/encoding.h"

std::wstring fullPath(const std::wstring& path) {
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return {};
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return {};
  full.resize(length);
  return full;
}

std::wstring comparableFullPath(const Text& path) {
  if (path.empty()) return {};
  std::wstring full = fullPath(gbkToWide(path));
  while (!full.empty() && (full.back() == L'\\' || full.back() == L'/')) full.pop_back();
  return full;
}

bool isSameOrInside(const Text& path, const Text& folder) {
  const std::wstring inner = comparableFullPath(path);
  const std::wstring outer = comparableFullPath(folder);
  if (inner.empty() || outer.empty() || inner.size() < outer.size()) return false;
  const bool prefixMatches = CompareStringOrdinal(inner.c_str(), static_cast<int>(outer.size()), outer.c_str(),
                                                  static_cast<int>(outer.size()), TRUE) == CSTR_EQUAL;
  return prefixMatches && (inner.size() == outer.size() || inner[outer.size()] == L'\\');
}

bool isExistingFolder(const Text& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesW(gbkToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isExistingFile(const Text& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesW(gbkToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
