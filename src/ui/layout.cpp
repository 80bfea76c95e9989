#include "ui/layout.h"

// "Korvenel v1.0 - 作者：Korvenel 开发组"
const char kWindowTitle[] = "Korvenel v1.0 - \xD7\xF7\xD5\xDF\xA3\xBAKorvenel \xBF\xAA\xB7\xA2\xD7\xE9";

namespace {
using enum ControlId;
using enum ControlKind;
using enum TextAlignment;
using enum ControlFont;
}  // namespace

const std::array<ControlLayout, 19> kControlLayouts = {{
    {Button1, PushButton, 0, 48, 112, 48, "\xB8\xFC\xD0\xC2\xB4\xE6\xB5\xB5", Centred, BoldYaHei, true},  // 更新存档
    {Label1, Label, 80, 11, 40, 32, "\xCA\xFD\xD7\xD6", Centred, Default, false},  // 数字
    {Label2, Label, 8, 8, 72, 40, "\xB8\xFC\xD0\xC2\xB4\xCE\xCA\xFD\xA3\xBA", Left, Default, false},  // 更新次数：
    {Button2, PushButton, 128, 14, 72, 24, "\xD6\xD8\xD6\xC3\xCA\xFD\xD7\xD6", Centred, Default, true},  // 重置数字
    {Button3, PushButton, 240, 44, 248, 48, "\xB1\xB8\xB7\xDD\xB4\xE6\xB5\xB5", Centred, FangZhengCuHeiSong, true},  // 备份存档
    {Label3, Label, 299, 6, 136, 40, "\xB0\xB4\xCF\xC2\xBC\xB4\xBF\xC9\xB1\xB8\xB7\xDD", Centred, Default, false},  // 按下即可备份
    {Label4, Label, 120, 56, 40, 32, "\xCE\xB4\xB8\xFC\xD0\xC2", Left, Default, false},  // 未更新
    {Label5, Label, 496, 51, 40, 32, "\xCE\xB4\xB1\xB8\xB7\xDD", Left, Default, false},  // 未备份
    {Edit1, EditBox, 8, 168, 440, 24, "", Left, Default, true},
    {Edit2, EditBox, 8, 248, 440, 24, "", Left, Default, true},
    // 游戏原始存档文件夹位置
    {Label6, Label, 8, 136, 448, 24, "\xD3\xCE\xCF\xB7\xD4\xAD\xCA\xBC\xB4\xE6\xB5\xB5\xCE\xC4\xBC\xFE\xBC\xD0\xCE\xBB\xD6\xC3",
     Centred, Default, false},
    // 用于备份存档的文件夹位置     （若没有下方填写的次级目录，则会自动创建）
    {Label7, Label, 8, 208, 448, 29,
     "\xD3\xC3\xD3\xDA\xB1\xB8\xB7\xDD\xB4\xE6\xB5\xB5\xB5\xC4\xCE\xC4\xBC\xFE\xBC\xD0\xCE\xBB\xD6\xC3     "
     "\xA3\xA8\xC8\xF4\xC3\xBB\xD3\xD0\xCF\xC2\xB7\xBD\xCC\xEE\xD0\xB4\xB5\xC4\xB4\xCE\xBC\xB6\xC4\xBF\xC2\xBC"
     "\xA3\xAC\xD4\xF2\xBB\xE1\xD7\xD4\xB6\xAF\xB4\xB4\xBD\xA8\xA3\xA9",
     Left, Default, false},
    // 用于临时存放、原始存档的文件夹位置   （若没有下方填写次级目录，则会自动创建）
    {Label8, Label, 8, 288, 464, 24,
     "\xD3\xC3\xD3\xDA\xC1\xD9\xCA\xB1\xB4\xE6\xB7\xC5\xA1\xA2\xD4\xAD\xCA\xBC\xB4\xE6\xB5\xB5\xB5\xC4\xCE\xC4\xBC\xFE"
     "\xBC\xD0\xCE\xBB\xD6\xC3   \xA3\xA8\xC8\xF4\xC3\xBB\xD3\xD0\xCF\xC2\xB7\xBD\xCC\xEE\xD0\xB4\xB4\xCE\xBC\xB6"
     "\xC4\xBF\xC2\xBC\xA3\xAC\xD4\xF2\xBB\xE1\xD7\xD4\xB6\xAF\xB4\xB4\xBD\xA8\xA3\xA9",
     Left, Default, false},
    {Edit3, EditBox, 8, 320, 440, 24, "", Left, Default, true},
    {Button4, PushButton, 456, 160, 64, 32, "\xB1\xA3\xB4\xE6", Centred, Default, true},  // 保存
    {Button5, PushButton, 456, 240, 64, 32, "\xB1\xA3\xB4\xE6", Centred, Default, true},  // 保存
    {Button6, PushButton, 456, 312, 64, 32, "\xB1\xA3\xB4\xE6", Centred, Default, true},  // 保存
    // 把游戏存档更新为最后一次备份
    {Label9, Label, 8, 104, 192, 16, "\xB0\xD1\xD3\xCE\xCF\xB7\xB4\xE6\xB5\xB5\xB8\xFC\xD0\xC2\xCE\xAA\xD7\xEE\xBA\xF3\xD2\xBB\xB4\xCE\xB1\xB8\xB7\xDD",
     Left, Default, false},
    // 对当前游戏存档备份
    {Label10, Label, 317, 96, 131, 24, "\xB6\xD4\xB5\xB1\xC7\xB0\xD3\xCE\xCF\xB7\xB4\xE6\xB5\xB5\xB1\xB8\xB7\xDD", Left, Default,
     false},
}};

const std::array<ControlId, 9> kTabOrder = {Button1, Button2, Button3, Edit1, Edit2, Edit3, Button4, Button5, Button6};

const char* fontFaceName(ControlFont font) {
  switch (font) {
    case BoldYaHei: return "\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA";  // 微软雅黑
    case FangZhengCuHeiSong: return "\xB7\xBD\xD5\xFD\xB4\xD6\xBA\xDA\xCB\xCE\xBC\xF2\xCC\xE5";  // 方正粗黑宋简体
    case Default: break;
  }
  return "";
}

int fontWeight(ControlFont font) { return font == BoldYaHei ? 700 : 400; }
