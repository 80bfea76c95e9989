#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "support/scratch.h"
#include "support/window_driver.h"
#include "ui/main_window.h"
#include "ui/window_ops.h"

namespace {

using enum ControlId;

enum class Kind { Button, Label, Edit };

struct ExpectedControl {
  ControlId id;
  Kind kind;
  RECT rect;  // left, top, right, bottom in client coordinates
  const char* text;  // UTF-8
  bool centred;
};

RECT box(int left, int top, int width, int height) { return {left, top, left + width, top + height}; }

// The window as a user sees it at 96 DPI, in creation order.
const std::vector<ExpectedControl>& expectedControls() {
  static const std::vector<ExpectedControl> controls = {
      {Button1, Kind::Button, box(0, 48, 112, 48), "更新存档", true},
      {Label1, Kind::Label, box(80, 11, 40, 32), "数字", true},
      {Label2, Kind::Label, box(8, 8, 72, 40), "更新次数：", false},
      {Button2, Kind::Button, box(128, 14, 72, 24), "重置数字", true},
      {Button3, Kind::Button, box(240, 44, 248, 48), "备份存档", true},
      {Label3, Kind::Label, box(299, 6, 136, 40), "按下即可备份", true},
      {Label4, Kind::Label, box(120, 56, 40, 32), "未更新", false},
      {Label5, Kind::Label, box(496, 51, 40, 32), "未备份", false},
      {Edit1, Kind::Edit, box(8, 168, 440, 24), "", false},
      {Edit2, Kind::Edit, box(8, 248, 440, 24), "", false},
      {Label6, Kind::Label, box(8, 136, 448, 24), "游戏原始存档文件夹位置", true},
      {Label7, Kind::Label, box(8, 208, 448, 29), "用于备份存档的文件夹位置     （若没有下方填写的次级目录，则会自动创建）", false},
      {Label8, Kind::Label, box(8, 288, 464, 24), "用于临时存放、原始存档的文件夹位置   （若没有下方填写次级目录，则会自动创建）", false},
      {Edit3, Kind::Edit, box(8, 320, 440, 24), "", false},
      {Button4, Kind::Button, box(456, 160, 64, 32), "保存", true},
      {Button5, Kind::Button, box(456, 240, 64, 32), "保存", true},
      {Button6, Kind::Button, box(456, 312, 64, 32), "保存", true},
      {Label9, Kind::Label, box(8, 104, 192, 16), "把游戏存档更新为最后一次备份", false},
      {Label10, Kind::Label, box(317, 96, 131, 24), "对当前游戏存档备份", false},
  };
  return controls;
}

std::wstring className(HWND window) {
  wchar_t name[32] = {};
  GetClassNameW(window, name, 32);
  return name;
}

RECT clientRectOf(HWND parent, HWND control) {
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

LOGFONTW fontOf(HWND control) {
  LOGFONTW font{};
  const auto handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  EXPECT_NE(handle, nullptr);
  GetObjectW(handle, sizeof font, &font);
  return font;
}

class MainWindowTest : public ::testing::Test {
 protected:
  InProcessWindow program;
  HWND window() const { return program.window(); }
  HWND control(ControlId id) const { return controlOf(window(), id); }
};

TEST_F(MainWindowTest, FrameIsFixedCentredAndTitled) {
  RECT outer;
  GetWindowRect(window(), &outer);
  EXPECT_EQ(outer.right - outer.left, 555);
  EXPECT_EQ(outer.bottom - outer.top, 387);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - 555) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - 387) / 2);

  const auto style = static_cast<DWORD>(GetWindowLongPtrW(window(), GWL_STYLE));
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX) << "the window must not be maximisable";
  EXPECT_FALSE(style & WS_THICKFRAME) << "the window must not be resizable";
  EXPECT_TRUE(style & WS_VISIBLE);
  EXPECT_FALSE(GetWindowLongPtrW(window(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(GetWindow(window(), GW_OWNER), nullptr);
  EXPECT_EQ(GetMenu(window()), nullptr);

  wchar_t title[128] = {};
  GetWindowTextW(window(), title, 128);
  EXPECT_EQ(std::wstring(title).rfind(L"Korvenel v1.0", 0), 0u) << "title starts with the program's name";
  EXPECT_GT(wcslen(title), wcslen(L"Korvenel v1.0")) << "an attribution follows the name";
}

TEST_F(MainWindowTest, ControlsHaveTheirPlacesTextsAndSettings) {
  for (const ExpectedControl& expected : expectedControls()) {
    SCOPED_TRACE(static_cast<int>(expected.id));
    HWND item = control(expected.id);
    ASSERT_NE(item, nullptr);
    const RECT rect = clientRectOf(window(), item);
    EXPECT_EQ(rect.left, expected.rect.left);
    EXPECT_EQ(rect.top, expected.rect.top);
    EXPECT_EQ(rect.right, expected.rect.right);
    EXPECT_EQ(rect.bottom, expected.rect.bottom);
    EXPECT_EQ(controlTextWide(window(), expected.id), wide(expected.text));
    EXPECT_TRUE(IsWindowVisible(item));
    EXPECT_TRUE(IsWindowEnabled(item));

    const auto style = static_cast<DWORD>(GetWindowLongPtrW(item, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(item, GWL_EXSTYLE));
    switch (expected.kind) {
      case Kind::Button:
        EXPECT_EQ(className(item), L"Button");
        EXPECT_EQ(style & BS_TYPEMASK, static_cast<DWORD>(BS_PUSHBUTTON)) << "a plain push button, never the default one";
        EXPECT_TRUE(style & BS_MULTILINE) << "a caption too wide wraps";
        EXPECT_EQ(style & BS_CENTER, static_cast<DWORD>(BS_CENTER));
        EXPECT_EQ(style & BS_VCENTER, static_cast<DWORD>(BS_VCENTER));
        EXPECT_TRUE(style & WS_TABSTOP);
        break;
      case Kind::Label:
        EXPECT_EQ(className(item), L"Static");
        EXPECT_EQ(style & SS_TYPEMASK, static_cast<DWORD>(expected.centred ? SS_CENTER : SS_LEFTNOWORDWRAP))
            << "aligned as laid out and never wrapped";
        EXPECT_TRUE(style & SS_CENTERIMAGE) << "one line, vertically centred";
        EXPECT_FALSE(style & (WS_BORDER | SS_SUNKEN));
        EXPECT_FALSE(style & WS_TABSTOP);
        break;
      case Kind::Edit:
        EXPECT_EQ(className(item), L"Edit");
        EXPECT_TRUE(exStyle & WS_EX_CLIENTEDGE) << "sunken frame";
        EXPECT_TRUE(style & ES_AUTOHSCROLL);
        EXPECT_FALSE(style & (ES_MULTILINE | ES_NOHIDESEL | ES_READONLY));
        EXPECT_TRUE(style & WS_TABSTOP);
        EXPECT_EQ(SendMessageW(item, EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFE) << "the platform's largest limit";
        break;
    }
  }
}

TEST_F(MainWindowTest, LabelsDrawOnTheWindowFaceColour) {
  HDC dc = GetDC(control(Label6));
  const auto brush = reinterpret_cast<HBRUSH>(
      SendMessageW(window(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control(Label6))));
  EXPECT_EQ(brush, GetSysColorBrush(COLOR_BTNFACE));
  EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
  ReleaseDC(control(Label6), dc);
  EXPECT_EQ(GetClassLongPtrW(window(), GCLP_HBRBACKGROUND), COLOR_BTNFACE + 1);
}

TEST_F(MainWindowTest, NamedFontsHaveTheirFaceHeightAndWeight) {
  struct FontCase {
    ControlId id;
    const char* face;
    LONG weight;
  };
  for (const FontCase& expected : {FontCase{Button1, "微软雅黑", 700}, FontCase{Button3, "方正粗黑宋简体", 400}}) {
    const LOGFONTW font = fontOf(control(expected.id));
    EXPECT_EQ(std::wstring(font.lfFaceName), wide(expected.face));
    EXPECT_EQ(font.lfHeight, -17) << "17-pixel character height, internal leading excluded";
    EXPECT_EQ(font.lfWeight, expected.weight);
    EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut);
  }

  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  for (const ControlId id : {Label1, Button2, Edit1, Button4, Label10}) {
    const LOGFONTW font = fontOf(control(id));
    EXPECT_EQ(std::wstring(font.lfFaceName), std::wstring(metrics.lfMessageFont.lfFaceName))
        << "the default user-interface font";
    EXPECT_EQ(font.lfHeight, metrics.lfMessageFont.lfHeight);
  }
}

TEST_F(MainWindowTest, StackingOrderIsTheReverseOfCreation) {
  const std::vector<ControlId> topmostFirst = {Label10, Label9, Button6, Button5, Button4, Edit3, Label8,
                                               Label7,  Label6, Edit2,   Edit1,   Label5,  Label4, Label3,
                                               Button3, Button2, Label2, Label1,  Button1};
  std::vector<ControlId> actual;
  for (HWND child = GetWindow(window(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    actual.push_back(static_cast<ControlId>(GetDlgCtrlID(child)));
  }
  EXPECT_EQ(actual, topmostFirst);

  // 标签3 lies over the top two pixel rows of 按钮3 and, being higher, covers them.
  RECT overlap;
  const RECT label = clientRectOf(window(), control(Label3));
  const RECT button = clientRectOf(window(), control(Button3));
  ASSERT_TRUE(IntersectRect(&overlap, &label, &button));
  EXPECT_EQ(overlap.top, 44);
  EXPECT_EQ(overlap.bottom, 46);
  EXPECT_EQ(overlap.left, 299);
  EXPECT_EQ(overlap.right, 435);
  EXPECT_TRUE(GetWindowLongPtrW(control(Button3), GWL_STYLE) & WS_CLIPSIBLINGS) << "the button must not paint over the label";
}

TEST_F(MainWindowTest, TabAndShiftTabFollowTheTabOrderAndWrap) {
  const std::vector<ControlId> tabOrder = {Button1, Button2, Button3, Edit1, Edit2, Edit3, Button4, Button5, Button6};
  SetFocus(control(Button1));
  ASSERT_EQ(GetFocus(), control(Button1));
  for (size_t step = 1; step <= tabOrder.size(); ++step) {
    program.pressKey(GetFocus(), VK_TAB);
    EXPECT_EQ(GetFocus(), control(tabOrder[step % tabOrder.size()])) << "after " << step << " Tab presses";
  }
  for (size_t step = 1; step <= tabOrder.size(); ++step) {
    program.pressKey(GetFocus(), VK_TAB, /*shift=*/true);
    EXPECT_EQ(GetFocus(), control(tabOrder[(tabOrder.size() - step) % tabOrder.size()]))
        << "after " << step << " Shift+Tab presses";
  }
}

TEST_F(MainWindowTest, EnterAndF1DoNothing) {
  program.type(Edit2, "abc");
  for (const ControlId start : {Edit2, Button3}) {
    SetFocus(control(start));
    for (const UINT key : {UINT{VK_RETURN}, UINT{VK_F1}}) {
      program.pressKey(GetFocus(), key);
      EXPECT_EQ(GetFocus(), control(start));
      EXPECT_TRUE(IsWindow(window()));
    }
  }
  EXPECT_EQ(program.text(Edit2), "abc");
  EXPECT_EQ(program.text(Button3), gbk("备份存档")) << "Enter must not click the focused button";
}

TEST_F(MainWindowTest, EscWithModifiersDoesNotClose) {
  SetFocus(control(Edit1));
  program.pressKey(GetFocus(), VK_ESCAPE, /*shift=*/true);
  program.pressKey(GetFocus(), VK_ESCAPE, false, /*control=*/true);
  program.pressKey(GetFocus(), VK_ESCAPE, false, false, /*alt=*/true);
  EXPECT_TRUE(IsWindow(window()));
}

TEST(MainWindowKeys, EscClosesTheWindowFromAnyControl) {
  for (const ControlId focused : {Edit3, Button6, Button1}) {
    InProcessWindow program;
    SetFocus(controlOf(program.window(), focused));
    program.pressKey(GetFocus(), VK_ESCAPE);
    EXPECT_FALSE(IsWindow(program.window())) << "Esc with focus on control " << static_cast<int>(focused);
    EXPECT_EQ(mainWindow(), nullptr);
  }
}

TEST_F(MainWindowTest, WindowOperationsCarryGbkTextsWhole) {
  // A GBK text with the trail byte 0x5C (淺), and one far wider than the box, which scrolls.
  const std::string chinese = gbk("D:\\存档\\淺");
  setEditText(Edit1, chinese);
  EXPECT_EQ(readEditText(Edit1), chinese);
  EXPECT_EQ(controlTextWide(window(), Edit1), wide("D:\\存档\\淺"));

  const std::string longText(5000, 'x');
  program.type(Edit2, longText);
  EXPECT_EQ(readEditText(Edit2), longText);

  program.type(Edit3, "  padded  ");
  EXPECT_EQ(readEditText(Edit3), "  padded  ") << "read exactly as shown, without trimming";

  setLabelCaption(Label1, "-2147483648");
  setButtonCaption(Button3, gbk("2024年5月3日14时5分9秒"));
  EXPECT_EQ(program.text(Label1), "-2147483648");
  EXPECT_EQ(controlTextWide(window(), Button3), wide("2024年5月3日14时5分9秒"));
}

}  // namespace
