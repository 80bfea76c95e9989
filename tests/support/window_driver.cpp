#include "support/window_driver.h"

#include <gtest/gtest.h>
#include <ole2.h>

#include "ui/main_window.h"

HWND controlOf(HWND mainWindow, ControlId id) { return GetDlgItem(mainWindow, static_cast<int>(id)); }

void setControlText(HWND mainWindow, ControlId id, std::string_view gbkText) {
  const int units = MultiByteToWideChar(936, 0, gbkText.data(), static_cast<int>(gbkText.size()), nullptr, 0);
  std::wstring text(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(936, 0, gbkText.data(), static_cast<int>(gbkText.size()), text.data(), units);
  SendMessageW(controlOf(mainWindow, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring controlTextWide(HWND mainWindow, ControlId id) {
  // WM_GETTEXT, since GetWindowTextW gives nothing for another process's box.
  HWND control = controlOf(mainWindow, id);
  const auto length = static_cast<size_t>(SendMessageW(control, WM_GETTEXTLENGTH, 0, 0));
  std::wstring text(length + 1, L'\0');
  const auto copied = static_cast<size_t>(SendMessageW(control, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data())));
  text.resize(copied);
  return text;
}

std::string controlText(HWND mainWindow, ControlId id) {
  const std::wstring text = controlTextWide(mainWindow, id);
  const int size = WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

void clickButton(HWND mainWindow, ControlId button) {
  // The button's notification reaches the window procedure synchronously, so the handler has run
  // when this returns, in this process or another.
  SendMessageW(mainWindow, WM_COMMAND, MAKEWPARAM(static_cast<int>(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(controlOf(mainWindow, button)));
}

void pumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (handleWindowKey(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

InProcessWindow::InProcessWindow()
    : ole_(OleInitialize(nullptr)), window_(createMainWindow(GetModuleHandleW(nullptr), SW_SHOWNORMAL)) {
  EXPECT_NE(window_, nullptr) << "the main window was not created";
  pumpMessages();
}

InProcessWindow::~InProcessWindow() {
  if (IsWindow(window_)) DestroyWindow(window_);
  pumpMessages();
  // Swallow the quit that the window's destruction posts, so the next window's loop is not ended.
  MSG message;
  PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  if (SUCCEEDED(ole_)) OleUninitialize();
}

void InProcessWindow::pressKey(HWND target, UINT virtualKey, bool shift, bool control, bool alt) const {
  // The program reads the modifiers from the thread's keyboard state.
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_SHIFT] = shift ? 0x80 : 0;
  keys[VK_CONTROL] = control ? 0x80 : 0;
  keys[VK_MENU] = alt ? 0x80 : 0;
  SetKeyboardState(keys);
  PostMessageW(target, WM_KEYDOWN, virtualKey, 1);
  pumpMessages();
  keys[VK_SHIFT] = keys[VK_CONTROL] = keys[VK_MENU] = 0;
  SetKeyboardState(keys);
}

namespace {

struct WindowSearch {
  DWORD processId;
  const wchar_t* windowClass;
  HWND found;
};

BOOL CALLBACK findVisibleWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  wchar_t windowClass[64] = {};
  GetClassNameW(window, windowClass, 64);
  if (processId == search->processId && lstrcmpW(windowClass, search->windowClass) == 0 && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND visibleWindowOf(DWORD processId, const wchar_t* windowClass) {
  WindowSearch search{processId, windowClass, nullptr};
  EnumWindows(findVisibleWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

StartedProgram startProgram(const std::wstring& exePath, const std::wstring& currentDirectory) {
  StartedProgram program;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  std::wstring commandLine = L"\"" + exePath + L"\"";
  if (!CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      currentDirectory.c_str(), &startup, &program.process)) {
    ADD_FAILURE() << "cannot start the program, error " << GetLastError();
    return program;
  }
  WaitForInputIdle(program.process.hProcess, 20000);
  for (int attempt = 0; attempt < 400 && !program.window; ++attempt) {
    program.window = visibleWindowOf(program.process.dwProcessId, L"KorvenelMainWindow");
    if (!program.window) Sleep(50);
  }
  EXPECT_NE(program.window, nullptr) << "the program's window did not appear";
  return program;
}

DWORD closeWithEscape(StartedProgram& program) {
  PostMessageW(program.window, WM_KEYDOWN, VK_ESCAPE, 1);
  WaitForSingleObject(program.process.hProcess, 20000);
  DWORD exitCode = STILL_ACTIVE;
  GetExitCodeProcess(program.process.hProcess, &exitCode);
  return exitCode;
}

void endProgram(StartedProgram& program) {
  if (!program.process.hProcess) return;
  if (WaitForSingleObject(program.process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(program.process.hProcess, 1);
  CloseHandle(program.process.hThread);
  CloseHandle(program.process.hProcess);
  program.process = {};
}

std::wstring testProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L'\\'));
}

std::wstring installProgramCopy(const std::wstring& folder, const std::wstring& fileName) {
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring copy = folder + L"\\" + fileName;
  EXPECT_TRUE(CopyFileW((testProgramFolder() + L"\\korvenel.exe").c_str(), copy.c_str(), FALSE))
      << "korvenel.exe is missing beside the test program";
  return copy;
}
