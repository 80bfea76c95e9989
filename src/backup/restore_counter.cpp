#include "backup/restore_counter.h"

#include <cstdint>

#include "app/app_state.h"
#include "services/number_text.h"
#include "services/path_checks.h"
#include "services/profile_file.h"
#include "ui/window_ops.h"

const char kCounterFileName[] = "\xBC\xC6\xCA\xFD\xC6\xF7.ini";  // 计数器.ini

namespace {

constexpr char kSection[] = "\xBD\xDA\xC3\xFB\xB3\xC6";                    // 节名称
constexpr char kKey[] = "\xC5\xE4\xD6\xC3\xCF\xEE\xC3\xFB\xB3\xC6";         // 配置项名称
constexpr char kFailedCaption[] = "\xCA\xA7\xB0\xDC";                      // 失败

// The count becomes the state's and goes to the file; true when the file took it.
bool storeCount(int32_t count) {
  AppState& state = appState();
  state.restoreCount = count;
  state.restoreCountText = formatIntegerText(count);
  return writeProfileText(counterFilePath(), kSection, kKey, state.restoreCountText);
}

}  // namespace

Text counterFilePath() { return appState().tempFolderPath + "\\" + kCounterFileName; }

bool advanceRestoreCount() {
  const Text file = counterFilePath();
  int32_t count = 1;
  if (pathExists(file)) {
    const int64_t stored = truncateToInteger(parseNumberText(readProfileText(file, kSection, kKey)));
    // The low 32 bits as a signed count, raised by one with wrap-around: 2147483647 gives -2147483648.
    count = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(stored)) + 1u);
  }
  return storeCount(count);
}

void onResetCountClicked() {
  if (!pathExists(counterFilePath())) return;
  // A count is shown only when the file holds it.
  const bool stored = storeCount(1);
  setLabelCaption(ControlId::Label1, stored ? appState().restoreCountText : Text(kFailedCaption));
}
