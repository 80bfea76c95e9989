#pragma once

#include <array>
#include <span>

// The main window's layout at 96 DPI: every control with its place, size, initial text and
// settings. Handlers name controls by these identifiers.
enum class ControlId : int {
  Button1 = 101,  // 按钮1 更新存档: restore
  Button2,        // 按钮2 重置数字: reset the restore count
  Button3,        // 按钮3 备份存档: backup
  Button4,        // 按钮4 保存: store 编辑框1
  Button5,        // 按钮5 保存: store 编辑框2
  Button6,        // 按钮6 保存: store 编辑框3
  Label1 = 201,   // 标签1: the restore count
  Label2,
  Label3,
  Label4,         // 标签4: whether a restore has run
  Label5,         // 标签5: whether a backup has run
  Label6,
  Label7,
  Label8,
  Label9,
  Label10,
  Edit1 = 301,    // 编辑框1: the game's save folder
  Edit2,          // 编辑框2: the backup folder
  Edit3,          // 编辑框3: the temporary folder
};

enum class ControlKind { PushButton, Label, EditBox };
enum class TextAlignment { Left, Centred };
enum class ControlFont { Default, BoldYaHei, FangZhengCuHeiSong };

struct ControlLayout {
  ControlId id;
  ControlKind kind;
  int left, top, width, height;
  const char* text;  // GBK
  TextAlignment alignment;
  ControlFont font;
  bool tabStop;
};

constexpr int kWindowWidth = 555;   // outer size, frame and title bar included
constexpr int kWindowHeight = 387;
constexpr int kFontCharacterHeight = 17;  // pixels, internal leading excluded

extern const char kWindowTitle[];                  // GBK
extern const std::array<ControlLayout, 19> kControlLayouts;  // in creation order
extern const std::array<ControlId, 9> kTabOrder;

// The face name of a font choice, as GBK text; empty for the default user-interface font.
const char* fontFaceName(ControlFont font);
int fontWeight(ControlFont font);
