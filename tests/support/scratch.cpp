#include "support/scratch.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace {

std::wstring environmentValue(const wchar_t* name) {
  wchar_t buffer[64] = {};
  const DWORD length = GetEnvironmentVariableW(name, buffer, 64);
  return length > 0 && length < 64 ? std::wstring(buffer, length) : std::wstring();
}

std::wstring currentTestName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  std::replace(name.begin(), name.end(), '/', '_');
  return std::wstring(name.begin(), name.end());
}

bool startsWithScratch(const std::wstring& path) {
  const std::wstring prefix = testDrive() + L"\\scratch\\";
  return path.size() > prefix.size() && _wcsnicmp(path.c_str(), prefix.c_str(), prefix.size()) == 0;
}

void snapshotInto(const std::wstring& folder, const std::wstring& relative, TreeSnapshot& out) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring childRelative = relative.empty() ? name : relative + L"\\" + name;
    const std::wstring child = folder + L"\\" + name;
    const std::string attributes = " attr=" + std::to_string(data.dwFileAttributes & ~FILE_ATTRIBUTE_ARCHIVE);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out[childRelative] = "<dir>" + attributes;
      snapshotInto(child, childRelative, out);
    } else {
      out[childRelative] = readFileBytes(child) + attributes;
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

}  // namespace

std::wstring testDrive() {
  const std::wstring drive = environmentValue(L"KORVENEL_TEST_DRIVE");
  if (drive.size() != 2 || drive[1] != L':') {
    ADD_FAILURE() << "KORVENEL_TEST_DRIVE is not set to a drive such as S: (run ./scripts/test.sh)";
    return {};
  }
  if (GetFileAttributesW((drive + L"\\korvenel-test-drive").c_str()) == INVALID_FILE_ATTRIBUTES) {
    ADD_FAILURE() << "the test drive has no marker file: refusing to work on it";
    return {};
  }
  return drive;
}

void ScratchTest::SetUp() {
  const std::wstring drive = testDrive();
  ASSERT_FALSE(drive.empty());
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  previousDirectory_ = previous;
  CreateDirectoryW((drive + L"\\scratch").c_str(), nullptr);
  root_ = drive + L"\\scratch\\" + currentTestName();
  removeScratchTree(root_);
  ASSERT_TRUE(CreateDirectoryW(root_.c_str(), nullptr)) << "cannot create the scratch folder";
  ASSERT_TRUE(SetCurrentDirectoryW(root_.c_str()));
}

void ScratchTest::TearDown() {
  SetCurrentDirectoryW(previousDirectory_.c_str());
  // The folder stays when the test failed, for a look at what it left.
  if (!HasFailure() && !root_.empty()) removeScratchTree(root_);
}

std::wstring ScratchTest::path(std::wstring_view relative) const {
  return root_ + L"\\" + std::wstring(relative);
}

std::string gbk(std::string_view utf8) { return gbkFromWide(wide(utf8)); }

std::string gbkFromWide(std::wstring_view w) {
  const int size = WideCharToMultiByte(936, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(936, 0, w.data(), static_cast<int>(w.size()), out.data(), size, nullptr, nullptr);
  return out;
}

std::wstring wide(std::string_view utf8) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), size);
  return out;
}

std::wstring wideFromGbk(std::string_view gbkText) {
  const int size = MultiByteToWideChar(936, 0, gbkText.data(), static_cast<int>(gbkText.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(936, 0, gbkText.data(), static_cast<int>(gbkText.size()), out.data(), size);
  return out;
}

void writeFileBytes(const std::wstring& path, std::string_view bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot create a test file";
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_EQ(written, bytes.size());
}

std::string readFileBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<unreadable>";
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
  CloseHandle(file);
  return bytes;
}

void makeFolder(const std::wstring& path) {
  ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
      << "cannot create a test folder";
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool isFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TreeSnapshot snapshotTree(const std::wstring& folder) {
  TreeSnapshot snapshot;
  snapshotInto(folder, L"", snapshot);
  return snapshot;
}

void removeScratchTree(const std::wstring& path) {
  if (!startsWithScratch(path)) {
    ADD_FAILURE() << "refusing to remove a tree outside the scratch folder";
    return;
  }
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileW(path.c_str())) RemoveDirectoryW(path.c_str());
    return;
  }
  std::vector<std::wstring> children;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name != L"." && name != L"..") children.push_back(path + L"\\" + name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  for (const auto& child : children) removeScratchTree(child);
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(path.c_str());
}
