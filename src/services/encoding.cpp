#include "services/encoding.h"

#include <windows.h>

namespace {

std::wstring toWide(unsigned codePage, std::string_view bytes) {
  if (bytes.empty()) return {};
  const int size = static_cast<int>(bytes.size());
  const int units = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), units);
  return wide;
}

std::string fromWide(unsigned codePage, std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int bytes = WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), size, text.data(), bytes, nullptr, nullptr);
  return text;
}

}  // namespace

std::wstring gbkToWide(std::string_view text) { return toWide(kTextCodePage, text); }
Text wideToGbk(std::wstring_view wide) { return fromWide(kTextCodePage, wide); }
std::wstring utf8ToWide(std::string_view utf8) { return toWide(CP_UTF8, utf8); }
std::string wideToUtf8(std::wstring_view wide) { return fromWide(CP_UTF8, wide); }
