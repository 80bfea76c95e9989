#include "services/profile_file.h"

#include <windows.h>

#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "services/encoding.h"
#include "services/profile_format.h"
#include "services/scoped_win.h"

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
// No profile of the program comes near this; a larger file is not read into memory.
constexpr LONGLONG kMaxProfileFileBytes = 64LL * 1024 * 1024;

enum class FileEncoding { Gbk, Utf8, Utf8WithBom, Utf16Le };

// A profile as the format code reads it: the GBK bytes of a GBK file, UTF-8 for every other one.
struct ProfileContent {
  FileEncoding encoding = FileEncoding::Gbk;
  std::string text;
};

enum class FileRead { Done, Missing, Failed };

FileRead readWholeFile(const std::wstring& path, std::string& bytes) {
  const ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return GetLastError() == ERROR_FILE_NOT_FOUND ? FileRead::Missing : FileRead::Failed;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxProfileFileBytes) return FileRead::Failed;
  bytes.resize(static_cast<std::size_t>(size.QuadPart));
  DWORD read = 0;
  if (!bytes.empty() && !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
    return FileRead::Failed;
  }
  bytes.resize(read);
  return FileRead::Done;
}

ProfileContent decodeProfile(std::string_view bytes) {
  if (bytes.starts_with(kUtf16LeBom)) {
    const std::string_view units = bytes.substr(kUtf16LeBom.size());
    std::wstring wide(units.size() / sizeof(wchar_t), L'\0');
    std::memcpy(wide.data(), units.data(), wide.size() * sizeof(wchar_t));
    return {FileEncoding::Utf16Le, wideToUtf8(wide)};
  }
  if (bytes.starts_with(kUtf8Bom)) return {FileEncoding::Utf8WithBom, std::string(bytes.substr(kUtf8Bom.size()))};
  if (isMultiByteUtf8(bytes)) return {FileEncoding::Utf8, std::string(bytes)};
  return {FileEncoding::Gbk, std::string(bytes)};
}

std::string encodeProfile(FileEncoding encoding, std::string_view text) {
  switch (encoding) {
    case FileEncoding::Gbk:
    case FileEncoding::Utf8:
      break;
    case FileEncoding::Utf8WithBom:
      return std::string(kUtf8Bom).append(text);
    case FileEncoding::Utf16Le: {
      const std::wstring wide = utf8ToWide(text);
      return std::string(kUtf16LeBom).append(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
    }
  }
  return std::string(text);
}

ProfileCharset charsetOf(FileEncoding encoding) {
  return encoding == FileEncoding::Gbk ? ProfileCharset::Gbk : ProfileCharset::Utf8;
}

std::string toFileText(FileEncoding encoding, std::string_view text) {
  return encoding == FileEncoding::Gbk ? std::string(text) : wideToUtf8(gbkToWide(text));
}

Text fromFileText(FileEncoding encoding, std::string_view text) {
  return encoding == FileEncoding::Gbk ? Text(text) : wideToGbk(utf8ToWide(text));
}

std::string_view skipLeadingControls(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && static_cast<unsigned char>(text[at]) >= 1 && static_cast<unsigned char>(text[at]) <= 32) {
    ++at;
  }
  return text.substr(at);
}

// The new content goes to a file beside the old one, which it then replaces in one step: whatever
// happens meanwhile (a crash, a full disk), the file is either the old one or the new one.
bool replaceFileContent(const std::wstring& path, std::string_view bytes) {
  const std::wstring temporary = path + L".tmp";
  const DWORD attributes = GetFileAttributesW(path.c_str());
  const DWORD kept = attributes == INVALID_FILE_ATTRIBUTES ? 0 : attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  DeleteFileW(temporary.c_str());  // left by a write that a crash interrupted
  bool written = false;
  {
    const ScopedFileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                            kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    DWORD done = 0;
    written = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
              done == bytes.size() && FlushFileBuffers(file.get());
  }
  if (written && MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  DeleteFileW(temporary.c_str());
  return false;
}

}  // namespace

Text readProfileText(const Text& file, const Text& section, const Text& key) {
  const std::string_view fileName = skipLeadingControls(file);
  const std::string_view sectionName = skipLeadingControls(section);
  const std::string_view keyName = skipLeadingControls(key);
  if (fileName.empty() || sectionName.empty() || keyName.empty()) return {};

  std::string bytes;
  if (readWholeFile(gbkToWide(fileName), bytes) != FileRead::Done) return {};
  const ProfileContent content = decodeProfile(bytes);
  const FileEncoding encoding = content.encoding;
  const std::optional<std::string> value = findProfileValue(
      content.text, charsetOf(encoding), toFileText(encoding, sectionName), toFileText(encoding, keyName));
  if (!value) return {};
  // A cut inside a character would leave a lead byte that swallows whatever is appended to the
  // value, such as the "\" of a path.
  return Text(cutGbkText(fromFileText(encoding, *value), kMaxProfileValueBytes));
}

bool writeProfileText(const Text& file, const Text& section, const Text& key, const Text& value) {
  const std::wstring path = gbkToWide(file);
  std::string old;
  const FileRead read = readWholeFile(path, old);
  if (read == FileRead::Failed) return false;
  const ProfileContent content = read == FileRead::Done ? decodeProfile(old) : ProfileContent{};
  const FileEncoding encoding = content.encoding;
  const std::optional<std::string> edited =
      setProfileValue(content.text, charsetOf(encoding), toFileText(encoding, section), toFileText(encoding, key),
                      toFileText(encoding, value));
  if (!edited) return false;
  const std::string bytes = encodeProfile(encoding, *edited);
  if (read == FileRead::Done && bytes == old) return true;
  return replaceFileContent(path, bytes);
}
