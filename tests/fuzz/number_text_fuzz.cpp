// Feeds arbitrary bytes to the number reading and the date-time text: folding never lengthens a
// text, and every number, the one read and the input's first eight bytes taken as a double, gives
// a date-time text of 1 to 26 bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "services/date_time.h"
#include "services/number_text.h"

namespace {

void checkDateTimeText(double value) {
  const Text text = formatDateTimeText(value);
  if (text.empty() || text.size() > 26) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Text text(reinterpret_cast<const char*>(data), size);
  if (foldFullWidthText(text).size() > text.size()) std::abort();

  const double number = parseNumberText(text);
  checkDateTimeText(number);
  truncateToInteger(number);  // UndefinedBehaviorSanitizer checks the conversion

  if (size >= sizeof(double)) {
    double bits = 0;
    std::memcpy(&bits, data, sizeof bits);
    checkDateTimeText(bits);
    truncateToInteger(bits);
  }
  return 0;
}
