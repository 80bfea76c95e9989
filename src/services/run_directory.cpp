#include "services/run_directory.h"

#include <windows.h>

#include "services/encoding.h"

namespace {

// Far more than the longest path Windows allows (32,767 UTF-16 units).
constexpr DWORD kMaxModulePathUnits = 65536;

Text& storedRunDirectory() {
  static Text directory;
  return directory;
}

std::wstring moduleFilePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    // The path was cut to the buffer: try again with a larger one.
    if (path.size() >= kMaxModulePathUnits) return {};
    path.resize(path.size() * 2);
  }
}

}  // namespace

std::wstring runDirectoryOf(std::wstring_view modulePath) {
  // Searched in UTF-16, where a backslash is always a backslash (in GBK it can be the second byte
  // of a character).
  const std::size_t backslash = modulePath.rfind(L'\\');
  return backslash == std::wstring_view::npos ? std::wstring() : std::wstring(modulePath.substr(0, backslash));
}

void initRunDirectory() {
  const std::wstring directory = runDirectoryOf(moduleFilePath());
  storedRunDirectory() = wideToGbk(directory);
  // "E:" alone would name the current folder of drive E:, which need not be its root.
  const bool bareDrive = directory.size() == 2 && directory[1] == L':';
  SetCurrentDirectoryW((bareDrive ? directory + L"\\" : directory).c_str());
}

Text runDirectory() { return storedRunDirectory(); }
