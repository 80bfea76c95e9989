#pragma once

#include <string>

// Every text inside the program is a byte string in GBK (code page 936). Conversion to UTF-16
// happens only where a text crosses to the platform.
using Text = std::string;
