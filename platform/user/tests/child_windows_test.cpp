#include <gtest/gtest.h>

#include "win/machine.h"
#include "win/user.h"

namespace {

TEST(FindWindowEx, WalksTheDirectChildrenByClassAndCaption) {
  kq::TemporaryMachine machine;
  kq::MachineScope scope(machine.Get());
  WNDCLASSW cls{};
  cls.lpfnWndProc = DefWindowProcW;
  cls.lpszClassName = u"FindChildTest";
  ASSERT_NE(RegisterClassW(&cls), 0);
  HWND parent = CreateWindowExW(0, u"FindChildTest", u"parent", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  HWND a = CreateWindowExW(0, u"FindChildTest", u"a", WS_CHILD, 0, 0, 10, 10, parent, nullptr, nullptr, nullptr);
  HWND b = CreateWindowExW(0, u"Static", u"b", WS_CHILD, 0, 0, 10, 10, parent, nullptr, nullptr, nullptr);
  HWND grandchild =
      CreateWindowExW(0, u"FindChildTest", u"c", WS_CHILD, 0, 0, 10, 10, a, nullptr, nullptr, nullptr);
  ASSERT_TRUE(parent && a && b && grandchild);

  EXPECT_EQ(FindWindowExW(parent, nullptr, nullptr, nullptr), a);
  EXPECT_EQ(FindWindowExW(parent, a, nullptr, nullptr), b);
  EXPECT_EQ(FindWindowExW(parent, b, nullptr, nullptr), nullptr);
  EXPECT_EQ(FindWindowExW(parent, nullptr, u"Static", nullptr), b);
  EXPECT_EQ(FindWindowExW(parent, nullptr, nullptr, u"B"), b);
  // Only direct children: the grandchild is found from its own parent.
  EXPECT_EQ(FindWindowExW(parent, nullptr, nullptr, u"c"), nullptr);
  EXPECT_EQ(FindWindowExW(a, nullptr, nullptr, u"c"), grandchild);
  EXPECT_EQ(FindWindowExW(nullptr, nullptr, u"FindChildTest", u"parent"), parent);
  EXPECT_EQ(FindWindowExW(parent, nullptr, u"NoSuchClass", nullptr), nullptr);
  DestroyWindow(parent);
}

}  // namespace
