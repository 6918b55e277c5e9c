#include <gtest/gtest.h>

#include <X11/keysym.h>

#include "platform/win/VirtualKeys.h"
#include "platform/win/X11Keys.h"

TEST(X11Keys, SymbolsBecomeTheVirtualKeysOfTheirPlace) {
  struct TCase {
    unsigned long Sym;
    bool NumLock;
    uint16_t Vk;
  };
  const TCase cases[] = {
      {XK_a, false, 'A'},           {XK_Z, false, 'Z'},         {XK_5, false, 53},
      {XK_F1, false, VK_F1},        {XK_F12, false, VK_F12},    {XK_Return, false, VK_RETURN},
      {XK_KP_Enter, false, VK_RETURN}, {XK_Shift_R, false, VK_SHIFT}, {XK_Control_L, false, VK_CONTROL},
      {XK_Alt_L, false, VK_MENU},   {XK_ISO_Left_Tab, false, VK_TAB}, {XK_Prior, false, VK_PRIOR},
      {XK_semicolon, false, VK_OEM_1}, {XK_apostrophe, false, VK_OEM_7}, {XK_KP_7, false, VK_NUMPAD0 + 7},
      {XK_KP_Home, false, VK_HOME}, {XK_KP_Home, true, VK_NUMPAD0 + 7}, {XK_KP_Delete, true, VK_DECIMAL},
      {XK_KP_Delete, false, VK_DELETE}, {XK_KP_Add, false, VK_ADD}, {XK_Caps_Lock, false, VK_CAPITAL},
      {XK_adiaeresis, false, 0},    {XK_dead_acute, false, 0},
  };
  for (const TCase& c : cases) EXPECT_EQ(c.Vk, VirtualKeyOfKeysym(c.Sym, c.NumLock)) << std::hex << c.Sym;
}
