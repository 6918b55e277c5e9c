#include "platform/win/X11Keys.h"

#include <X11/keysym.h>

#include "platform/win/VirtualKeys.h"

namespace {

struct TKeyPair {
  unsigned long Sym;
  uint16_t Vk;
};

constexpr TKeyPair Keys[] = {
    {XK_BackSpace, VK_BACK},     {XK_Tab, VK_TAB},           {XK_ISO_Left_Tab, VK_TAB},
    {XK_Clear, VK_CLEAR},        {XK_Return, VK_RETURN},     {XK_KP_Enter, VK_RETURN},
    {XK_Pause, VK_PAUSE},        {XK_Scroll_Lock, VK_SCROLL}, {XK_Escape, VK_ESCAPE},
    {XK_Delete, VK_DELETE},      {XK_Home, VK_HOME},         {XK_Left, VK_LEFT},
    {XK_Up, VK_UP},              {XK_Right, VK_RIGHT},       {XK_Down, VK_DOWN},
    {XK_Prior, VK_PRIOR},        {XK_Next, VK_NEXT},         {XK_End, VK_END},
    {XK_Select, VK_SELECT},      {XK_Print, VK_SNAPSHOT},    {XK_Execute, VK_EXECUTE},
    {XK_Insert, VK_INSERT},      {XK_Menu, VK_APPS},         {XK_Help, VK_HELP},
    {XK_Num_Lock, VK_NUMLOCK},   {XK_Caps_Lock, VK_CAPITAL}, {XK_space, VK_SPACE},
    {XK_Shift_L, VK_SHIFT},      {XK_Shift_R, VK_SHIFT},     {XK_Control_L, VK_CONTROL},
    {XK_Control_R, VK_CONTROL},  {XK_Alt_L, VK_MENU},        {XK_Alt_R, VK_MENU},
    {XK_Meta_L, VK_MENU},        {XK_Meta_R, VK_MENU},       {XK_Super_L, VK_LWIN},
    {XK_Super_R, VK_RWIN},       {XK_KP_Multiply, VK_MULTIPLY}, {XK_KP_Add, VK_ADD},
    {XK_KP_Separator, VK_SEPARATOR}, {XK_KP_Subtract, VK_SUBTRACT}, {XK_KP_Divide, VK_DIVIDE},
    {XK_KP_Home, VK_HOME},       {XK_KP_Left, VK_LEFT},      {XK_KP_Up, VK_UP},
    {XK_KP_Right, VK_RIGHT},     {XK_KP_Down, VK_DOWN},      {XK_KP_Prior, VK_PRIOR},
    {XK_KP_Next, VK_NEXT},       {XK_KP_End, VK_END},        {XK_KP_Begin, VK_CLEAR},
    {XK_KP_Insert, VK_INSERT},   {XK_KP_Delete, VK_DELETE},  {XK_semicolon, VK_OEM_1},
    {XK_equal, VK_OEM_PLUS},     {XK_comma, VK_OEM_COMMA},   {XK_minus, VK_OEM_MINUS},
    {XK_period, VK_OEM_PERIOD},  {XK_slash, VK_OEM_2},       {XK_grave, VK_OEM_3},
    {XK_bracketleft, VK_OEM_4},  {XK_backslash, VK_OEM_5},   {XK_bracketright, VK_OEM_6},
    {XK_apostrophe, VK_OEM_7},
};

// The keypad key with the same place as a movement key, for Num Lock.
constexpr TKeyPair KeypadDigits[] = {
    {XK_KP_Insert, 0}, {XK_KP_End, 1},  {XK_KP_Down, 2},  {XK_KP_Next, 3}, {XK_KP_Left, 4},
    {XK_KP_Begin, 5},  {XK_KP_Right, 6}, {XK_KP_Home, 7}, {XK_KP_Up, 8},   {XK_KP_Prior, 9},
};

}  // namespace

uint16_t VirtualKeyOfKeysym(unsigned long sym, bool numLock) {
  if (sym >= XK_a && sym <= XK_z) return static_cast<uint16_t>(VK_A + (sym - XK_a));
  if (sym >= XK_A && sym <= XK_Z) return static_cast<uint16_t>(VK_A + (sym - XK_A));
  if (sym >= XK_0 && sym <= XK_9) return static_cast<uint16_t>(VK_0 + (sym - XK_0));
  if (sym >= XK_F1 && sym <= XK_F12) return static_cast<uint16_t>(VK_F1 + (sym - XK_F1));
  if (sym >= XK_KP_0 && sym <= XK_KP_9) return static_cast<uint16_t>(VK_NUMPAD0 + (sym - XK_KP_0));
  if (sym == XK_KP_Decimal) return VK_DECIMAL;
  if (numLock) {
    for (const TKeyPair& k : KeypadDigits)
      if (k.Sym == sym) return static_cast<uint16_t>(VK_NUMPAD0 + k.Vk);
    if (sym == XK_KP_Delete) return VK_DECIMAL;
  }
  for (const TKeyPair& k : Keys)
    if (k.Sym == sym) return k.Vk;
  return 0;
}
