// The least a Win32 program does to show a window: one class, one window, a message loop. Its
// start-up time is the floor against which the benchmark measures korvenel.exe's own start-up.
// Started with the argument "ole", it first initialises OLE for its thread as korvenel.exe does,
// which tells how much of the difference OLE makes.
#include <windows.h>

#include <optional>

#include "services/scoped_win.h"

namespace {

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int showCommand) {
  std::optional<ScopedOleInit> ole;
  if (lstrcmpW(arguments, L"ole") == 0) ole.emplace();
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = windowProcedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = L"KorvenelBenchBareWindow";
  if (!RegisterClassExW(&windowClass)) return 1;
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"bare window", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 555, 387, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
