// Fuzzes the profile format. The input is a charset byte followed by six NUL-separated parts:
// content, section, key, value, and another section and key. After setting the value, the same
// names must read it back and the other names must read what they read before, whenever the texts
// are ones a profile line can hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "services/profile_format.h"

namespace {

bool isBlank(char c) { return (c >= '\t' && c <= '\r') || c == ' ' || c == '\x1A'; }

// The size of the character at `at`: in GBK a lead byte with a trail byte is one character.
std::size_t charSize(std::string_view text, std::size_t at, ProfileCharset charset) {
  return charset == ProfileCharset::Gbk && cutGbkText(text.substr(at, 2), 1).empty() ? 2 : 1;
}

// True when the text holds a line end, the single-byte character `syntax`, or (in GBK) ends with a
// lone lead byte, which would take the next byte written after it.
bool breaksLine(std::string_view text, ProfileCharset charset, std::string_view syntax) {
  std::size_t size = 0;
  for (std::size_t at = 0; at < text.size(); at += size) {
    size = charSize(text, at, charset);
    if (size == 1 && (text[at] == '\r' || text[at] == '\n' || syntax.find(text[at]) != std::string_view::npos)) {
      return true;
    }
  }
  const auto last = text.empty() ? 0 : static_cast<unsigned char>(text.back());
  return charset == ProfileCharset::Gbk && size == 1 && last >= 0x81 && last <= 0xFE;
}

bool isPlainName(std::string_view name, ProfileCharset charset) {
  return !name.empty() && !isBlank(name.front()) && !isBlank(name.back()) && !breaksLine(name, charset, "]=");
}

bool isPlainValue(std::string_view value, ProfileCharset charset) {
  if (value.empty()) return true;
  const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
  return !isBlank(value.front()) && !isBlank(value.back()) && !quoted && !breaksLine(value, charset, "");
}

bool sameName(std::string_view a, std::string_view b, ProfileCharset charset) {
  // Two names are the same when one finds the other as a section name.
  const std::string probe = "[" + std::string(a) + "]\r\nk=1\r\n";
  return findProfileValue(probe, charset, b, "k").has_value();
}

void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const ProfileCharset charset = data[0] & 1 ? ProfileCharset::Utf8 : ProfileCharset::Gbk;
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  std::vector<std::string_view> parts;
  std::size_t begin = 0;
  while (parts.size() < 5) {
    const std::size_t end = input.find('\0', begin);
    if (end == std::string_view::npos) break;
    parts.push_back(input.substr(begin, end - begin));
    begin = end + 1;
  }
  parts.push_back(input.substr(begin));
  parts.resize(6);
  const std::string_view content = parts[0], section = parts[1], key = parts[2], value = parts[3];
  const std::string_view otherSection = parts[4], otherKey = parts[5];

  const auto before = findProfileValue(content, charset, otherSection, otherKey);
  const auto edited = setProfileValue(content, charset, section, key, value);
  if (!edited) return 0;
  // A key name beginning with '[' can make its whole line a section header.
  const bool wellFormed = isPlainName(section, charset) && isPlainName(key, charset) && key.front() != '[' &&
                          isPlainValue(value, charset);
  if (!wellFormed) return 0;

  check(findProfileValue(*edited, charset, section, key) == std::string(value));
  const bool sameEntry = sameName(section, otherSection, charset) && sameName(key, otherKey, charset);
  if (!sameEntry) check(findProfileValue(*edited, charset, otherSection, otherKey) == before);
  return 0;
}
