#include "services/path_checks.h"

#include <windows.h>

#include "services/encoding.h"
#include "services/scoped_win.h"

bool pathExists(const Text& path) {
  WIN32_FIND_DATAW entry;
  const ScopedFindHandle search(FindFirstFileW(gbkToWide(path).c_str(), &entry));
  return search.valid();
}

bool createFolder(const Text& path) { return CreateDirectoryW(gbkToWide(path).c_str(), nullptr) != FALSE; }
