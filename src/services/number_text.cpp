#include "services/number_text.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string>

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

bool isBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Decimal exponents beyond these make every written number overflow to infinity or underflow to 0
// (double precision reaches from about 4.9e-324 to 1.8e308).
constexpr int64_t kOverflowScale = 310;
constexpr int64_t kUnderflowScale = -330;
// Exponent digits are read up to this size, far beyond both limits, so that nothing overflows.
constexpr int64_t kExponentBound = 1'000'000'000;

}  // namespace

Text formatIntegerText(int32_t value) {
  return std::to_string(value);
}

Text foldFullWidthText(const Text& text) {
  Text folded;
  folded.reserve(text.size());
  for (size_t i = 0; i < text.size() && text[i] != '\0'; ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      folded += text[i];
      continue;
    }
    if (i + 1 == text.size() || text[i + 1] == '\0') break;  // a lone lead byte at the end
    const auto trail = static_cast<unsigned char>(text[++i]);
    if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
      folded += static_cast<char>(trail - 0x80);  // full-width digits, signs and letters
    } else if (lead == 0xA1 && trail == 0xA1) {
      folded += ' ';  // ideographic space
    } else if (lead == 0xA1 && trail == 0xAB) {
      folded += '~';
    } else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
      folded += '*';
    } else {
      folded += static_cast<char>(lead);
      folded += static_cast<char>(trail);
    }
  }
  return folded;
}

double parseNumberText(const Text& text) {
  const Text folded = foldFullWidthText(text);
  const char* p = folded.c_str();
  while (isBlank(*p)) ++p;
  const bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;

  const char* const integerDigits = p;
  while (isDigit(*p)) ++p;
  const char* const integerEnd = p;
  const char* fractionDigits = p;
  const char* fractionEnd = p;
  if (*p == '.') {
    fractionDigits = p + 1;
    fractionEnd = fractionDigits;
    while (isDigit(*fractionEnd)) ++fractionEnd;
    if (integerDigits == integerEnd && fractionDigits == fractionEnd) return 0.0;  // a lone point
    p = fractionEnd;
  } else if (integerDigits == integerEnd) {
    return 0.0;
  }

  int64_t exponent = 0;
  if (*p == 'e' || *p == 'E' || *p == 'd' || *p == 'D') {
    const char* q = p + 1;
    const bool negativeExponent = *q == '-';
    if (*q == '+' || *q == '-') ++q;
    for (; isDigit(*q); ++q) exponent = std::min(exponent * 10 + (*q - '0'), kExponentBound);
    if (negativeExponent) exponent = -exponent;
  }

  // The significant digits, as 0.digits times ten to the power of `scale`.
  std::string digits(integerDigits, integerEnd);
  digits.append(fractionDigits, fractionEnd);
  int64_t scale = (integerEnd - integerDigits) + exponent;
  const size_t firstSignificant = digits.find_first_not_of('0');
  if (firstSignificant == std::string::npos) return negative ? -0.0 : 0.0;
  digits.erase(0, firstSignificant);
  scale -= static_cast<int64_t>(firstSignificant);
  digits.erase(digits.find_last_not_of('0') + 1);

  const double infinity = std::numeric_limits<double>::infinity();
  double magnitude = 0.0;
  if (scale > kOverflowScale) {
    magnitude = infinity;
  } else if (scale >= kUnderflowScale) {
    // from_chars rounds correctly and, unlike strtod, ignores the C locale's decimal point.
    const std::string canonical = "0." + digits + "e" + std::to_string(scale);
    if (std::from_chars(canonical.data(), canonical.data() + canonical.size(), magnitude).ec != std::errc{}) {
      magnitude = scale > 0 ? infinity : 0.0;  // out of range
    }
  }
  return negative ? -magnitude : magnitude;
}

int64_t truncateToInteger(double value) {
  // A conversion to an integer type cuts toward zero in every rounding mode. The range is
  // -2^63 <= value < 2^63; the comparisons are false for a not-a-number.
  constexpr double kTwoToThe63 = 0x1p63;
  if (value >= -kTwoToThe63 && value < kTwoToThe63) return static_cast<int64_t>(value);
  return std::numeric_limits<int64_t>::min();
}
