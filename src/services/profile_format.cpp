#include "services/profile_format.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";

bool isBlank(char c) { return (c >= '\t' && c <= '\r') || c == ' ' || c == '\x1A'; }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }
unsigned char byteAt(std::string_view text, std::size_t at) { return static_cast<unsigned char>(text[at]); }

std::size_t gbkCharSize(std::string_view text, std::size_t at) {
  if (at + 1 < text.size()) {
    const unsigned char lead = byteAt(text, at);
    const unsigned char trail = byteAt(text, at + 1);
    if (lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F) return 2;
  }
  return 1;
}

std::size_t charSize(std::string_view text, std::size_t at, ProfileCharset charset) {
  return charset == ProfileCharset::Gbk ? gbkCharSize(text, at) : 1;
}

// Blanks are below 0x40, so they are never the trail byte of a GBK character: trimming bytewise
// at either end is safe.
std::string_view trimBlanks(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && isBlank(text[begin])) ++begin;
  while (end > begin && isBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

char foldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool namesMatch(std::string_view a, std::string_view b, ProfileCharset charset) {
  if (a.size() != b.size()) return false;
  for (std::size_t at = 0; at < a.size();) {
    const std::size_t size = charSize(a, at, charset);
    if (size == 1) {
      if (foldAscii(a[at]) != foldAscii(b[at])) return false;
    } else if (a.substr(at, size) != b.substr(at, size)) {
      return false;
    }
    at += size;
  }
  return true;
}

enum class LineKind { Blank, Section, Entry };

struct ProfileLine {
  LineKind kind = LineKind::Blank;
  std::size_t textEnd = 0;  // after the line's last byte, before its line end
  std::size_t next = 0;  // where the next line begins
  std::string_view name;  // section or key, blanks trimmed
  bool hasValue = false;  // an entry with '='
  std::size_t valueBegin = 0;  // the value's bytes, blanks trimmed; for an entry without '=',
  std::size_t valueEnd = 0;  // both are the end of its key
};

ProfileLine readLine(std::string_view content, std::size_t begin, ProfileCharset charset) {
  ProfileLine line;
  std::size_t end = begin;
  while (end < content.size() && !isLineEnd(content[end])) end += charSize(content, end, charset);
  line.textEnd = end;
  line.next = end;
  if (line.next < content.size()) {
    line.next += content.compare(line.next, kLineEnd.size(), kLineEnd) == 0 ? kLineEnd.size() : 1;
  }

  std::size_t first = begin;
  std::size_t last = end;
  while (first < last && isBlank(content[first])) ++first;
  while (last > first && isBlank(content[last - 1])) --last;
  if (first == last) return line;

  if (content[first] == '[') {
    std::size_t closing = std::string_view::npos;
    for (std::size_t at = first + 1; at < last; at += charSize(content, at, charset)) {
      if (content[at] == ']') closing = at;
    }
    if (closing != std::string_view::npos) {
      line.kind = LineKind::Section;
      line.name = trimBlanks(content.substr(first + 1, closing - first - 1));
      return line;
    }
  }

  // '=' (0x3D) is never a GBK trail byte, so the first '=' byte is the first '=' character.
  line.kind = LineKind::Entry;
  const std::size_t equals = content.substr(first, last - first).find('=');
  if (equals == std::string_view::npos) {
    line.name = content.substr(first, last - first);
    line.valueBegin = line.valueEnd = last;
    return line;
  }
  const std::size_t valueStart = first + equals + 1;
  line.name = trimBlanks(content.substr(first, equals));
  line.hasValue = true;
  line.valueBegin = valueStart;
  while (line.valueBegin < last && isBlank(content[line.valueBegin])) ++line.valueBegin;
  line.valueEnd = last;
  return line;
}

std::string_view unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::string replaced(std::string_view content, std::size_t begin, std::size_t end, std::string_view with) {
  std::string result;
  result.reserve(content.size() - (end - begin) + with.size());
  result.append(content.substr(0, begin)).append(with).append(content.substr(end));
  return result;
}

std::string entryLine(std::string_view key, std::string_view value) {
  std::string line;
  line.append(key).append("=").append(value).append(kLineEnd);
  return line;
}

}  // namespace

std::optional<std::string> findProfileValue(std::string_view content, ProfileCharset charset,
                                            std::string_view section, std::string_view key) {
  const std::string_view sectionName = trimBlanks(section);
  const std::string_view keyName = trimBlanks(key);
  if (sectionName.empty() || keyName.empty()) return std::nullopt;

  bool inSection = false;
  for (std::size_t at = 0; at < content.size();) {
    const ProfileLine line = readLine(content, at, charset);
    at = line.next;
    if (line.kind == LineKind::Section) {
      if (inSection) break;
      inSection = namesMatch(line.name, sectionName, charset);
    } else if (inSection && line.kind == LineKind::Entry && namesMatch(line.name, keyName, charset)) {
      return std::string(unquote(content.substr(line.valueBegin, line.valueEnd - line.valueBegin)));
    }
  }
  return std::nullopt;
}

std::optional<std::string> setProfileValue(std::string_view content, ProfileCharset charset,
                                           std::string_view section, std::string_view key,
                                           std::string_view value) {
  const std::string_view sectionName = trimBlanks(section);
  const std::string_view keyName = trimBlanks(key);
  if (sectionName.empty() || keyName.empty()) return std::nullopt;

  bool inSection = false;
  std::size_t insertAt = 0;  // after the section's header or its last entry
  bool insertNeedsLineEnd = false;  // that line is the last one and has no line end
  for (std::size_t at = 0; at < content.size();) {
    const ProfileLine line = readLine(content, at, charset);
    at = line.next;
    if (line.kind == LineKind::Blank) continue;
    if (line.kind == LineKind::Section) {
      if (inSection) break;
      inSection = namesMatch(line.name, sectionName, charset);
      if (!inSection) continue;
    } else if (!inSection) {
      continue;
    } else if (namesMatch(line.name, keyName, charset)) {
      if (line.hasValue) return replaced(content, line.valueBegin, line.valueEnd, value);
      return replaced(content, line.valueEnd, line.valueEnd, "=" + std::string(value));
    }
    insertAt = line.next;
    insertNeedsLineEnd = line.next == line.textEnd;
  }

  std::string addition;
  if (inSection) {
    if (insertNeedsLineEnd) addition.append(kLineEnd);
    addition.append(entryLine(keyName, value));
    return replaced(content, insertAt, insertAt, addition);
  }
  if (!content.empty() && !isLineEnd(content.back())) addition.append(kLineEnd);
  addition.append("[").append(sectionName).append("]").append(kLineEnd);
  addition.append(entryLine(keyName, value));
  return std::string(content).append(addition);
}

bool isMultiByteUtf8(std::string_view bytes) {
  bool multiByte = false;
  for (std::size_t at = 0; at < bytes.size();) {
    const unsigned char lead = byteAt(bytes, at);
    if (lead < 0x80) {
      ++at;
      continue;
    }
    std::size_t size = 0;
    unsigned char low = 0x80;  // the range of the second byte, narrowed where the lead byte
    unsigned char high = 0xBF;  // would allow overlong forms, surrogates or values past U+10FFFF
    if (lead >= 0xC2 && lead <= 0xDF) {
      size = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      size = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      size = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (at + size > bytes.size()) return false;
    for (std::size_t i = 1; i < size; ++i) {
      const unsigned char next = byteAt(bytes, at + i);
      if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return false;
    }
    multiByte = true;
    at += size;
  }
  return multiByte;
}

std::string_view cutGbkText(std::string_view text, std::size_t maxBytes) {
  std::size_t end = 0;
  while (end < text.size()) {
    const std::size_t size = gbkCharSize(text, end);
    if (end + size > maxBytes) break;
    end += size;
  }
  return text.substr(0, end);
}
