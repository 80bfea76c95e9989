#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The Windows profile (INI) format, read and edited as bytes, the way the Windows profile
// functions treat it:
// - a line ends at CR, LF or CRLF; blanks (tab, LF, VT, FF, CR, space and ^Z) around a line, a
//   name or a value are ignored;
// - a line that begins with '[' and holds a ']' names a section: the text up to its last ']';
//   text after that ']' is ignored;
// - any other line is an entry of the section above it: a key, '=' and a value, or a key alone
//   (a key without a value); there are no comments, so ";x=1" is the key ";x";
// - names match without regard to ASCII case; only the first section of a name and the first
//   key of a name in it count;
// - a value between matching quotes (single or double) is read without them.
// Edits change only the bytes they must: a changed value is replaced in place, a new key goes
// after the last entry of its section, a new section at the end of the content, with CRLF line
// ends.

// The character set of the content and of the names and values handed with it. In GBK a lead byte
// (0x81..0xFE) followed by a trail byte (0x40..0xFE but 0x7F) is one character, so a trail byte
// such as ']' (0x5D) or 'A' is never read as syntax or folded in case. In UTF-8 every byte of a
// multi-byte character is 0x80 or above, so none of them can be mistaken for syntax.
enum class ProfileCharset { Gbk, Utf8 };

// The value of `key` in `section`; an empty value for a key without '='; nothing when the section
// or the key is missing, or a name is empty or blank.
std::optional<std::string> findProfileValue(std::string_view content, ProfileCharset charset,
                                            std::string_view section, std::string_view key);

// The content with `key` in `section` set to `value`, which is written as it is. New sections and
// keys are written with their names' surrounding blanks dropped. Nothing when a name is empty or
// blank: such a key could never be read back.
std::optional<std::string> setProfileValue(std::string_view content, ProfileCharset charset,
                                           std::string_view section, std::string_view key,
                                           std::string_view value);

// True when the bytes are valid UTF-8 and hold at least one multi-byte character: text saved as
// UTF-8 without a byte-order mark. Pure ASCII gives false (it reads the same in GBK).
bool isMultiByteUtf8(std::string_view bytes);

// The longest start of a GBK text that has at most `maxBytes` bytes and ends on a character
// boundary.
std::string_view cutGbkText(std::string_view text, std::size_t maxBytes);
