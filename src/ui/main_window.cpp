#include "ui/main_window.h"

#include <algorithm>
#include <iterator>
#include <memory>

#include "backup/backup.h"
#include "backup/restore.h"
#include "backup/restore_counter.h"
#include "services/encoding.h"
#include "services/scoped_win.h"
#include "settings/folder_settings.h"
#include "ui/layout.h"

namespace {

constexpr wchar_t kWindowClass[] = L"KorvenelMainWindow";
constexpr UINT kLayoutDpi = 96;
constexpr int kApplicationIcon = 1;

struct ClickBinding {
  ControlId button;
  void (*handler)();
};

constexpr ClickBinding kClickBindings[] = {
    {ControlId::Button1, onRestoreClicked},
    {ControlId::Button2, onResetCountClicked},
    {ControlId::Button3, onBackupClicked},
    {ControlId::Button4, onSaveGameSavePathClicked},
    {ControlId::Button5, onSaveBackupPathClicked},
    {ControlId::Button6, onSaveTempPathClicked},
};

struct WindowResources {
  ScopedFont defaultFont;
  ScopedFont boldYaHei;
  ScopedFont fangZhengCuHeiSong;
  HWND lastFocus = nullptr;
};

HWND g_window = nullptr;
std::unique_ptr<WindowResources> g_resources;

// GetDpiForWindow and SystemParametersInfoForDpi exist from Windows 10 1607 on; looked up at run
// time so the program still starts on older systems, where the system DPI applies.
UINT dpiOf(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (window && getDpiForWindow) return getDpiForWindow(window);
  HDC screen = GetDC(nullptr);
  const UINT dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX));
  ReleaseDC(nullptr, screen);
  return dpi ? dpi : kLayoutDpi;
}

int scaled(int layoutPixels, UINT dpi) { return MulDiv(layoutPixels, static_cast<int>(dpi), kLayoutDpi); }

LOGFONTW defaultUiFont(UINT dpi) {
  using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
  static const auto forDpi = reinterpret_cast<SystemParametersInfoForDpiFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SystemParametersInfoForDpi")));
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) return metrics.lfMessageFont;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), static_cast<int>(dpiOf(nullptr)));
  return metrics.lfMessageFont;
}

HFONT createControlFont(ControlFont font, UINT dpi) {
  if (font == ControlFont::Default) {
    const LOGFONTW logFont = defaultUiFont(dpi);
    return CreateFontIndirectW(&logFont);
  }
  LOGFONTW logFont{};
  logFont.lfHeight = -scaled(kFontCharacterHeight, dpi);  // negative: character height, leading excluded
  logFont.lfWeight = fontWeight(font);
  logFont.lfCharSet = DEFAULT_CHARSET;
  const std::wstring face = gbkToWide(fontFaceName(font));
  face.copy(logFont.lfFaceName, LF_FACESIZE - 1);
  return CreateFontIndirectW(&logFont);
}

HFONT fontFor(ControlFont font) {
  switch (font) {
    case ControlFont::BoldYaHei: return g_resources->boldYaHei.get();
    case ControlFont::FangZhengCuHeiSong: return g_resources->fangZhengCuHeiSong.get();
    case ControlFont::Default: break;
  }
  return g_resources->defaultFont.get();
}

// Places every control and gives it its font at the window's DPI (exactly the layout at 96 DPI).
void applyLayout(HWND window, UINT dpi) {
  g_resources->defaultFont.reset(createControlFont(ControlFont::Default, dpi));
  g_resources->boldYaHei.reset(createControlFont(ControlFont::BoldYaHei, dpi));
  g_resources->fangZhengCuHeiSong.reset(createControlFont(ControlFont::FangZhengCuHeiSong, dpi));
  for (const ControlLayout& layout : kControlLayouts) {
    HWND control = GetDlgItem(window, static_cast<int>(layout.id));
    SetWindowPos(control, nullptr, scaled(layout.left, dpi), scaled(layout.top, dpi), scaled(layout.width, dpi),
                 scaled(layout.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fontFor(layout.font)), TRUE);
  }
}

HWND createControl(HWND window, const ControlLayout& layout) {
  // Clip siblings so that the stacking order decides what shows where rectangles overlap.
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (layout.tabStop ? WS_TABSTOP : 0);
  DWORD exStyle = 0;
  const wchar_t* windowClass = L"BUTTON";
  switch (layout.kind) {
    case ControlKind::PushButton:
      style |= BS_PUSHBUTTON | BS_MULTILINE | BS_CENTER | BS_VCENTER;
      break;
    case ControlKind::Label:
      // SS_CENTERIMAGE draws the text as one line, vertically centred and clipped at the edges.
      windowClass = L"STATIC";
      style |= SS_NOPREFIX | SS_CENTERIMAGE | (layout.alignment == TextAlignment::Centred ? SS_CENTER : SS_LEFTNOWORDWRAP);
      break;
    case ControlKind::EditBox:
      windowClass = L"EDIT";
      style |= ES_LEFT | ES_AUTOHSCROLL;
      exStyle = WS_EX_CLIENTEDGE;
      break;
  }
  HWND control = CreateWindowExW(exStyle, windowClass, gbkToWide(layout.text).c_str(), style, layout.left, layout.top,
                                 layout.width, layout.height, window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), nullptr, nullptr);
  if (control && layout.kind == ControlKind::EditBox) SendMessageW(control, EM_SETLIMITTEXT, 0, 0);  // 0: the largest
  return control;
}

bool createControls(HWND window) {
  for (const ControlLayout& layout : kControlLayouts) {
    HWND control = createControl(window, layout);
    if (!control) return false;
    // A new child goes to the bottom of the stacking order; the window stacks its controls the
    // other way round, the last created topmost.
    SetWindowPos(control, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  applyLayout(window, dpiOf(window));
  for (const ControlLayout& layout : kControlLayouts) ShowWindow(GetDlgItem(window, static_cast<int>(layout.id)), SW_SHOW);
  return true;
}

void focusControl(HWND control) {
  SetFocus(control);
  // As in dialogs: a box reached by the keyboard has its whole text selected.
  wchar_t windowClass[8] = {};
  GetClassNameW(control, windowClass, 8);
  if (lstrcmpiW(windowClass, L"EDIT") == 0) SendMessageW(control, EM_SETSEL, 0, -1);
}

void moveFocus(int step) {
  const auto count = static_cast<int>(kTabOrder.size());
  const auto current = static_cast<ControlId>(GetDlgCtrlID(GetFocus()));
  const auto found = std::find(kTabOrder.begin(), kTabOrder.end(), current);
  int index = found == kTabOrder.end() ? (step > 0 ? -1 : 0) : static_cast<int>(found - kTabOrder.begin());
  index = (index + step + count) % count;
  focusControl(GetDlgItem(g_window, static_cast<int>(kTabOrder[static_cast<size_t>(index)])));
}

void onCommand(WPARAM wParam) {
  if (HIWORD(wParam) != BN_CLICKED) return;
  const auto id = static_cast<ControlId>(LOWORD(wParam));
  const auto binding = std::find_if(std::begin(kClickBindings), std::end(kClickBindings),
                                    [id](const ClickBinding& b) { return b.button == id; });
  if (binding != std::end(kClickBindings)) binding->handler();
}

LRESULT onCreate(HWND window) {
  if (!createControls(window)) return -1;
  onWindowCreated();
  return 0;
}

void onDpiChanged(HWND window, WPARAM wParam, const RECT* suggested) {
  SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
               suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  applyLayout(window, HIWORD(wParam));
}

LRESULT onControlColour(HDC dc) {
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      g_window = window;
      g_resources = std::make_unique<WindowResources>();
      break;
    case WM_CREATE: return onCreate(window);
    case WM_COMMAND: onCommand(wParam); return 0;
    case WM_CTLCOLORSTATIC: return onControlColour(reinterpret_cast<HDC>(wParam));
    case WM_DPICHANGED: onDpiChanged(window, wParam, reinterpret_cast<const RECT*>(lParam)); return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) g_resources->lastFocus = GetFocus();
      break;
    case WM_SETFOCUS: {
      HWND focus = g_resources->lastFocus && IsChild(window, g_resources->lastFocus)
                       ? g_resources->lastFocus
                       : GetDlgItem(window, static_cast<int>(kTabOrder.front()));
      SetFocus(focus);
      return 0;
    }
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case WM_NCDESTROY:
      // The controls are gone by now, so their fonts can go too.
      g_resources.reset();
      g_window = nullptr;
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool registerWindowClass(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = windowProcedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kApplicationIcon));
  windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kApplicationIcon), IMAGE_ICON,
                                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = kWindowClass;
  return RegisterClassExW(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

HWND createMainWindow(HINSTANCE instance, int showCommand) {
  if (!registerWindowClass(instance)) return nullptr;
  const UINT dpi = dpiOf(nullptr);
  const int width = scaled(kWindowWidth, dpi);
  const int height = scaled(kWindowHeight, dpi);
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  HWND window = CreateWindowExW(0, kWindowClass, gbkToWide(kWindowTitle).c_str(),
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, left, top, width, height,
                                nullptr, nullptr, instance, nullptr);
  // The creation event may in principle have closed the window: show it only if it still exists.
  if (window && IsWindow(window)) {
    ShowWindow(window, showCommand);
    UpdateWindow(window);
  }
  return window;
}

HWND mainWindow() { return g_window; }

bool handleWindowKey(const MSG& message) {
  if (message.message != WM_KEYDOWN || !g_window) return false;
  if (message.hwnd != g_window && !IsChild(g_window, message.hwnd)) return false;
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const bool control = GetKeyState(VK_CONTROL) < 0;
  const bool alt = GetKeyState(VK_MENU) < 0;
  switch (message.wParam) {
    case VK_TAB:
      if (control || alt) return false;
      moveFocus(shift ? -1 : 1);
      return true;
    case VK_ESCAPE:
      if (shift || control || alt) return false;
      SendMessageW(g_window, WM_CLOSE, 0, 0);
      return true;
    case VK_RETURN:
    case VK_F1:
      return true;  // Enter does not move the focus and F1 does nothing
  }
  return false;
}
