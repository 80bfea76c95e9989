#include "services/save_swap.h"

#include <windows.h>

#include "services/encoding.h"
#include "services/scoped_win.h"

namespace {

constexpr wchar_t kAsideSuffix[] = L".korvenel-old";
// Names left over by restores that a crash interrupted; far more than ever pile up.
constexpr int kAsideNameCount = 100;

bool readWholeFile(const std::wstring& path, std::string& bytes) {
  const ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  bytes.clear();
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) {
    if (read == 0) return true;
    bytes.append(buffer, read);
  }
  return false;
}

bool writeWholeFile(const std::wstring& path, const std::string& bytes) {
  const ScopedFileHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

bool sameName(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

}  // namespace

bool parentFolderExists(const Text& path) {
  // Looked for in UTF-16: in GBK a backslash byte can be the second byte of a character.
  const std::wstring wide = gbkToWide(path);
  const size_t backslash = wide.rfind(L'\\');
  if (backslash == std::wstring::npos) return false;
  // The parent keeps its backslash, so that a drive's root is "D:\" rather than D:'s current folder.
  const DWORD attributes = GetFileAttributesW(wide.substr(0, backslash + 1).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool holdsAnythingBut(const Text& folder, const Text& fileName) {
  const std::wstring name = gbkToWide(fileName);
  WIN32_FIND_DATAW entry;
  const ScopedFindHandle search(FindFirstFileW((gbkToWide(folder) + L"\\*").c_str(), &entry));
  if (!search.valid()) return false;
  do {
    const std::wstring found = entry.cFileName;
    if (found == L"." || found == L"..") continue;
    if (!sameName(found, name) || (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
  } while (FindNextFileW(search.get(), &entry));
  return false;
}

Text moveFolderAside(const Text& folder) {
  const std::wstring from = gbkToWide(folder);
  for (int number = 1; number <= kAsideNameCount; ++number) {
    std::wstring to = from + kAsideSuffix;
    if (number > 1) to += L"-" + std::to_wstring(number);
    if (GetFileAttributesW(to.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
    // No MOVEFILE_COPY_ALLOWED: a rename or nothing, never a copy followed by a deletion. Without
    // MOVEFILE_REPLACE_EXISTING a name taken meanwhile fails the rename rather than being replaced.
    if (MoveFileExW(from.c_str(), to.c_str(), 0)) return wideToGbk(to);
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return {};
  }
  return {};
}

bool renameFolder(const Text& from, const Text& to) {
  return MoveFileExW(gbkToWide(from).c_str(), gbkToWide(to).c_str(), 0) != FALSE;
}

std::optional<KeptFile> keepFile(const Text& path) {
  const std::wstring wide = gbkToWide(path);
  KeptFile kept;
  kept.path = path;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return std::nullopt;
    return kept;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) || !readWholeFile(wide, kept.bytes)) return std::nullopt;
  kept.existed = true;
  kept.attributes = attributes;
  return kept;
}

bool putFileBack(const KeptFile& kept) {
  const std::wstring path = gbkToWide(kept.path);
  if (!kept.existed) {
    if (DeleteFileW(path.c_str())) return true;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  std::string present;
  if (GetFileAttributesW(path.c_str()) == kept.attributes && readWholeFile(path, present) && present == kept.bytes) {
    return true;
  }
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only or hidden mark would refuse the write
  const bool written = writeWholeFile(path, kept.bytes);
  return SetFileAttributesW(path.c_str(), kept.attributes) && written;
}
