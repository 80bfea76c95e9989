#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "ui/layout.h"

// Drives the real main window as a user would: typing into boxes, clicking buttons, pressing keys,
// reading captions. Works on the window of this process or of a started korvenel.exe alike.

HWND controlOf(HWND mainWindow, ControlId id);
void setControlText(HWND mainWindow, ControlId id, std::string_view gbkText);
std::string controlText(HWND mainWindow, ControlId id);  // GBK
std::wstring controlTextWide(HWND mainWindow, ControlId id);
// Clicks a button and returns once its handler has run.
void clickButton(HWND mainWindow, ControlId button);
void pumpMessages();

// The program's window in this process: OLE initialised as start-up does, the window created and
// shown as the program does it, destroyed at the end.
class InProcessWindow {
 public:
  InProcessWindow();
  ~InProcessWindow();
  InProcessWindow(const InProcessWindow&) = delete;
  InProcessWindow& operator=(const InProcessWindow&) = delete;

  HWND window() const { return window_; }
  // Sets the text of a box, clicks a button, reads a caption.
  void type(ControlId edit, std::string_view gbkText) const { setControlText(window_, edit, gbkText); }
  void click(ControlId button) const { clickButton(window_, button); }
  std::string text(ControlId id) const { return controlText(window_, id); }

  // A key pressed with the given modifiers while `target` has the focus, run through the program's
  // own message loop rules.
  void pressKey(HWND target, UINT virtualKey, bool shift = false, bool control = false, bool alt = false) const;

 private:
  HRESULT ole_;
  HWND window_;
};

// A started korvenel.exe: its process and main window.
struct StartedProgram {
  PROCESS_INFORMATION process{};
  HWND window = nullptr;
};

// The visible top-level window of class `windowClass` that process `processId` shows, or null.
HWND visibleWindowOf(DWORD processId, const wchar_t* windowClass);

// Starts `exePath` with `currentDirectory` as its working folder and waits for its main window.
StartedProgram startProgram(const std::wstring& exePath, const std::wstring& currentDirectory);
// Presses Esc in the program's window and gives its exit code (STILL_ACTIVE when it did not end).
DWORD closeWithEscape(StartedProgram& program);
void endProgram(StartedProgram& program);  // closes handles, kills a program still running

// The folder of the running test program, where korvenel.exe lies beside it.
std::wstring testProgramFolder();

// Copies korvenel.exe into `folder` (created if missing) as `fileName`; gives the copy's path.
std::wstring installProgramCopy(const std::wstring& folder, const std::wstring& fileName = L"korvenel.exe");
