#pragma once

#include <string>
#include <string_view>

#include "services/text.h"

// Conversions between the program's GBK texts and the UTF-16 of the platform. Always code page
// 936, whatever the system's ANSI code page is, so the program behaves the same on every system.
constexpr unsigned kTextCodePage = 936;

std::wstring gbkToWide(std::string_view text);
Text wideToGbk(std::wstring_view wide);

std::wstring utf8ToWide(std::string_view utf8);
std::string wideToUtf8(std::wstring_view wide);
