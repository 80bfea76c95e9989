#include "app/startup.h"

#include "app/app_state.h"
#include "services/encoding.h"
#include "services/run_directory.h"
#include "services/scoped_win.h"
#include "ui/main_window.h"

namespace {

// "无法创建主窗口" (the main window cannot be created)
constexpr char kCannotCreateWindow[] = "\xCE\xDE\xB7\xA8\xB4\xB4\xBD\xA8\xD6\xF7\xB4\xB0\xBF\xDA";

void runMessageLoop() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (handleWindowKey(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

int runApplication(HINSTANCE instance, int showCommand) {
  const ScopedOleInit ole;
  initRunDirectory();
  if (!createMainWindow(instance, showCommand)) {
    MessageBoxW(nullptr, gbkToWide(kCannotCreateWindow).c_str(), L"Korvenel", MB_OK | MB_ICONERROR);
    return -1;
  }
  runMessageLoop();
  // Shutdown: the window is gone; the texts go before OLE is uninitialised by `ole`.
  releaseAppState();
  return 0;
}
